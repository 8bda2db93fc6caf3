#pragma once
// Forms: dialog objects that exist without a window. Load() builds the window
// (Build() gives every control its design-time contents, then OnLoad() runs);
// Unload() closes and destroys it, discarding the controls' contents while the
// form object and its own variables stay. Constructing a form touches no
// toolkit, so a controller can own forms on a machine without a display.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/controls.h"

namespace dg::ui {

enum class CloseOrigin {
    Frame,   // the window frame's close button or its menu
    Code,    // Unload() called by the component
    System,  // the session or application is ending
};

namespace detail {
struct FormCore;   // ui/form_core.h
struct FormState;  // owned by the toolkit implementation
}  // namespace detail

class Form {
public:
    explicit Form(std::string objectName);
    // Unloads if loaded. No handler runs then (the derived form is already
    // gone); a dialog that wants OnQueryUnload/OnUnload at its end calls
    // Unload() in its own destructor.
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const std::string& ObjectName() const { return objectName_; }
    bool Loaded() const;
    bool Visible() const;

    void Load();  // no-op when loaded; throws UiError without a usable GUI
    // Loads if needed and shows modally: returns once the window has closed.
    void ShowModal();
    // Loads if needed and shows without waiting; an open form stays the one window.
    void ShowModeless();
    // Closes the window from code (OnQueryUnload sees CloseOrigin::Code) and
    // destroys it. No-op when not loaded, and while a close is being decided
    // or carried out (from inside OnQueryUnload or OnUnload).
    void Unload();

protected:
    // --- used from Build() only: the window's design-time contents ---
    virtual void Build() = 0;
    void SetCaption(std::string_view caption);
    void SetClientSize(int widthTwips, int heightTwips);
    void SetFormLook(double fontPoints, std::optional<Rgb> background = std::nullopt);
    void SetCentred(bool centred);
    // Controls in tab order; the form opens with the focus on the first that can take it.
    void SetTabOrder(const std::vector<const Control*>& order);
    void SetDefaultButton(const Button& button);  // Enter in the form presses it
    void SetCancelButton(const Button& button);   // Esc presses it
    // A form without a cancel button ignores Esc, and one without a default
    // button ignores Enter (a focused button still answers Enter itself), so
    // that a stray key never drops the operator's edits.

    Label AddLabel(const Place& place, std::string_view caption, const Look& look = {});
    Frame AddFrame(const Place& place, std::string_view caption, const Look& look = {});
    Button AddButton(const Place& place, std::string_view caption, const Look& look = {});
    TextBox AddTextBox(const Place& place, std::string_view text = {}, const Look& look = {});
    ComboBox AddComboBox(const Place& place, const std::vector<std::string>& items, const Look& look = {});
    UpDown AddUpDown(const Place& place, int lower, int upper, const Look& look = {});

    // --- the form's own handlers ---
    virtual void OnLoad() {}
    // Return true to refuse the close. The default lets every close through.
    virtual bool OnQueryUnload(CloseOrigin origin) {
        (void)origin;
        return false;
    }
    // Runs once the close has been accepted, before the controls go.
    virtual void OnUnload() {}

private:
    friend struct detail::FormCore;
    std::string objectName_;
    std::unique_ptr<detail::FormState> state_;
};

}  // namespace dg::ui
