#include "screenshots.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPixmap>
#include <QSet>
#include <QTimer>
#include <QWidget>

#include <cstdio>

#include "abi_object.h"

namespace dghost {
namespace {

QSet<QWidget*> VisibleWindows() {
    QSet<QWidget*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible()) windows.insert(widget);
    }
    return windows;
}

// A dialog window that was not open before: the active modal one, else a new
// visible top-level window.
QWidget* NewDialog(const QSet<QWidget*>& before) {
    if (QWidget* modal = QApplication::activeModalWidget(); modal && !before.contains(modal)) return modal;
    for (QWidget* widget : VisibleWindows()) {
        if (!before.contains(widget)) return widget;
    }
    return nullptr;
}

class Shooter {
public:
    explicit Shooter(QDir folder) : folder_(std::move(folder)) {}

    // Calls `member`; a timer finds the dialog it opens (while a modal one
    // blocks the call, or after a modeless one returned), grabs it and closes it.
    bool Shoot(Object& object, const char* member, const QString& fileName) {
        const QSet<QWidget*> before = VisibleWindows();
        bool done = false;
        bool saved = false;
        int seen = 0;
        QElapsedTimer clock;
        clock.start();
        QTimer poll;
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (done) return;
            QWidget* dialog = NewDialog(before);
            if (!dialog) {
                if (clock.elapsed() > 10000) done = true;  // nothing opened
                return;
            }
            if (++seen < 3) return;  // let it lay out and paint once
            // A box that opens with the focus shows its text selected; the
            // picture shows the text in the box's own colours instead.
            if (auto* edit = qobject_cast<QLineEdit*>(dialog->focusWidget())) {
                edit->deselect();
                dialog->repaint();
            }
            const QPixmap picture = dialog->grab();
            const QString path = folder_.filePath(fileName);
            saved = !picture.isNull() && picture.save(path, "PNG");
            if (saved) {
                std::fprintf(stderr, "dutygate-host: %s (%dx%d) saved\n", qPrintable(path), picture.width(),
                             picture.height());
            } else {
                std::fprintf(stderr, "dutygate-host: %s cannot be written\n", qPrintable(path));
            }
            done = true;
            dialog->close();
        });
        poll.start();
        std::string error;
        const dg_status status = object.TryCall(member, &error);
        if (status < 0) {
            std::fprintf(stderr, "dutygate-host: %s\n", error.c_str());
            return false;
        }
        // A modeless dialog is still open here: wait for the timer.
        QEventLoop wait;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &wait, [&] {
            if (done) wait.quit();
        });
        check.start(20);
        if (!done) wait.exec();
        if (!saved && seen == 0) std::fprintf(stderr, "dutygate-host: %s opened no window\n", member);
        return saved;
    }

private:
    QDir folder_;
};

}  // namespace

int SaveScreenshots(const QString& folder) {
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "dutygate-host: cannot create %s\n", qPrintable(folder));
        return 1;
    }
    // Closing the last dialog must not end anything: there is no main window.
    QApplication::setQuitOnLastWindowClosed(false);
    try {
        Object password = Object::Create(DG_PROGID_CLSPASSWORD);
        Object shift = Object::Create(DG_PROGID_CLSSHIFTCLASS);
        Shooter shooter(dir);
        // The login dialog goes first: it puts "管理员" in hand, which the
        // logout dialog then shows.
        bool ok = shooter.Shoot(password, "ShowDialog", QStringLiteral("login.png"));
        ok = shooter.Shoot(password, "ShowRevise", QStringLiteral("revise.png")) && ok;
        ok = shooter.Shoot(password, "ShowLanding", QStringLiteral("landing.png")) && ok;
        ok = shooter.Shoot(shift, "ShowSetClass", QStringLiteral("settings.png")) && ok;
        return ok ? 0 : 1;
    } catch (const CallError& e) {
        std::fprintf(stderr, "dutygate-host: %s\n", e.what());
        return 1;
    }
}

}  // namespace dghost
