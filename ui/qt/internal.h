#pragma once
// Shared between the Qt implementation files of ui/ and the test driver
// (ui_testing/qt/). Elsewhere in ui/ only ui/toolkit_state.h includes it.
#include <QColor>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/controls.h"
#include "ui/errors.h"
#include "ui/event.h"
#include "ui/form.h"
#include "ui/form_core.h"
#include "ui/internals.h"
#include "ui/message_box.h"
#include "ui/message_hooks.h"

class QToolButton;

namespace dg::ui::qt {

inline QString ToQ(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string FromQ(const QString& text) { return text.toStdString(); }

// 15 twips make one pixel at 96 dpi.
inline int TwipsToPixels(int twips) { return (twips >= 0 ? twips + 7 : twips - 7) / 15; }

// Whether the caller is the process's main thread, the only one that may
// create the QApplication when the host has none.
bool OnMainThread();
// Whether a message box can be shown from the calling thread: the GUI
// thread of a QApplication, or (none existing yet) the main thread with a
// usable display.
bool CanShowHere();

// Throws UiError(kStatusWrongThread) unless a QApplication exists and the
// caller is on its thread. Cheaper than EnsureGui(): creates nothing.
void RequireGuiThread();

class FormDialog;

// --- handler scopes -------------------------------------------------------
// Every call from Qt into dialog code runs inside a scope on the dialog whose
// widget caused it. While any scope (or the dialog's own exec()) is active the
// dialog's window is not deleted, even when the form unloads or is destroyed
// meanwhile; the deletion happens once the last scope ends.
class DialogScope {
public:
    // deleteNow: the scope ends outside every Qt frame of the dialog (after
    // exec() returned), so a doomed dialog can be deleted at once rather than
    // through the event loop.
    explicit DialogScope(FormDialog* dialog, bool deleteNow = false);
    ~DialogScope();
    DialogScope(const DialogScope&) = delete;
    DialogScope& operator=(const DialogScope&) = delete;

private:
    QPointer<FormDialog> dialog_;
    bool deleteNow_;
};

// Runs a dialog handler inside a scope. An exception thrown by the handler
// must not unwind through Qt's event dispatch: it is reported to the operator
// in a message box (its description, OK, critical icon) and the dialog stays
// usable.
void RunHandler(FormDialog* dialog, const std::function<void()>& handler);

// --- widgets --------------------------------------------------------------

// A push button that answers Enter/Return when it has the focus, as Space
// does; only the form's default button answers Enter elsewhere in the form.
class PushButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The text box widget; knows its control so that focus changes can be told.
class LineEdit final : public QLineEdit {
public:
    explicit LineEdit(QWidget* parent) : QLineEdit(parent) {}
    std::weak_ptr<detail::ControlState> control;
};

// A drop-down list in the dialogs' control style. QComboBox answers a change
// of style by making its list at once, and Qt 6.4 keeps a style-sheet cache
// entry for good for every list made while the application has a style
// sheet: this one takes its style without making the list, which is made
// (with this style) when the operator first opens it.
class ComboBox final : public QComboBox {
public:
    explicit ComboBox(QWidget* parent);

protected:
    void changeEvent(QEvent* event) override;

private:
    bool takingStyle_ = false;
};

// A frame whose caption may have a colour of its own.
class GroupBox final : public QGroupBox {
public:
    using QGroupBox::QGroupBox;
    QColor captionColor;  // invalid: the style's

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Makes a control show its own tooltip only: without one it shows none,
// rather than the tooltip of the frame it sits in.
void KeepToolTipsOwn(QWidget* control);

// The style of the dialogs' controls: the application's, drawing "*" for
// each character of a password, and sharing one palette object among equal
// palettes so that what it caches is found again at the next showing.
QStyle* DialogControlStyle();

// The spin control: two arrow buttons ("up", "down") over an integer value
// within [lower, upper], step 1, no wrapping.
class UpDownWidget final : public QWidget {
public:
    explicit UpDownWidget(QWidget* parent);
    int value = 0;
    int lower = 0;
    int upper = 10;
    std::function<void()> changed;  // runs after every change of value
    QToolButton* up = nullptr;
    QToolButton* down = nullptr;

    // Sets the value (assumed within range); notifies when it differs.
    void Assign(int newValue);
    void Step(int delta);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// The window of a loaded form.
class FormDialog final : public QDialog {
public:
    explicit FormDialog(detail::FormState* form);
    ~FormDialog() override;

    detail::FormState* form;  // nullptr once the form has let the window go
    int busy = 0;             // active handler scopes and exec() calls
    bool doomed = false;      // delete once busy drops to 0
    bool inExec = false;

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
};

// Told by a form whose window goes (ends a ProcessEvents() wait early).
void FormWindowGone();

}  // namespace dg::ui::qt

namespace dg::ui::detail {

struct ControlState : ControlCore {
    QPointer<QWidget> widget;  // null once the form has unloaded
    bool HasWindow() const { return !widget.isNull(); }
};

struct FormState : FormCore {
    using FormCore::FormCore;
    ~FormState();

    qt::FormDialog* dialog = nullptr;

    bool HasWindow() const { return dialog != nullptr; }
    bool Visible() const;
    void RequireThread(const char* what) const;
    // Lets the window go without running any handler.
    void TearDown();
    // Focus on the first control in tab order that can take it.
    void PrepareFocus();
    void PlaceWindow();
    // Gives the default border to ButtonForEnter(the focused control).
    void FollowFocus();
    void ApplyTabOrder();
    qt::FormDialog* RequireDialog(const char* what) const;
};

}  // namespace dg::ui::detail
