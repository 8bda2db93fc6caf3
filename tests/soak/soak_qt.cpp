// A soak as a Qt host runs the component for months: each round creates both
// objects, shows the three dialogs and leaves each by its own button (at the
// login after a wrong password and its message box), polls the shift
// schedule and releases the objects, all through the public
// interface of libdutygate.so. It prints the heap in use, open files,
// threads and top-level windows after every round.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
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

// Clicks a button from the event loop, so that a box it opens runs its own
// loop outside the operator's timer.
void Press(QAbstractButton* button) { QTimer::singleShot(0, button, &QAbstractButton::click); }
void Press(QWidget* form, const char* name) { Press(form->findChild<QAbstractButton*>(QLatin1String(name))); }

// What the operator does on the open form, a step at each look; true once the
// last button is pressed.
using Hand = std::function<bool(QWidget* form)>;

Hand Leave(const char* button) {
    return [button](QWidget* form) { return Press(form, button), true; };
}

// At the login: a wrong password and 确定, the message box's OK, then 取消.
Hand MistypeThenLeave() {
    return [step = 0](QWidget* form) mutable {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (step == 0) {
            form->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("wrong"));
            Press(form, "cmdOK");
            step = 1;
        } else if (step == 1 && box && Drawn(box)) {
            Press(box->buttons().constFirst());
            step = 2;
        } else if (step == 2 && !box) {
            Press(form, "cmdCancel");
            return true;
        }
        return false;
    };
}

// Calls `member`, which shows the form `form` (modal or modeless), lets the
// hand act on it once it is open and drawn, and returns when it has closed.
void ShowAndLeave(const dutygate::Object& object, const char* member, const char* form, Hand hand) {
    bool done = false;
    QTimer operatorHand;
    operatorHand.setInterval(1);
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        QWidget* shown = OpenForm(form);
        if (!shown || !Drawn(shown) || !hand(shown)) return;
        operatorHand.stop();
        done = true;
    });
    operatorHand.start();
    object.Call(member);
    QElapsedTimer waited;
    waited.start();
    while ((!done || OpenForm(form)) && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (!done || OpenForm(form)) {
        std::fprintf(stderr, "%s: the form %s %s\n", member, form, done ? "stayed open" : "was not left");
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
    app.setStyleSheet(QString::fromStdString(options.styleSheet));
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
            ShowAndLeave(password, "ShowDialog", "frmLogin", MistypeThenLeave());
            ShowAndLeave(password, "ShowRevise", "Revise", Leave("Command2"));
            ShowAndLeave(shift, "ShowSetClass", "frmClass", Leave("cmdExit"));
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
