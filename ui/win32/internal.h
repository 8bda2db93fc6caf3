#pragma once
// Shared between the Win32 implementation files of ui/ and the test driver
// (ui_testing/win32/). Elsewhere in ui/ only ui/toolkit_state.h includes it.
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
#include "ui/form_core.h"
#include "ui/internals.h"
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

// Owns one GDI object (a font, a brush) and deletes it when it goes.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            Reset(other.handle_);
            other.handle_ = nullptr;
        }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle Get() const { return handle_; }
    void Reset(Handle handle = nullptr) {
        if (handle_) DeleteObject(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};
using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;

// 宋体 (GB2312 character set) at `points`, normal or bold, at the screen's DPI.
Font MakeSongFont(double points, bool bold = false);
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

}  // namespace dg::ui::win32

namespace dg::ui::detail {

struct ControlState : ControlCore {
    HWND hwnd = nullptr;  // null once the form has unloaded
    int id = 0;           // control id: above IDCANCEL
    Look look;
    Twips placed;  // on the form's client area
    std::string toolTip;
    int value = 0, lower = 0, upper = 0;  // UpDown
    bool settingText = false;             // TextBox: a change by code, notified once by SetText
    win32::Font font;                     // unset: the form's

    bool HasWindow() const { return hwnd != nullptr; }
};

struct FormState : FormCore {
    explicit FormState(Form* owner);
    ~FormState();

    const DWORD thread;  // the thread that made the form: the only one that may use it
    HWND hwnd = nullptr;
    HWND toolTips = nullptr;
    int busy = 0;                           // window procedure calls of this form on the stack
    HWND modalWindow = nullptr;             // the window whose ShowModal loop runs
    HWND activeBefore = nullptr;            // the thread's active window when a modal showing began
    std::vector<HWND> disabledByModal;      // re-enabled before the window goes
    HWND lastFocus = nullptr;               // the control that had the focus when the form was deactivated
    int clientWidth = 0, clientHeight = 0;  // pixels
    double fontPoints = 9;
    std::optional<Rgb> background;
    win32::Font font;                                        // the form's own
    win32::Brush backBrush;                                  // its background
    std::vector<std::pair<COLORREF, win32::Brush>> brushes;  // control backgrounds
    int nextId = 100;

    bool HasWindow() const { return hwnd != nullptr; }
    bool Visible() const { return hwnd && IsWindowVisible(hwnd); }
    void RequireThread(const char* what) const;
    void TearDown();
    void PrepareFocus();
    void PlaceWindow();
    // Stacks the controls as the operator sees them: the tab order on top,
    // then the other controls, then the labels, then the frames beneath all.
    void Restack();
    void ApplyTabOrder() { Restack(); }  // Tab walks FocusRing() (PreTranslate)
    // Gives the default border to ButtonForEnter(the focused control).
    void FollowFocus();
    HWND RequireWindow(const char* what) const;
    ControlState* ControlById(int id) const;
    ControlState* ControlByWindow(HWND window) const;
    HBRUSH BrushFor(COLORREF color);
};

// Counts a call of the form's code on the stack (a window procedure, Build and
// OnLoad): while any runs, TearDown leaves the window to the message loop
// rather than destroying it under the call. The form may be destroyed
// meanwhile; the count then goes with it.
class BusyScope {
public:
    explicit BusyScope(FormState& form) : form_(form), watch_(form.alive) { ++form.busy; }
    ~BusyScope() { End(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

    bool FormGone() const { return watch_.expired(); }
    // Ends the count early (before a TearDown that should destroy at once).
    void End() {
        if (!ended_ && !watch_.expired()) --form_.busy;
        ended_ = true;
    }

private:
    FormState& form_;
    std::weak_ptr<char> watch_;
    bool ended_ = false;
};

// The form of a control window or of a form window; null for any other window.
FormState* FormOfWindow(HWND hwnd);

}  // namespace dg::ui::detail
