// Forms: the dialog object, its window (a QDialog per load), closing and
// showing, and the rules that keep a window alive while its handlers run.
#include "ui/form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QPalette>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <exception>
#include <string>

#include "ui/app.h"
#include "ui/handler_failure.h"
#include "ui/qt/internal.h"

namespace dg::ui {
namespace detail {
// Loaded forms: all on the GUI thread.
std::vector<FormState*>& LoadedForms() {
    static std::vector<FormState*> forms;
    return forms;
}
}  // namespace detail

namespace qt {

DialogScope::DialogScope(FormDialog* dialog, bool deleteNow) : dialog_(dialog), deleteNow_(deleteNow) {
    if (dialog) ++dialog->busy;
}

DialogScope::~DialogScope() {
    FormDialog* dialog = dialog_.data();
    if (!dialog) return;
    if (--dialog->busy == 0 && dialog->doomed) {
        // Inside a Qt event of one of its widgets the window must outlive the
        // dispatch: the event loop deletes it once that event has been handled.
        if (deleteNow_)
            delete dialog;
        else
            dialog->deleteLater();
    }
}

void RunHandler(FormDialog* dialog, const std::function<void()>& handler) {
    DialogScope scope(dialog);
    detail::RunAndReport(handler);
}

void PushButton::keyPressEvent(QKeyEvent* event) {
    const bool plain = event->modifiers() == Qt::NoModifier ||
                       (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        event->accept();
        if (isEnabled()) click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

FormDialog::FormDialog(detail::FormState* form)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      form(form) {
    setSizeGripEnabled(false);
    QFont font(QStringLiteral("SimSun"));
    font.setPointSizeF(9);
    setFont(font);
}

FormDialog::~FormDialog() {
    // Normally the form has let the window go before it is deleted. When
    // something else deletes it (the host tearing down its QApplication), the
    // form becomes unloaded.
    if (detail::FormState* owner = form) {
        form = nullptr;
        owner->dialog = nullptr;
        owner->TearDown();
    }
}

void FormDialog::showEvent(QShowEvent* event) {
    if (form) form->MarkShown();
    QDialog::showEvent(event);
}

void FormDialog::closeEvent(QCloseEvent* event) {
    if (!form) {
        event->accept();
        return;
    }
    // A close that this layer asks for goes through RequestClose(Code)
    // directly; a close event comes from the window frame (spontaneous) or
    // from the application (closeAllWindows, session end).
    const CloseOrigin origin = event->spontaneous() ? CloseOrigin::Frame : CloseOrigin::System;
    bool closed = false;
    RunHandler(this, [this, origin, &closed] {
        if (form)
            closed = form->RequestClose(origin);
        else
            closed = true;
    });
    event->setAccepted(closed);
}

void FormDialog::reject() {
    // QDialog::reject() would hide the window behind the form's back.
    if (!form) {
        QDialog::reject();
        return;
    }
    RunHandler(this, [this] {
        if (form) form->RequestClose(CloseOrigin::Frame);
    });
}

void FormDialog::keyPressEvent(QKeyEvent* event) {
    const bool plain = event->modifiers() == Qt::NoModifier ||
                       (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (!form || !plain) {
        event->ignore();
        return;
    }
    const auto press = [](detail::ControlState* target) {
        auto* button = static_cast<QPushButton*>(target->widget.data());
        if (button->isEnabled() && button->isVisible()) button->click();
    };
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        if (detail::ControlState* cancel = form->ButtonForEscape()) press(cancel);
        return;
    }
    // A focused button has answered Enter itself (PushButton): here only the
    // default button is left.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (detail::ControlState* def = form->ButtonForEnter(nullptr)) {
            event->accept();
            press(def);
            return;
        }
    }
    event->ignore();
}

}  // namespace qt

namespace detail {

bool FormState::Visible() const { return dialog && dialog->isVisible(); }

void FormState::RequireThread(const char*) const { qt::RequireGuiThread(); }

qt::FormDialog* FormState::RequireDialog(const char* what) const {
    RequireLoaded(*this, what);
    return dialog;
}

void FormState::TearDown() {
    if (!loaded) return;
    qt::FormDialog* window = dialog;
    dialog = nullptr;
    for (const auto& control : LetControlsGo()) control->widget = nullptr;
    if (!window) return;
    window->form = nullptr;
    if (QThread::currentThread() != window->thread()) {
        // A form destroyed on a foreign thread: its window goes on its own thread.
        QPointer<qt::FormDialog> guard(window);
        QMetaObject::invokeMethod(
            window,
            [guard] {
                if (!guard) return;
                guard->hide();
                guard->doomed = true;
                if (guard->busy == 0) guard->deleteLater();
            },
            Qt::QueuedConnection);
        return;
    }
    window->hide();  // also ends its exec() loop
    window->doomed = true;
    if (window->busy == 0) delete window;
    qt::FormWindowGone();
}

void FormState::PrepareFocus() {
    if (!focusByCode.expired() || !dialog) return;
    for (ControlState* control : FocusRing()) {
        QWidget* widget = control->widget;
        if (widget->isEnabled() && !widget->isHidden() && (widget->focusPolicy() & Qt::TabFocus)) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void FormState::PlaceWindow() {
    if (!centred || !dialog) return;
    QScreen* screen = dialog->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize size = dialog->size();
    dialog->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

void FormState::FollowFocus() {
    if (!dialog) return;
    ControlState* focused = nullptr;
    for (const auto& control : controls) {
        if (control->widget && control->widget == dialog->focusWidget()) focused = control.get();
    }
    const ControlState* carrier = ButtonForEnter(focused);
    for (const auto& control : controls) {
        if (control->kind == ControlKind::Button && control->widget)
            static_cast<QPushButton*>(control->widget.data())->setDefault(control.get() == carrier);
    }
}

void FormState::ApplyTabOrder() {
    QWidget* previous = nullptr;
    for (const auto& weak : tabOrder) {
        QWidget* widget = weak.lock()->widget;
        if (previous) QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

}  // namespace detail

void Form::Load() {
    EnsureGui();
    if (state_->loaded) return;
    auto* window = new qt::FormDialog(state_.get());
    window->setObjectName(qt::ToQ(objectName_));
    window->setWindowTitle(qt::ToQ(objectName_));
    state_->dialog = window;
    state_->BeginLoad();

    const std::weak_ptr<char> watch = state_->alive;
    qt::DialogScope scope(window, true);
    try {
        Build();
        if (watch.expired() || !state_->loaded) return;
        OnLoad();
    } catch (...) {
        // A form that failed to load is not left half-built.
        if (!watch.expired() && state_->loaded && state_->dialog == window) state_->TearDown();
        throw;
    }
}

void Form::ShowModal() {
    Load();
    if (!state_->loaded) return;  // OnLoad unloaded it
    qt::FormDialog* window = state_->dialog;
    if (window->inExec) {
        window->raise();
        window->activateWindow();
        return;  // already shown modally: it stays the one window
    }
    if (window->isVisible()) window->hide();  // shown modeless: becomes modal
    state_->PrepareFocus();
    state_->PlaceWindow();

    const std::weak_ptr<char> watch = state_->alive;
    QPointer<qt::FormDialog> guard(window);
    {
        // The window is not deleted while exec() runs; when the form has let
        // it go meanwhile, it is deleted here, after exec() has returned.
        qt::DialogScope scope(window, true);
        window->inExec = true;
        window->exec();
        if (guard) guard->inExec = false;
    }
    if (watch.expired()) return;
    if (state_->loaded && guard && state_->dialog == guard.data() && guard->isVisible()) {
        // exec() returned with the window still open: the application has
        // ended its event loops (it is quitting).
        state_->RequestClose(CloseOrigin::System);
    }
}

void Form::ShowModeless() {
    Load();
    if (!state_->loaded) return;
    qt::FormDialog* window = state_->dialog;
    if (!window->isVisible()) {
        state_->PrepareFocus();
        state_->PlaceWindow();
        window->setModal(false);
        window->show();
    }
    window->raise();
    window->activateWindow();
}

void Form::Unload() {
    if (!state_->loaded) return;
    qt::RequireGuiThread();
    qt::DialogScope scope(state_->dialog, true);
    state_->RequestClose(CloseOrigin::Code);
}

void Form::SetCaption(std::string_view caption) {
    state_->RequireDialog("SetCaption")->setWindowTitle(qt::ToQ(caption));
}

void Form::SetClientSize(int widthTwips, int heightTwips) {
    state_->RequireDialog("SetClientSize")->setFixedSize(qt::TwipsToPixels(widthTwips), qt::TwipsToPixels(heightTwips));
}

void Form::SetFormLook(double fontPoints, std::optional<Rgb> background) {
    qt::FormDialog* window = state_->RequireDialog("SetFormLook");
    QFont font = window->font();
    font.setPointSizeF(fontPoints);
    window->setFont(font);
    if (background) {
        QPalette palette = window->palette();
        palette.setColor(QPalette::Window, QColor(background->r, background->g, background->b));
        window->setPalette(palette);
        window->setAutoFillBackground(true);
    }
}

}  // namespace dg::ui
