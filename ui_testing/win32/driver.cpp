// Test driver for dialogs on Win32: queued input posted to the control
// windows as the system would deliver it (WM_CHAR, WM_KEYDOWN, mouse clicks),
// so that it goes through the same message loops, hooks and notifications as
// an operator's; queued message-box answers and a record of every message box.
// Input is posted rather than sent with SendInput, which needs the
// foreground window.
#include "ui_testing/driver.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>

#include "ui/app.h"
#include "ui_testing/driver_shared.h"
#include "ui/win32/internal.h"
#include "ui_testing/win32/png.h"

#include <commctrl.h>

namespace dg::ui::testing {
namespace {

using detail::ControlState;
using Kind = ControlState::Kind;

using shared::Fail;
using shared::Outcome;
using shared::Queue;

UINT_PTR g_timer = 0;  // runs the next action

// --- finding things ------------------------------------------------------------

std::shared_ptr<ControlState> FindControl(const std::string& name) {
    for (detail::FormState* form : detail::OpenForms()) {
        for (const auto& control : form->controls) {
            if (control->name == name && control->hwnd) return control;
        }
    }
    return nullptr;
}

detail::FormState* FindForm(const std::string& formName) {
    for (detail::FormState* form : detail::OpenForms()) {
        if (form->owner->ObjectName() == formName) return form;
    }
    return nullptr;
}

BOOL CALLBACK FindMessageBoxOne(HWND hwnd, LPARAM lParam) {
    wchar_t cls[16] = {};
    if (IsWindowVisible(hwnd) && GetClassNameW(hwnd, cls, 16) && std::wstring_view(cls) == L"#32770") {
        *reinterpret_cast<HWND*>(lParam) = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND OpenMessageBox() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindMessageBoxOne, reinterpret_cast<LPARAM>(&found));
    return found;
}

// --- text as an input method commits it ----------------------------------------------

constexpr UINT kMsgCommit = WM_APP + 10;  // wParam: the box; lParam: a new std::wstring

LRESULT CALLBACK CommitWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kMsgCommit) return DefWindowProcW(hwnd, message, wParam, lParam);
    std::unique_ptr<std::wstring> text(reinterpret_cast<std::wstring*>(lParam));
    HWND box = reinterpret_cast<HWND>(wParam);
    if (IsWindow(box)) SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text->c_str()));
    return 0;
}

// Posts a composed run (Chinese) so that it lands in turn with the posted
// keys before and after it, as one change, the way an input method commits it.
void PostCommit(HWND box, std::wstring text) {
    static HWND window = [] {
        WNDCLASSW cls{};
        cls.lpfnWndProc = &CommitWindowProc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"DutygateTestInput";
        RegisterClassW(&cls);
        return CreateWindowW(cls.lpszClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, cls.hInstance, nullptr);
    }();
    auto* owned = new std::wstring(std::move(text));
    if (!PostMessageW(window, kMsgCommit, reinterpret_cast<WPARAM>(box), reinterpret_cast<LPARAM>(owned))) delete owned;
}

// --- the queue's timer ----------------------------------------------------------

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_timer == id) g_timer = 0;
    shared::RunNext();
}

const bool g_hooksInstalled = [] {
    detail::SetMessageHooks(detail::MessageHooks{&shared::TakeQueuedAnswer, &shared::RecordMessage, &shared::Kick});
    return true;
}();

}  // namespace

namespace toolkit {

void SetUp() {
    (void)g_hooksInstalled;
    EnsureGui();
}

Open WhatIsOpen() {
    if (OpenMessageBox()) return Open::Message;
    return detail::OpenForms().empty() ? Open::Nothing : Open::Form;
}

bool ActivateTopForm(bool now) {
    HWND top = detail::OpenForms().front()->hwnd;
    if (GetActiveWindow() == top || !IsWindowEnabled(top)) return true;
    SetForegroundWindow(top);
    SetActiveWindow(top);
    return GetActiveWindow() == top || now;
}

void Schedule(int ms) {
    CancelSchedule();
    g_timer = SetTimer(nullptr, 0, static_cast<UINT>(ms), &OnTimer);
}
bool Scheduled() { return g_timer != 0; }
void CancelSchedule() {
    if (g_timer) KillTimer(nullptr, g_timer);
    g_timer = 0;
}

}  // namespace toolkit

