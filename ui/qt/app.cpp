// GUI start-up, thread checks and event pumping.
#include "ui/app.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "ui/errors.h"
#include "ui/qt/internal.h"

namespace dg::ui {
namespace {

const char* Env(const char* name) {
    const char* value = std::getenv(name);
    return (value && *value) ? value : nullptr;
}

// Opens a connection to the X server named by DISPLAY and closes it again.
// libxcb is loaded at run time so that this library does not link it.
bool XServerAnswers(std::string& why) {
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    void* lib = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        why = "libxcb.so.1 cannot be loaded";
        return false;
    }
    auto connect = reinterpret_cast<Connect>(dlsym(lib, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(lib, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(lib, "xcb_disconnect"));
    if (!connect || !hasError || !disconnect) {
        why = "libxcb.so.1 lacks xcb_connect";
        return false;  // the library stays loaded: Qt's xcb plugin wants it anyway
    }
    void* connection = connect(nullptr, nullptr);
    const bool ok = connection && hasError(connection) == 0;
    if (connection) disconnect(connection);
    if (!ok) why = std::string("the X server at DISPLAY=") + Env("DISPLAY") + " refuses the connection";
    return ok;
}

// Whether Qt's platform plugin file for `key` can be found where Qt looks.
bool PlatformPluginInstalled(const QString& fileName) {
    QStringList dirs;
    if (const char* dir = Env("QT_QPA_PLATFORM_PLUGIN_PATH")) dirs << QString::fromLocal8Bit(dir);
    if (const char* paths = Env("QT_PLUGIN_PATH")) {
        for (const QString& dir : QString::fromLocal8Bit(paths).split(QLatin1Char(':'), Qt::SkipEmptyParts))
            dirs << dir + QStringLiteral("/platforms");
    }
    dirs << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
    for (const QString& dir : dirs) {
        if (QFileInfo::exists(dir + QLatin1Char('/') + fileName)) return true;
    }
    return false;
}

}  // namespace

// The checks Qt itself would fail on by aborting the process.
DisplayCheck CheckDisplay() {
    DisplayCheck check;
    if (const char* qpa = Env("QT_QPA_PLATFORM")) {
        // "name[:options]", possibly several separated by ';' (tried in turn).
        std::string reasons;
        for (const QString& entry : QString::fromLocal8Bit(qpa).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString name = entry.section(QLatin1Char(':'), 0, 0).trimmed();
            std::string why;
            bool ok = false;
            if (name == QLatin1String("offscreen") || name == QLatin1String("minimal")) {
                ok = true;
            } else if (name == QLatin1String("xcb")) {
                if (!Env("DISPLAY"))
                    why = "xcb needs DISPLAY, which is not set";
                else
                    ok = XServerAnswers(why);
            } else if (name.startsWith(QLatin1String("wayland"))) {
                ok = Env("WAYLAND_DISPLAY") != nullptr;
                if (!ok) why = "wayland needs WAYLAND_DISPLAY, which is not set";
            } else {
                // Another platform chosen on purpose (eglfs, linuxfb, vnc): trust
                // the choice as long as Qt can find its plugin.
                ok = PlatformPluginInstalled(QStringLiteral("libq") + name + QStringLiteral(".so"));
                if (!ok) why = "the Qt platform plugin '" + qt::FromQ(name) + "' is not installed";
            }
            if (ok) {
                check.ok = true;
                return check;
            }
            if (!reasons.empty()) reasons += "; ";
            reasons += why;
        }
        check.why = std::string("QT_QPA_PLATFORM=") + qpa + ": " + reasons;
        return check;
    }
    std::string xWhy;
    if (Env("DISPLAY")) {
        if (XServerAnswers(xWhy)) {
            check.ok = true;
            check.platform = "xcb";
            return check;
        }
    } else {
        xWhy = "DISPLAY is not set";
    }
    if (Env("WAYLAND_DISPLAY")) {
        if (PlatformPluginInstalled(QStringLiteral("libqwayland-generic.so"))) {
            check.ok = true;
            check.platform = "wayland";
            return check;
        }
        check.why = xWhy + ", and WAYLAND_DISPLAY is set but the Qt Wayland platform plugin is not installed";
        return check;
    }
    check.why = xWhy + ", WAYLAND_DISPLAY is not set, and QT_QPA_PLATFORM is not set";
    return check;
}

namespace {

std::mutex g_createMutex;

// Once per process, on the GUI thread: fonts and the lost-focus watch.
void SetUpOnce(QApplication* app) {
    static bool done = false;
    if (done) return;
    done = true;

    // The dialogs ask for 宋体 ("SimSun"); map it to an installed CJK font when
    // it is missing. WenQuanYi first: with Noto CJK alone Qt draws Japanese
    // glyph forms unless the locale is Chinese.
    const QStringList candidates = {
        QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Source Han Sans SC"),  QStringLiteral("AR PL UMing CN"),
        QStringLiteral("AR PL SungtiL GB"),  QStringLiteral("Droid Sans Fallback"),
    };
    const QStringList installed = QFontDatabase::families();
    QStringList substitutes;
    for (const QString& family : candidates) {
        if (installed.contains(family, Qt::CaseInsensitive)) substitutes << family;
    }
    if (!substitutes.isEmpty()) {
        QFont::insertSubstitutions(QStringLiteral("SimSun"), substitutes);
        QFont::insertSubstitutions(QString::fromUtf8("宋体"), substitutes);
    }

    // A text box's lost-focus notification: the focus moved from the box to
    // another widget of the same window. Window deactivation (now == nullptr)
    // and popups or message boxes (another window) do not count.
    QObject::connect(app, &QApplication::focusChanged, app, [](QWidget* old, QWidget* now) {
        // The default border follows the focus within a form.
        auto* dialog = now ? dynamic_cast<qt::FormDialog*>(now->window()) : nullptr;
        if (dialog && dialog->form) dialog->form->FollowFocus();
        auto* box = dynamic_cast<qt::LineEdit*>(old);
        if (!box || !now || now->window() != box->window()) return;
        auto control = box->control.lock();
        if (!control || !control->widget || !control->form || control->form->closing) return;
        if (control->lostFocus.Count() == 0) return;
        qt::RunHandler(control->form->dialog, [control] { control->lostFocus.Raise(); });
    });
}

}  // namespace

namespace qt {

bool OnMainThread() { return gettid() == getpid(); }

bool CanShowHere() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app) return qobject_cast<QApplication*>(app) && QThread::currentThread() == app->thread();
    return OnMainThread() && CheckDisplay().ok;
}

void RequireGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) throw UiError(kStatusFail, "对话框界面还没有启动");
    if (QThread::currentThread() != app->thread())
        throw UiError(kStatusWrongThread, "不能从界面线程（QApplication 所在的线程）以外的线程调用对话框");
}

}  // namespace qt

