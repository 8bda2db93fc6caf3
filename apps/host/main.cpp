// dutygate-host: the demo host of the Dutygate component, written on its
// public C interface only.
//
//   dutygate-host                    window where a display can be used,
//                                    headless announcer otherwise
//   dutygate-host --headless         headless shift announcer (JSON lines)
//   dutygate-host --screenshots DIR  pictures of the four dialogs
#include <QApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dutygate/dutygate.h>

#include "headless.h"
#include "host_window.h"
#include "screenshots.h"

namespace {

void Usage(std::FILE* out) {
    std::fputs(
        "usage: dutygate-host [--headless | --screenshots DIR]\n"
        "  (no option)        open the demo window where a display can be used;\n"
        "                     without one, run as --headless\n"
        "  --headless         no window: poll ShiftClass once a second in the working\n"
        "                     directory and print one JSON line per event;\n"
        "                     SIGINT or SIGTERM ends it\n"
        "  --screenshots DIR  save login.png, revise.png, landing.png and settings.png\n"
        "                     of the four dialogs into DIR (offscreen platform)\n"
        "  --version          print the component's version\n"
        "The parameter database is mdb/Para.mdb under the working directory.\n",
        out);
}

int g_signalPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = write(g_signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the window's event loop, so that the objects are
// released and their dialogs closed as on a normal exit.
void QuitOnStopSignals(QApplication& app) {
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int RunWindow(int& argc, char** argv) {
    // The host's own QApplication, made before any object: the component's
    // dialogs then live in it.
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);  // the window's close quits
    QuitOnStopSignals(app);
    int code = 0;
    {
        dghost::HostWindow window;
        window.show();
        code = QApplication::exec();
    }
    return code;
}

int RunScreenshots(int& argc, char** argv, const char* folder) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    return dghost::SaveScreenshots(QString::fromLocal8Bit(folder));
}

}  // namespace

int main(int argc, char** argv) {
    enum class Mode { Default, Headless, Screenshots } mode = Mode::Default;
    const char* folder = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--headless") {
            mode = Mode::Headless;
        } else if (arg == "--screenshots") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "dutygate-host: --screenshots needs a folder\n");
                return 2;
            }
            mode = Mode::Screenshots;
            folder = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("dutygate-host, Dutygate %s\n", dg_version());
            return 0;
        } else {
            std::fprintf(stderr, "dutygate-host: unknown argument '%s'\n", argv[i]);
            Usage(stderr);
            return 2;
        }
    }

    switch (mode) {
        case Mode::Headless: return dghost::RunHeadless();
        case Mode::Screenshots: return RunScreenshots(argc, argv, folder);
        case Mode::Default: break;
    }
    // Asked before any QApplication exists: Qt ends a process whose platform
    // cannot start.
    const char* platform = "";
    const char* why = "";
    if (!dg_display_check(&platform, &why)) {
        std::fprintf(stderr, "dutygate-host: no display can be used (%s); running headless\n", why);
        return dghost::RunHeadless();
    }
    // The platform that passed the check, so that Qt does not try another.
    if (*platform) setenv("QT_QPA_PLATFORM", platform, 1);
    return RunWindow(argc, argv);
}