namespace {

// Runs `act` on the named control of `kind`, retrying while it is not there.
void QueueOn(const std::string& what, const std::string& control, std::optional<Kind> kind,
             std::function<Outcome(ControlState&)> act) {
    Queue(what, [what, control, kind, act]() -> Outcome {
        auto state = FindControl(control);
        if (!state) return Outcome::Retry;
        if (kind && state->kind != *kind) {
            Fail(what + ": '" + control + "' is another kind of control");
            return Outcome::Done;
        }
        return act(*state);
    });
}

void PostClick(HWND hwnd, int x, int y) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

void PostClickCentre(HWND hwnd) {
    RECT rect;
    GetClientRect(hwnd, &rect);
    PostClick(hwnd, rect.right / 2, rect.bottom / 2);
}

// The key reaches the control with the focus: it moves there first, as the
// operator's click into it would.
void FocusFor(ControlState& control) {
    if (GetFocus() != control.hwnd && IsWindowEnabled(control.hwnd) && control.kind != Kind::Label &&
        control.kind != Kind::Frame)
        SetFocus(control.hwnd);
}

UINT VirtualKey(Key key) {
    switch (key) {
        case Key::Enter: return VK_RETURN;
        case Key::Escape: return VK_ESCAPE;
        case Key::Tab: return VK_TAB;
        case Key::Space: return VK_SPACE;
        case Key::Home: return VK_HOME;
        case Key::End: return VK_END;
        case Key::Up: return VK_UP;
        case Key::Down: return VK_DOWN;
        case Key::Backspace: return VK_BACK;
    }
    return 0;
}

std::string TextOfControl(const ControlState& control) {
    switch (control.kind) {
        case Kind::UpDown: return std::to_string(control.value);
        case Kind::ComboBox: {
            const int index = static_cast<int>(SendMessageW(control.hwnd, CB_GETCURSEL, 0, 0));
            return index < 0 ? control.comboText : win32::ComboItemText(control.hwnd, index);
        }
        default: return win32::WindowText(control.hwnd);
    }
}

}  // namespace

void Type(const std::string& control, const std::string& text) {
    // Typed at the box's cursor; the focus stays where it is.
    QueueOn("Type into " + control, control, Kind::TextBox, [text](ControlState& box) {
        // ASCII as key strokes, everything else as an input-method commit.
        const std::wstring wide = win32::Wide(text);
        std::size_t i = 0;
        while (i < wide.size()) {
            const bool ascii = wide[i] < 0x80;
            std::size_t j = i;
            while (j < wide.size() && (wide[j] < 0x80) == ascii) ++j;
            if (ascii) {
                for (std::size_t k = i; k < j; ++k) PostMessageW(box.hwnd, WM_CHAR, wide[k], 1);
            } else {
                PostCommit(box.hwnd, wide.substr(i, j - i));
            }
            i = j;
        }
        return Outcome::Done;
    });
}

void ClearText(const std::string& control) {
    QueueOn("ClearText " + control, control, Kind::TextBox, [](ControlState& box) {
        SendMessageW(box.hwnd, EM_SETSEL, 0, -1);  // Home, Shift+End
        PostMessageW(box.hwnd, WM_CHAR, VK_BACK, 1);
        return Outcome::Done;
    });
}

void Click(const std::string& control) {
    QueueOn("Click " + control, control, Kind::Button, [](ControlState& button) {
        if (IsWindowEnabled(button.hwnd)) PostClickCentre(button.hwnd);  // a disabled button takes no click
        return Outcome::Done;
    });
}

void PressKey(const std::string& control, Key key) {
    QueueOn("PressKey on " + control, control, std::nullopt, [key](ControlState& target) {
        FocusFor(target);
        const UINT vk = VirtualKey(key);
        PostMessageW(GetFocus() ? GetFocus() : target.hwnd, WM_KEYDOWN, vk, 1);
        PostMessageW(GetFocus() ? GetFocus() : target.hwnd, WM_KEYUP, vk, 0xC0000001);
        return Outcome::Done;
    });
}

