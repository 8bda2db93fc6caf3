// Test driver for dialogs: queued real widget input, queued message-box
// answers and a record of every message box.
#include "ui_testing/driver.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPixmap>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <QtTest/QTest>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "ui/app.h"
#include "ui_testing/driver_shared.h"
#include "ui/qt/internal.h"

namespace dg::ui::testing {
namespace {

using shared::Fail;
using shared::Outcome;
using shared::Queue;

QTimer* g_timer = nullptr;  // runs the next action; lives as long as the application

// --- message-box hooks: installed when this driver is linked in -------------

const bool g_hooksInstalled = [] {
    detail::SetMessageHooks(detail::MessageHooks{&shared::TakeQueuedAnswer, &shared::RecordMessage});
    return true;
}();

// --- finding things ----------------------------------------------------------

QMessageBox* OpenMessageBox() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && box->isVisible()) return box;
    QMessageBox* found = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) found = box;
    }
    return found;
}

// The windows of the open forms, the most recently shown first.
std::vector<qt::FormDialog*> OpenDialogs() {
    std::vector<qt::FormDialog*> dialogs;
    for (detail::FormState* form : detail::OpenForms()) dialogs.push_back(form->dialog);
    return dialogs;
}

// The named control in the open forms, the most recently shown form first.
QWidget* FindControl(const std::string& name) {
    const QString wanted = qt::ToQ(name);
    for (qt::FormDialog* dialog : OpenDialogs()) {
        if (auto* widget = dialog->findChild<QWidget*>(wanted)) return widget;
    }
    return nullptr;
}

qt::FormDialog* FindForm(const std::string& formName) {
    const QString wanted = qt::ToQ(formName);
    for (qt::FormDialog* dialog : OpenDialogs()) {
        if (dialog->objectName() == wanted) return dialog;
    }
    return nullptr;
}

// --- the queue's timer ----------------------------------------------------------

// Starts the queue whenever a form window (or a message box) shows.
class ShowWatcher final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show &&
            (dynamic_cast<qt::FormDialog*>(watched) || qobject_cast<QMessageBox*>(watched)))
            shared::Kick();
        return false;
    }
};

}  // namespace

namespace toolkit {

void SetUp() {
    (void)g_hooksInstalled;
    EnsureGui();
    if (g_timer) return;
    g_timer = new QTimer(qApp);
    g_timer->setSingleShot(true);
    QObject::connect(g_timer, &QTimer::timeout, qApp, [] { shared::RunNext(); });
    qApp->installEventFilter(new ShowWatcher(qApp));
}

Open WhatIsOpen() {
    if (!QCoreApplication::instance()) return Open::Nothing;
    if (OpenMessageBox()) return Open::Message;
    return OpenDialogs().empty() ? Open::Nothing : Open::Form;
}

bool ActivateTopForm(bool now) {
    qt::FormDialog* top = OpenDialogs().front();
    if (top->isActiveWindow()) return true;
    if (now) {
        QApplication::setActiveWindow(top);
        return true;
    }
    top->activateWindow();  // the platform does it asynchronously
    return false;
}

void Schedule(int ms) {
    if (g_timer) g_timer->start(ms);
}
bool Scheduled() { return g_timer && g_timer->isActive(); }
void CancelSchedule() {
    if (g_timer) g_timer->stop();
}

}  // namespace toolkit

namespace {

// Runs `act` on the named control of type W, retrying while it is not there.
template <typename W>
void QueueOn(const std::string& what, const std::string& control, std::function<Outcome(W*)> act) {
    Queue(what, [what, control, act]() -> Outcome {
        QWidget* widget = FindControl(control);
        if (!widget) return Outcome::Retry;
        auto* typed = dynamic_cast<W*>(widget);
        if (!typed) {
            Fail(what + ": '" + control + "' is a " + widget->metaObject()->className());
            return Outcome::Done;
        }
        return act(typed);
    });
}

// Typed as the operator would: ASCII as key clicks, everything else (Chinese)
// as an input-method commit, which is how such text reaches a widget.
void TypeText(QWidget* widget, const QString& text) {
    qsizetype i = 0;
    while (i < text.size()) {
        const bool ascii = text.at(i).unicode() < 0x80;
        qsizetype j = i;
        while (j < text.size() && (text.at(j).unicode() < 0x80) == ascii) ++j;
        const QString run = text.mid(i, j - i);
        if (ascii) {
            QTest::keyClicks(widget, run);
        } else {
            QInputMethodEvent event;
            event.setCommitString(run);
            QCoreApplication::sendEvent(widget, &event);
        }
        i = j;
    }
}

QMessageBox::StandardButton ToStandard(Answer answer) {
    switch (answer) {
        case Answer::Yes: return QMessageBox::Yes;
        case Answer::No: return QMessageBox::No;
        case Answer::Ok: break;
    }
    return QMessageBox::Ok;
}

}  // namespace

void Type(const std::string& control, const std::string& text) {
    QueueOn<QLineEdit>("Type into " + control, control, [text](QLineEdit* box) {
        TypeText(box, qt::ToQ(text));
        return Outcome::Done;
    });
}

