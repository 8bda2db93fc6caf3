// A soak as a Qt host runs the component for months: each round creates both
// objects, shows the three dialogs and leaves each by its own button, polls
// the shift schedule and releases the objects, all through the public
// interface of libdutygate.so. It prints the heap in use, open files,
// threads and top-level windows after every round.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "dutygate/dutygate.hpp"
#include "soak_figures.h"

namespace {

long Entries(const char* folder) {
    long n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

soak::Figures Measure() {
    const struct mallinfo2 heap = mallinfo2();
    soak::Figures figures;
    figures.heapKiB = static_cast<double>(heap.uordblks + heap.hblkhd) / 1024.0;
    figures.handles = Entries("/proc/self/fd");
    figures.threads = Entries("/proc/self/task");
    figures.windows = QApplication::topLevelWidgets().size();
    return figures;
}

QWidget* OpenForm(const char* form) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->objectName() == QLatin1String(form)) return window;
    return nullptr;
}

// Open and drawn: the platform has exposed the window, and Qt paints a
// window as it handles its exposure.
bool Drawn(QWidget* window) { return window->windowHandle() && window->windowHandle()->isExposed(); }

// Calls `member`, which shows the form `form` (modal or modeless), and leaves
// the form by clicking its button `button` once it is open; returns when the
// form has closed.
void ShowAndLeave(const dutygate::Object& object, const char* member, const char* form, const char* button) {
    bool clicked = false;
    QTimer operatorHand;
    operatorHand.setInterval(1);
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        QWidget* shown = OpenForm(form);
        auto* target = shown && Drawn(shown) ? shown->findChild<QAbstractButton*>(QLatin1String(button)) : nullptr;
        if (!target) return;
        operatorHand.stop();
        clicked = true;
        target->click();
    });
    operatorHand.start();
    object.Call(member);
    QElapsedTimer waited;
    waited.start();
    while ((!clicked || OpenForm(form)) && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (!clicked || OpenForm(form)) {
        std::fprintf(stderr, "%s: the form %s %s\n", member, form, clicked ? "stayed open" : "did not open");
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const soak::Options options = soak::ParseOptions(argc, argv);
    // glibc keeps freed blocks of each size in a per-thread cache that it
    // counts as in use, up to some hundred KiB, filling as sizes come by: run
    // without it, so that the figures are what the program holds.
    const std::string tunables = std::getenv("GLIBC_TUNABLES") ? std::getenv("GLIBC_TUNABLES") : "";
    if (tunables.find("glibc.malloc.tcache_count=0") == std::string::npos) {
        setenv("GLIBC_TUNABLES", (tunables + (tunables.empty() ? "" : ":") + "glibc.malloc.tcache_count=0").c_str(), 1);
        execv("/proc/self/exe", argv);
    }
    QApplication app(argc, argv);  // the host's own, as a Qt host has
    // The offscreen platform says at every showing that it raises no window.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        if (!text.contains(QLatin1String("raise()"))) std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    // The database of a station, in a folder of this run's.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("dutygate-soak-" + std::to_string(QCoreApplication::applicationPid()));
    std::filesystem::create_directories(folder);
    QDir::setCurrent(QString::fromStdString(folder.string()));

    soak::Log log(options);
    try {
        for (int round = 0; round < options.rounds; ++round) {
            auto password = dutygate::Object::Create("Dutygate.clsPassword");
            auto shift = dutygate::Object::Create("Dutygate.clsShiftClass");
            ShowAndLeave(password, "ShowDialog", "frmLogin", "cmdCancel");
            ShowAndLeave(password, "ShowRevise", "Revise", "Command2");
            ShowAndLeave(shift, "ShowSetClass", "frmClass", "cmdExit");
            const std::int32_t poll = shift.DispId("ShiftClass");
            for (int i = 0; i < options.polls; ++i) shift.Invoke(poll);
            password.Reset();
            shift.Reset();
            log.Add(Measure());
        }
    } catch (const dutygate::Error& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return log.Verdict("Qt dialogs");
}
