#pragma once
// Shared between the Win32 implementation files of ui/ and its test driver.
// Nothing outside ui/win32/ includes this header.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf16.h"
#include "ui/controls.h"
#include "ui/errors.h"
#include "ui/event.h"
#include "ui/form.h"
#include "ui/message_box.h"
#include "ui/message_hooks.h"
#include "ui/win32/geometry.h"

namespace dg::ui::win32 {

using dg::Utf8;  // base/utf16.h
using dg::Wide;

// The window property that carries a control's name ("txtPassword",
// "txtTime_3") on its window: a global atom of the name. Test drivers and
// outside tools find controls by it (GlobalGetAtomNameW on GetPropW's value).
inline constexpr const wchar_t* kControlNameProperty = L"DutygateControl";
// The window class of every form.
inline constexpr const wchar_t* kFormClassName = L"DutygateForm";

// Registers the form class and the common controls once per process.
void RegisterClassesOnce();
HINSTANCE ModuleInstance();

// The screen's dots per inch, read once per thread through GetDeviceCaps.
int ScreenDpi();

// 宋体 (GB2312 character set) at `points`, normal or bold, at the screen's DPI.
HFONT MakeSongFont(double points, bool bold = false);
// A window's text, and the text of a combo box's item ("" past its end).
std::wstring WideWindowText(HWND hwnd);
std::string WindowText(HWND hwnd);
std::string ComboItemText(HWND combo, int index);

// Throws UiError(kStatusWrongThread) unless called on `thread`.
void RequireThread(DWORD thread, const char* what);

// Runs a dialog handler. An exception must not unwind through a window
// procedure (the i686 unwinder ends the process there): it is shown in a
// message box (its description, OK, critical icon) and the form stays usable.
void RunHandler(const std::function<void()>& handler) noexcept;

// Private messages of the form window.
inline constexpr UINT kMsgDestroy = WM_APP + 1;  // a window whose form has let it go

// Keyboard handling of our forms for a message taken from the thread's queue:
// Tab order, Enter for the default (or focused) button, Esc for the cancel
// button. True when the message has been handled and must not be dispatched.
bool PreTranslate(MSG& msg) noexcept;

// The thread's message hook, installed while any of its forms is open; the
// host's own message loop never calls IsDialogMessage for us.
void FormOpened();
void FormClosed();

// --- test driver hooks ------------------------------------------------------
using detail::MessageRequest;
using DriverHooks = detail::MessageHooks;
void SetDriverHooks(const DriverHooks& hooks);
const DriverHooks& Hooks();

}  // namespace dg::ui::win32

namespace dg::ui::detail {

struct ControlState {
    enum class Kind { Label, Frame, Button, TextBox, ComboBox, UpDown };
    Kind kind = Kind::Label;
    std::string name;           // the control's name: name or name_index
    HWND hwnd = nullptr;        // null once the form has unloaded
    int id = 0;                 // control id: above IDCANCEL
    FormState* form = nullptr;  // null once the form has unloaded
    Look look;
    Twips placed;  // on the form's client area
    std::string toolTip;
    ui::Event<> click;                    // Button, ComboBox (a choice from the list)
    ui::Event<> change;                   // TextBox, UpDown
    ui::Event<> lostFocus;                // TextBox
    std::string comboText;                // ComboBox: text shown when it is no item
    int value = 0, lower = 0, upper = 0;  // UpDown
    bool settingText = false;             // TextBox: a change by code, notified once by SetText
    HFONT font = nullptr;                 // owned; null: the form's
};

struct FormState {
    explicit FormState(Form* owner);
    ~FormState();

    Form* owner;
    const DWORD thread;           // the thread that made the form: the only one that may use it
    std::shared_ptr<char> alive;  // watched (weakly) across handler calls
    bool loaded = false;
    bool closing = false;  // a close is being decided or carried out
    HWND hwnd = nullptr;
    HWND toolTips = nullptr;
    int busy = 0;                 // window procedure calls of this form on the stack
    HWND modalWindow = nullptr;   // the window whose ShowModal loop runs
    HWND activeBefore = nullptr;  // the thread's active window when a modal showing began
    std::uint64_t showSerial = 0;
    std::vector<HWND> disabledByModal;  // re-enabled before the window goes
    std::vector<std::shared_ptr<ControlState>> controls;
    std::vector<std::weak_ptr<ControlState>> tabOrder;
    std::weak_ptr<ControlState> defaultButton;
    std::weak_ptr<ControlState> cancelButton;
    std::weak_ptr<ControlState> focusByCode;  // SetFocus before the first show
    HWND lastFocus = nullptr;                 // the control that had the focus when the form was deactivated
    bool centred = false;
    int clientWidth = 0, clientHeight = 0;  // pixels
    double fontPoints = 9;
    std::optional<Rgb> background;
    HFONT font = nullptr;                              // the form's own, owned
    HBRUSH backBrush = nullptr;                        // owned
    std::vector<std::pair<COLORREF, HBRUSH>> brushes;  // control backgrounds, owned
    int nextId = 100;

    bool RequestClose(CloseOrigin origin);
    void TearDown();
    void PrepareFocus();
    void PlaceWindow();
    // Stacks the controls as the operator sees them: the tab order on top,
    // then the other controls, then the labels, then the frames beneath all.
    void Restack();
    // Gives the default border to the focused push button, or else to the
    // form's default button.
    void FollowFocus();
    HWND RequireWindow(const char* what) const;
    ControlState* ControlById(int id) const;
    HBRUSH BrushFor(COLORREF color);
};

// The form of a control window or of a form window; null for any other window.
FormState* FormOfWindow(HWND hwnd);

// The thread's loaded forms, for the driver and the message-box owner.
std::vector<FormState*> OpenForms();  // visible ones, most recently shown first

}  // namespace dg::ui::detail