void Choose(const std::string& control, const std::string& item) {
    const std::string what = "Choose '" + item + "' in " + control;
    QueueOn(what, control, Kind::ComboBox, [what, item](ControlState& combo) {
        if (!IsWindowEnabled(combo.hwnd)) {
            Fail(what + ": the combo box is disabled");
            return Outcome::Done;
        }
        const int count = static_cast<int>(SendMessageW(combo.hwnd, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            if (win32::ComboItemText(combo.hwnd, i) != item) continue;
            // Into the box, the list open, the item taken: what the list
            // reports to the form when the operator picks an entry.
            SetFocus(combo.hwnd);
            SendMessageW(combo.hwnd, CB_SHOWDROPDOWN, TRUE, 0);
            SendMessageW(combo.hwnd, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            SendMessageW(combo.hwnd, CB_SHOWDROPDOWN, FALSE, 0);
            HWND form = GetParent(combo.hwnd);
            SendMessageW(form, WM_COMMAND, MAKEWPARAM(combo.id, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo.hwnd));
            SendMessageW(form, WM_COMMAND, MAKEWPARAM(combo.id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo.hwnd));
            return Outcome::Done;
        }
        Fail(what + ": no such item");
        return Outcome::Done;
    });
}

void Focus(const std::string& control) {
    QueueOn("Focus " + control, control, std::nullopt, [](ControlState& target) {
        SetFocus(target.hwnd);
        return Outcome::Done;
    });
}

namespace toolkit {

void QueueSpin(const std::string& control, bool up) {
    QueueOn(std::string(up ? "SpinUp " : "SpinDown ") + control, control, Kind::UpDown, [up](ControlState& spinner) {
        if (!IsWindowEnabled(spinner.hwnd)) return Outcome::Done;
        RECT rect;
        GetClientRect(spinner.hwnd, &rect);
        PostClick(spinner.hwnd, rect.right / 2, up ? rect.bottom / 4 : rect.bottom * 3 / 4);
        return Outcome::Done;
    });
}

Outcome CloseTopFormFromFrame() {
    const auto forms = detail::OpenForms();
    if (forms.empty()) return Outcome::Retry;
    // What the frame's close button sends.
    PostMessageW(forms.front()->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    return Outcome::Done;
}

Outcome EndSessionOfTopForm() {
    const auto forms = detail::OpenForms();
    if (forms.empty()) return Outcome::Retry;
    HWND hwnd = forms.front()->hwnd;
    // What the system sends every top-level window at log-off.
    if (SendMessageW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF))
        SendMessageW(hwnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    return Outcome::Done;
}

}  // namespace toolkit

void ClickMessageBox(Answer button) {
    Queue("ClickMessageBox", [button] {
        HWND box = OpenMessageBox();
        if (!box) return Outcome::Retry;
        const int id = button == Answer::Yes ? IDYES : button == Answer::No ? IDNO : IDOK;
        HWND target = GetDlgItem(box, id);
        if (!target) {
            Fail("ClickMessageBox: the message box has no such button");
            return Outcome::Done;
        }
        PostMessageW(target, BM_CLICK, 0, 0);
        return Outcome::Done;
    });
}

void OpenSystemMenu() {
    Queue("OpenSystemMenu", [] {
        const auto forms = detail::OpenForms();
        if (forms.empty()) return Outcome::Retry;
        // What DefWindowProc makes of Alt+Space: the window menu, opened from the keyboard.
        PostMessageW(forms.front()->hwnd, WM_SYSCOMMAND, SC_KEYMENU, L' ');
        return Outcome::Done;
    });
}

namespace {
struct WindowCount {
    std::wstring name;
    int count = 0;
};
BOOL CALLBACK CountFormWindow(HWND hwnd, LPARAM lParam) {
    auto* what = reinterpret_cast<WindowCount*>(lParam);
    wchar_t cls[32] = {}, name[256] = {};
    const auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(hwnd, win32::kControlNameProperty)));
    if (GetClassNameW(hwnd, cls, 32) && std::wstring_view(cls) == win32::kFormClassName && atom &&
        GlobalGetAtomNameW(atom, name, 256) && what->name == name)
        ++what->count;
    return TRUE;
}
}  // namespace

int WindowsOf(const std::string& formName) {
    WindowCount what{win32::Wide(formName)};
    EnumThreadWindows(GetCurrentThreadId(), &CountFormWindow, reinterpret_cast<LPARAM>(&what));
    return what.count;
}

std::optional<std::string> CaptionOf(const std::string& formName) {
    detail::FormState* form = FindForm(formName);
    if (!form) return std::nullopt;
    wchar_t text[256] = {};
    GetWindowTextW(form->hwnd, text, 256);
    return win32::Utf8(text);
}

std::optional<std::string> TextOf(const std::string& control) {
    auto state = FindControl(control);
    if (!state) return std::nullopt;
    return TextOfControl(*state);
}

bool EnabledOf(const std::string& control) {
    auto state = FindControl(control);
    return state && IsWindowEnabled(state->hwnd);
}

bool LockedOf(const std::string& control) {
    auto state = FindControl(control);
    return state && state->kind == Kind::TextBox && (GetWindowLongPtrW(state->hwnd, GWL_STYLE) & ES_READONLY);
}

std::optional<std::string> ToolTipOf(const std::string& control) {
    auto state = FindControl(control);
    if (!state || !state->form || !state->form->toolTips) return std::nullopt;
    // What the form's tooltip window holds for the control itself.
    wchar_t text[512] = {};
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = state->form->hwnd;
    tool.uId = state->kind == Kind::Frame ? static_cast<UINT_PTR>(state->id) : reinterpret_cast<UINT_PTR>(state->hwnd);
    tool.lpszText = text;
    RECT rect;
    GetWindowRect(state->hwnd, &rect);
    const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    if (state->kind != Kind::Frame &&
        SendMessageW(state->hwnd, WM_NCHITTEST, 0, MAKELPARAM(centre.x, centre.y)) == HTTRANSPARENT) {
        // The pointer passes through the control to the form: the hint is
        // the one the tooltip window finds there (a frame's, for a label in it).
        TTHITTESTINFOW hit{};
        hit.hwnd = state->form->hwnd;
        hit.pt = centre;
        ScreenToClient(state->form->hwnd, &hit.pt);
        hit.ti.cbSize = TTTOOLINFOW_V2_SIZE;
        hit.ti.lpszText = text;
        if (!SendMessageW(state->form->toolTips, TTM_HITTESTW, 0, reinterpret_cast<LPARAM>(&hit))) return std::string();
        tool = hit.ti;
        tool.lpszText = text;
    }
    SendMessageW(state->form->toolTips, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
    return win32::Utf8(text);
}

std::string FocusedControl() {
    HWND focus = GetFocus();
    if (!focus) return {};
    for (detail::FormState* form : detail::OpenForms()) {
        for (const auto& control : form->controls) {
            if (control->hwnd == focus || (control->hwnd && IsChild(control->hwnd, focus))) return control->name;
        }
    }
    return {};
}

namespace {
// What shows of a control, on its form's client area.
RECT VisibleRect(const ControlState* state) {
    RECT rect;
    GetWindowRect(state->hwnd, &rect);
    MapWindowPoints(HWND_DESKTOP, state->form->hwnd, reinterpret_cast<POINT*>(&rect), 2);
    if (state->kind == Kind::ComboBox) {
        // The window includes the list that drops down: what shows is the box.
        RECT box;
        SendMessageW(state->hwnd, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&box));
        rect.bottom = rect.top +
                      static_cast<LONG>(SendMessageW(state->hwnd, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0)) + 6;
    }
    return rect;
}

// The colours of a bitmap's pixels, the most used first.
std::vector<Rgb> CountColours(HDC dc, HBITMAP bitmap, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    return shared::ColoursByUse(pixels);
}
}  // namespace

std::optional<PixelRect> GeometryOf(const std::string& controlOrForm) {
    if (detail::FormState* form = FindForm(controlOrForm)) {
        RECT rect;
        GetClientRect(form->hwnd, &rect);
        return PixelRect{0, 0, rect.right, rect.bottom};
    }
    auto state = FindControl(controlOrForm);
    if (!state || !state->form) return std::nullopt;
    const RECT rect = VisibleRect(state.get());
    return PixelRect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

std::string ControlAt(const std::string& formName, int x, int y) {
    detail::FormState* form = FindForm(formName);
    if (!form) return {};
    // The form's children from the top of the stacking order down.
    for (HWND child = GetWindow(form->hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        for (const auto& control : form->controls) {
            if (control->hwnd != child) continue;
            const RECT rect = VisibleRect(control.get());
            if (x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom) return control->name;
        }
    }
    return {};
}

std::string DefaultBorderOf(const std::string& formName) {
    detail::FormState* form = FindForm(formName);
    if (!form) return {};
    for (const auto& control : form->controls) {
        if (control->kind == Kind::Button && (SendMessageW(control->hwnd, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
            return control->name;
    }
    return {};
}

std::vector<Rgb> ColoursOf(const std::string& control) {
    auto state = FindControl(control);
    if (!state) return {};
    RECT rect;
    GetWindowRect(state->hwnd, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return {};
    // The control paints itself into a bitmap, with the colours its form
    // hands it: no sibling laid over it shows.
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageW(state->hwnd, WM_PRINT, reinterpret_cast<WPARAM>(memory),
                 PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHECKVISIBLE);
    SelectObject(memory, old);
    std::vector<Rgb> colours = CountColours(memory, bitmap, width, height);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return colours;
}

bool SaveScreenshot(const std::string& formName, const std::string& pngPath) {
    detail::FormState* form = FindForm(formName);
    if (!form) return false;
    HWND hwnd = form->hwnd;
    // Painted now, without pumping: queued actions must not run meanwhile.
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    RECT rect;
    GetWindowRect(hwnd, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC source = GetWindowDC(hwnd);
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(hwnd, source);

    const bool saved = win32::WritePng(bitmap, width, height, pngPath);
    DeleteObject(bitmap);
    return saved;
}

}  // namespace dg::ui::testing