void ClearText(const std::string& control) {
    QueueOn<QLineEdit>("ClearText " + control, control, [](QLineEdit* box) {
        QTest::keyClick(box, Qt::Key_Home);
        QTest::keyClick(box, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClick(box, Qt::Key_Backspace);
        return Outcome::Done;
    });
}

void Click(const std::string& control) {
    QueueOn<QAbstractButton>("Click " + control, control, [](QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        return Outcome::Done;
    });
}

namespace {
Qt::Key ToQtKey(Key key) {
    switch (key) {
        case Key::Enter: return Qt::Key_Return;
        case Key::Escape: return Qt::Key_Escape;
        case Key::Tab: return Qt::Key_Tab;
        case Key::Space: return Qt::Key_Space;
        case Key::Home: return Qt::Key_Home;
        case Key::End: return Qt::Key_End;
        case Key::Up: return Qt::Key_Up;
        case Key::Down: return Qt::Key_Down;
        case Key::Backspace: return Qt::Key_Backspace;
    }
    return Qt::Key_unknown;
}
}  // namespace

void PressKey(const std::string& control, Key key) {
    QueueOn<QWidget>("PressKey on " + control, control, [key](QWidget* widget) {
        // The key goes to the control with the focus: move it there first.
        if (widget->focusPolicy() & Qt::TabFocus && widget->window()->focusWidget() != widget)
            widget->setFocus(Qt::TabFocusReason);
        QTest::keyClick(widget, ToQtKey(key));
        return Outcome::Done;
    });
}

void Choose(const std::string& control, const std::string& item) {
    const std::string what = "Choose '" + item + "' in " + control;
    QueueOn<QComboBox>(what, control, [what, item](QComboBox* combo) {
        const int index = combo->findText(qt::ToQ(item), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0) {
            Fail(what + ": no such item");
            return Outcome::Done;
        }
        if (!combo->isEnabled()) {
            Fail(what + ": the combo box is disabled");
            return Outcome::Done;
        }
        // Click into the box (it takes the focus), open its list, move to the
        // item and take it with Enter, as a key press reaches the open list.
        combo->setFocus(Qt::MouseFocusReason);
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        if (!view->isVisible()) {
            Fail(what + ": the list did not open");
            return Outcome::Done;
        }
        const QModelIndex modelIndex = view->model()->index(index, combo->modelColumn(), view->rootIndex());
        view->scrollTo(modelIndex);
        view->setCurrentIndex(modelIndex);
        QTest::keyClick(view, Qt::Key_Return);
        if (combo->currentIndex() != index) Fail(what + ": the list did not take the choice");
        if (view->isVisible()) Fail(what + ": the list stayed open");
        return Outcome::Done;
    });
}

void Focus(const std::string& control) {
    QueueOn<QWidget>("Focus " + control, control, [](QWidget* widget) {
        widget->setFocus(Qt::MouseFocusReason);
        return Outcome::Done;
    });
}

namespace toolkit {

void QueueSpin(const std::string& control, bool up) {
    QueueOn<qt::UpDownWidget>(std::string(up ? "SpinUp " : "SpinDown ") + control, control,
                              [up](qt::UpDownWidget* spinner) {
                                  QTest::mouseClick(up ? spinner->up : spinner->down, Qt::LeftButton);
                                  return Outcome::Done;
                              });
}

Outcome CloseTopFormFromFrame() {
    const auto forms = OpenDialogs();
    if (forms.empty() || !forms.front()->windowHandle()) return Outcome::Retry;
    // What the window system does when the frame's close button is pressed: a
    // close event to the form's window (QWindow), which hands it to the dialog
    // as a spontaneous one. QWidget::close() and QWindow::close() would mark
    // it as the application's own.
    QCloseEvent event;
    QCoreApplication::sendEvent(forms.front()->windowHandle(), &event);
    return Outcome::Done;
}

Outcome EndSessionOfTopForm() {
    const auto forms = OpenDialogs();
    if (forms.empty()) return Outcome::Retry;
    // What the application does when the session ends: a close event that
    // does not come from the window system (QApplication::closeAllWindows).
    forms.front()->close();
    return Outcome::Done;
}

}  // namespace toolkit

void ClickMessageBox(Answer button) {
    Queue("ClickMessageBox", [button] {
        QMessageBox* box = OpenMessageBox();
        if (!box) return Outcome::Retry;
        QAbstractButton* target = box->button(ToStandard(button));
        if (!target) {
            Fail("ClickMessageBox: the message box has no such button");
            return Outcome::Done;
        }
        QTest::mouseClick(target, Qt::LeftButton);
        return Outcome::Done;
    });
}

// Qt has no window menu of its own: the window manager draws it and takes
// its keys, so nothing reaches the form from it.
void OpenSystemMenu() {}

int WindowsOf(const std::string& formName) {
    if (!QCoreApplication::instance()) return 0;
    const QString wanted = qt::ToQ(formName);
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += dynamic_cast<qt::FormDialog*>(widget) && widget->objectName() == wanted;
    return count;
}

std::optional<std::string> CaptionOf(const std::string& formName) {
    if (!QCoreApplication::instance()) return std::nullopt;
    qt::FormDialog* dialog = FindForm(formName);
    if (!dialog) return std::nullopt;
    return qt::FromQ(dialog->windowTitle());
}

std::optional<std::string> TextOf(const std::string& control) {
    if (!QCoreApplication::instance()) return std::nullopt;
    QWidget* widget = FindControl(control);
    if (!widget) return std::nullopt;
    if (auto* box = qobject_cast<QLineEdit*>(widget)) return qt::FromQ(box->text());
    if (auto* label = qobject_cast<QLabel*>(widget)) return qt::FromQ(label->text());
    if (auto* frame = qobject_cast<QGroupBox*>(widget)) return qt::FromQ(frame->title());
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return qt::FromQ(button->text());
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return qt::FromQ(combo->currentIndex() >= 0 ? combo->currentText() : combo->placeholderText());
    if (auto* spinner = dynamic_cast<qt::UpDownWidget*>(widget)) return std::to_string(spinner->value);
    return std::nullopt;
}

bool EnabledOf(const std::string& control) {
    if (!QCoreApplication::instance()) return false;
    QWidget* widget = FindControl(control);
    return widget && widget->isEnabled();
}

bool LockedOf(const std::string& control) {
    if (!QCoreApplication::instance()) return false;
    auto* box = qobject_cast<QLineEdit*>(FindControl(control));
    return box && box->isReadOnly();
}

std::optional<std::string> ToolTipOf(const std::string& control) {
    if (!QCoreApplication::instance()) return std::nullopt;
    QWidget* widget = FindControl(control);
    if (!widget) return std::nullopt;
    // A control shows its own hint only (never its frame's); a label without
    // one lets the pointer through to the frame it lies in.
    if (widget->toolTip().isEmpty() && qobject_cast<QLabel*>(widget) &&
        qobject_cast<QGroupBox*>(widget->parentWidget()))
        return qt::FromQ(widget->parentWidget()->toolTip());
    return qt::FromQ(widget->toolTip());
}

std::string FocusedControl() {
    if (!QCoreApplication::instance()) return {};
    QWidget* focus = QApplication::focusWidget();
    if (!focus) {
        const auto forms = OpenDialogs();
        if (forms.empty()) return {};
        focus = forms.front()->focusWidget();
    }
    // The named control that holds the focus (a part of it may have it).
    for (QWidget* widget = focus; widget && !widget->isWindow(); widget = widget->parentWidget()) {
        if (dynamic_cast<qt::FormDialog*>(widget->window()) && !widget->objectName().isEmpty() &&
            FindControl(qt::FromQ(widget->objectName())) == widget)
            return qt::FromQ(widget->objectName());
    }
    return {};
}

std::optional<PixelRect> GeometryOf(const std::string& controlOrForm) {
    if (!QCoreApplication::instance()) return std::nullopt;
    if (qt::FormDialog* dialog = FindForm(controlOrForm)) return PixelRect{0, 0, dialog->width(), dialog->height()};
    QWidget* widget = FindControl(controlOrForm);
    if (!widget) return std::nullopt;
    const QPoint corner = widget->mapTo(widget->window(), QPoint(0, 0));
    return PixelRect{corner.x(), corner.y(), widget->width(), widget->height()};
}

std::string ControlAt(const std::string& formName, int x, int y) {
    if (!QCoreApplication::instance()) return {};
    qt::FormDialog* dialog = FindForm(formName);
    if (!dialog) return {};
    // The topmost widget there, then the named control it belongs to.
    for (QWidget* widget = dialog->childAt(x, y); widget && widget != dialog; widget = widget->parentWidget()) {
        const std::string name = qt::FromQ(widget->objectName());
        if (!name.empty() && FindControl(name) == widget) return name;
    }
    return {};
}

std::string DefaultBorderOf(const std::string& formName) {
    if (!QCoreApplication::instance()) return {};
    qt::FormDialog* dialog = FindForm(formName);
    if (!dialog || !dialog->form) return {};
    for (const auto& control : dialog->form->controls) {
        auto* button = qobject_cast<QPushButton*>(control->widget.data());
        if (button && button->isDefault()) return control->name;
    }
    return {};
}

std::vector<Rgb> ColoursOf(const std::string& control) {
    std::vector<Rgb> colours;
    if (!QCoreApplication::instance()) return colours;
    QWidget* widget = FindControl(control);
    if (!widget || widget->size().isEmpty()) return colours;
    // The control alone: its own background and drawing, without its children.
    QImage image(widget->size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) pixels.push_back(image.pixel(x, y));
    return shared::ColoursByUse(pixels);
}

bool SaveScreenshot(const std::string& formName, const std::string& pngPath) {
    if (!QCoreApplication::instance()) return false;
    qt::FormDialog* dialog = FindForm(formName);
    if (!dialog) return false;
    return dialog->grab().save(qt::ToQ(pngPath), "PNG");
}

}  // namespace dg::ui::testing