bool DisplayAvailable() {
    if (QCoreApplication* app = QCoreApplication::instance()) return qobject_cast<QApplication*>(app) != nullptr;
    return CheckDisplay().ok;
}

void EnsureGui() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        std::lock_guard<std::mutex> lock(g_createMutex);
        app = QCoreApplication::instance();
        if (!app) {
            // Qt's GUI thread is for good the thread that made the
            // application: one made on a passing worker thread would leave
            // every later dialog of the host's main thread refused.
            if (!qt::OnMainThread())
                throw UiError(kStatusWrongThread, "对话框界面只能在进程的主线程上启动，当前线程不是主线程");
            const DisplayCheck check = CheckDisplay();
            if (!check.ok) throw UiError(kStatusFail, FailureText("没有可用的显示器，无法显示对话框", check.why));
            // QApplication keeps references to argc and argv for its lifetime.
            static char arg0[] = "dutygate";
            static char argPlatform[] = "-platform";
            static char argPlatformName[32] = {};
            static char* argv[] = {arg0, nullptr, nullptr, nullptr};
            static int argc = 1;
            if (!check.platform.empty() && check.platform.size() < sizeof argPlatformName) {
                check.platform.copy(argPlatformName, check.platform.size());
                argv[1] = argPlatform;
                argv[2] = argPlatformName;
                argc = 3;
            }
            auto* created = new QApplication(argc, argv);
            // Closing a dialog must not end the host's event loops.
            created->setQuitOnLastWindowClosed(false);
            app = created;
        }
    }
    auto* gui = qobject_cast<QApplication*>(app);
    if (!gui)
        throw UiError(kStatusFail, FailureText("宿主程序的 Qt 应用对象不是 QApplication，对话框需要 Qt Widgets",
                                               "QCoreApplication / QGuiApplication"));
    qt::RequireGuiThread();
    SetUpOnce(gui);
}

namespace {
QEventLoop* g_pumpLoop = nullptr;  // the innermost ProcessEvents() loop
}

namespace qt {
// Called when a form window goes: ends a ProcessEvents() wait early once no
// dialog window is left.
void FormWindowGone() {
    if (g_pumpLoop && detail::OpenForms().empty()) g_pumpLoop->quit();
}
}  // namespace qt

int ProcessEvents(int maxMs) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!qobject_cast<QApplication*>(app) || QThread::currentThread() != app->thread()) return -1;
    // A real event loop (not just processEvents()) so that windows of unloaded
    // forms, deleted through the loop, go too.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&loop] { loop.quit(); });
    deadline.start(maxMs > 0 ? maxMs : 0);
    QEventLoop* outer = g_pumpLoop;
    g_pumpLoop = maxMs > 0 && !detail::OpenForms().empty() ? &loop : nullptr;
    loop.exec();
    g_pumpLoop = outer;
    return static_cast<int>(detail::OpenForms().size());
}

}  // namespace dg::ui
