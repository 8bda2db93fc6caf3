// The keyboard handling of our forms inside any message loop, the host's or
// our own modal one: a per-thread WH_GETMESSAGE hook, installed while any of
// the thread's forms is open, gives each key to PreTranslate.
#include <algorithm>

#include "ui/win32/internal.h"

#include <commctrl.h>

namespace dg::ui::win32 {

namespace {

thread_local HHOOK t_hook = nullptr;
thread_local int t_openForms = 0;

// Presses a button as the keyboard does: its click, without moving the focus.
void Press(HWND form, const detail::ControlState* control) {
    HWND button = control ? control->hwnd : nullptr;
    if (!button || !IsWindowEnabled(button) || !IsWindowVisible(button)) return;
    SendMessageW(form, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// The menu loop (a window menu opened by Alt+Space, a menu bar, a context
// menu) and the keyboard move and size loop read the thread's input through
// the normal message functions: their keys are theirs, not the form's.
bool SystemLoopRuns() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetCurrentThreadId(), &info)) return false;
    return (info.flags & (GUI_INMENUMODE | GUI_SYSTEMMENUMODE | GUI_POPUPMENUMODE | GUI_INMOVESIZE)) != 0;
}

// Tab and Shift+Tab walk the form's tab order, which is not its stacking
// order: labels lie beneath every other control whatever their tab position.
void MoveInTabOrder(detail::FormState* form, HWND focus, bool back) {
    std::vector<HWND> ring;
    for (const detail::ControlState* control : form->FocusRing()) ring.push_back(control->hwnd);
    const auto takes = [](HWND hwnd) {
        return IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_TABSTOP);
    };
    const auto n = static_cast<std::ptrdiff_t>(ring.size());
    if (n == 0) return;
    std::ptrdiff_t at = -1;
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        if (focus && (ring[static_cast<std::size_t>(i)] == focus || IsChild(ring[static_cast<std::size_t>(i)], focus)))
            at = i;
    }
    for (std::ptrdiff_t step = 1; step <= n; ++step) {
        const std::ptrdiff_t i = at < 0 ? (back ? n - step : step - 1) : ((at + (back ? -step : step)) % n + n) % n;
        HWND next = ring[static_cast<std::size_t>(i)];
        if (!takes(next)) continue;
        SetFocus(next);
        // A box reached by Tab has its whole text selected, as in a system dialog.
        if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(next, EM_SETSEL, 0, -1);
        return;
    }
}

// Up and Down step a focused spinner within its limits, as its arrows do.
void StepSpinner(detail::FormState* form, detail::ControlState* spinner, int delta) {
    if (!IsWindowEnabled(spinner->hwnd)) return;
    const int value = std::clamp(spinner->value + delta, spinner->lower, spinner->upper);
    if (value == spinner->value) return;
    SendMessageW(spinner->hwnd, UDM_SETPOS32, 0, static_cast<LPARAM>(value));
    // The form reads the new position and notifies, as for a click on an arrow.
    SendMessageW(form->hwnd, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(value)),
                 reinterpret_cast<LPARAM>(spinner->hwnd));
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (PreTranslate(*msg)) {
            msg->message = WM_NULL;
            msg->wParam = 0;
            msg->lParam = 0;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool PreTranslate(MSG& msg) noexcept {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
    detail::FormState* form = detail::FormOfWindow(msg.hwnd);
    if (!form || !form->hwnd || !IsWindowEnabled(form->hwnd)) return false;
    if (SystemLoopRuns()) return false;  // Enter, Esc and Tab do there what the system does with them
    HWND focus = GetFocus();
    wchar_t cls[32] = {};
    const bool listOpen = focus && GetClassNameW(focus, cls, 32) && std::wstring_view(cls) == L"ComboBox" &&
                          SendMessageW(focus, CB_GETDROPPEDSTATE, 0, 0);
    if (msg.message == WM_KEYDOWN && !listOpen && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
        RunHandler([&] {
            if (msg.wParam == VK_ESCAPE)
                Press(form->hwnd, form->ButtonForEscape());
            else  // a focused button answers Enter itself, as Space does
                Press(form->hwnd, form->ButtonForEnter(form->ControlByWindow(focus)));
        });
        return true;
    }
    if ((msg.message == WM_CHAR) && (msg.wParam == L'\r' || msg.wParam == 0x1b) && !listOpen) return true;
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && !listOpen) {
        RunHandler([&] { MoveInTabOrder(form, focus, GetKeyState(VK_SHIFT) < 0); });
        return true;
    }
    if (msg.message == WM_CHAR && msg.wParam == L'\t') return true;
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_UP || msg.wParam == VK_DOWN)) {
        detail::ControlState* control = form->ControlByWindow(focus);
        if (control && control->kind == detail::ControlState::Kind::UpDown) {
            RunHandler([&] { StepSpinner(form, control, msg.wParam == VK_UP ? 1 : -1); });
            return true;
        }
    }
    return IsDialogMessageW(form->hwnd, &msg) != FALSE;
}

void FormOpened() {
    if (t_openForms++ == 0 && !t_hook)
        t_hook = SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHook, nullptr, GetCurrentThreadId());
}

void FormClosed() {
    if (t_openForms > 0 && --t_openForms == 0 && t_hook) {
        UnhookWindowsHookEx(t_hook);
        t_hook = nullptr;
    }
}

}  // namespace dg::ui::win32
