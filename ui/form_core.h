#pragma once
// What every form and control carries whatever toolkit draws it, and the
// checks and bookkeeping that do not depend on one. Each toolkit's
// ControlState and FormState (ui/qt/internal.h, ui/win32/internal.h) derive
// from these cores and add their windows; the functions declared here are
// written once (ui/form.cpp, ui/controls.cpp) and built against the toolkit
// in use.
//
// Each toolkit's ControlState has:
//   bool HasWindow() const;  // its widget or window still exists
// and its FormState has:
//   bool HasWindow() const;  // the window of this load exists
//   bool Visible() const;    // ... and is shown
//   void RequireThread(const char* what) const;  // UiError off the form's thread
//   void TearDown();         // starts with LetControlsGo()
//   void FollowFocus();      // the default border to ButtonForEnter(focused)
//   void ApplyTabOrder();    // after tabOrder changed
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/event.h"
#include "ui/form.h"
#include "ui/internals.h"

namespace dg::ui::detail {

struct ControlState;
struct FormState;

enum class ControlKind { Label, Frame, Button, TextBox, ComboBox, UpDown };

struct ControlCore {
    using Kind = ControlKind;
    Kind kind = Kind::Label;
    std::string name;           // ControlName(place): the widget's objectName
    FormState* form = nullptr;  // null once the form has unloaded
    ui::Event<> click;          // Button, ComboBox (a choice from the list)
    ui::Event<> change;         // TextBox, UpDown
    ui::Event<> lostFocus;      // TextBox
    std::string comboText;      // ComboBox: text shown when it is no item

    // Labels and frames never take the focus, whatever their tab position.
    bool TakesFocus() const { return kind != Kind::Label && kind != Kind::Frame; }
};

struct FormCore {
    explicit FormCore(Form* owner) : owner(owner), alive(std::make_shared<char>(0)) {}

    Form* owner;
    std::shared_ptr<char> alive;  // watched (weakly) across handler calls
    bool loaded = false;
    bool closing = false;  // a close is being decided or carried out
    bool centred = false;
    std::uint64_t showSerial = 0;  // larger: shown more recently
    std::vector<std::shared_ptr<ControlState>> controls;
    std::vector<std::weak_ptr<ControlState>> tabOrder;
    std::weak_ptr<ControlState> defaultButton;
    std::weak_ptr<ControlState> cancelButton;
    std::weak_ptr<ControlState> focusByCode;  // SetFocus before the first show

    // Asks OnQueryUnload, then runs OnUnload and tears the window down.
    // Returns true when the form is no longer loaded (or no longer exists).
    bool RequestClose(CloseOrigin origin);

    // The bookkeeping of a new load: loaded, nothing pending, in the list of
    // loaded forms.
    void BeginLoad();
    // The shared start of every tear-down: the form is no longer loaded, its
    // controls are told their form is gone and are handed back, so that the
    // toolkit lets their windows go; tab, default and cancel settings end.
    std::vector<std::shared_ptr<ControlState>> LetControlsGo();
    void MarkShown();

    // A new control of this form, named after its place; the toolkit gives
    // it its window and then adds it to `controls`.
    std::shared_ptr<ControlState> NewControl(const Place& place, ControlKind kind) const;

    // The controls that can hold the focus, the tab order first, then the
    // others in the order they were made; each once.
    std::vector<ControlState*> FocusRing() const;
    // The button Enter presses and the one that carries the default border:
    // the focused button itself, else the form's default button, else none.
    ControlState* ButtonForEnter(const ControlState* focused) const;
    // The button Esc presses: the cancel button, or none. Without one, Esc
    // never drops the operator's edits by closing the form.
    ControlState* ButtonForEscape() const;
};

// The control's objectName: name, or name_index for an element of a control
// array ("txtTime_3").
std::string ControlName(const Place& place);

// --- checks: each throws UiError naming the call (`what`) ---
// The form is loaded, and the caller is on its thread.
void RequireLoaded(const FormState& form, const char* what);
// The handle refers to a control that exists, and the caller is on its thread.
ControlState& RequireControl(const std::shared_ptr<ControlState>& state, const char* what);
// ... and of this kind.
ControlState& RequireControl(const std::shared_ptr<ControlState>& state, ControlKind kind, const char* what);
// The control is a loaded one of this form (of `kind`, when given).
ControlState& RequireOwnControl(const FormState& form, const Control* control, const char* what);
ControlState& RequireOwnButton(const FormState& form, const Button& button, const char* what);
// The frame a new control sits in (null: directly on the form); it must be a
// loaded frame of this form.
const ControlState* RequireParentFrame(const FormState& form, const Place& place, const char* what);

// --- the loaded forms of the toolkit's GUI thread ---
std::vector<FormState*>& LoadedForms();  // the toolkit's own list
void Unregister(FormState* form);
// The visible ones, the most recently shown first.
std::vector<FormState*> OpenForms();

}  // namespace dg::ui::detail
