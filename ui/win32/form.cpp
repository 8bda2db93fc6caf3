// Forms on Win32: the dialog object, its top-level window (one per load), the
// window procedure that turns control notifications into the form's events,
// closing, and the modal loop.
#include "ui/form.h"

#include <algorithm>
#include <exception>
#include <string>

#include "base/system_message.h"
#include "ui/app.h"
#include "ui/win32/internal.h"

#include <commctrl.h>

namespace dg::ui {
namespace detail {
namespace {

using Kind = ControlState::Kind;

}  // namespace

// Loaded forms of this thread: a form belongs to the thread that made it.
std::vector<FormState*>& LoadedForms() {
    thread_local std::vector<FormState*> forms;
    return forms;
}

FormState::FormState(Form* owner) : FormCore(owner), thread(GetCurrentThreadId()) {}

void FormState::RequireThread(const char* what) const { win32::RequireThread(thread, what); }

HWND FormState::RequireWindow(const char* what) const {
    RequireLoaded(*this, what);
    return hwnd;
}

ControlState* FormState::ControlById(int id) const {
    for (const auto& control : controls) {
        if (control->id == id) return control.get();
    }
    return nullptr;
}

ControlState* FormState::ControlByWindow(HWND window) const {
    for (const auto& control : controls) {
        if (control->hwnd == window) return control.get();
    }
    return nullptr;
}

HBRUSH FormState::BrushFor(COLORREF color) {
    for (const auto& [c, brush] : brushes) {
        if (c == color) return brush.Get();
    }
    brushes.emplace_back(color, win32::Brush(CreateSolidBrush(color)));
    return brushes.back().second.Get();
}

void FormState::TearDown() {
    if (!loaded) return;
    HWND window = hwnd;
    hwnd = nullptr;
    // The controls' fonts go once their windows have gone, at the end.
    std::vector<win32::Font> fonts;
    for (const auto& control : LetControlsGo()) {
        if (control->hwnd)
            GlobalDeleteAtom(
                static_cast<ATOM>(reinterpret_cast<UINT_PTR>(RemovePropW(control->hwnd, win32::kControlNameProperty))));
        control->hwnd = nullptr;
        fonts.push_back(std::move(control->font));
    }
    // Windows that a modal showing disabled come back before this one goes,
    // so that the activation falls to them and not to another program.
    for (HWND other : disabledByModal) {
        if (IsWindow(other)) EnableWindow(other, TRUE);
    }
    disabledByModal.clear();
    // A modal form gives the activation back to the window that had it, as a
    // system dialog does, rather than to whichever window comes next.
    if (window && activeBefore && activeBefore != window && IsWindow(activeBefore) && IsWindowVisible(activeBefore) &&
        IsWindowEnabled(activeBefore) && GetActiveWindow() == window)
        SetActiveWindow(activeBefore);
    activeBefore = nullptr;
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        ShowWindow(window, SW_HIDE);
        if (toolTips) DestroyWindow(toolTips);
        // Inside one of its own window procedures the window must outlive the
        // dispatch: it goes through the message loop (or when ShowModal returns).
        if (busy > 0 || GetCurrentThreadId() != thread)
            PostMessageW(window, win32::kMsgDestroy, 0, 0);
        else
            DestroyWindow(window);
        win32::FormClosed();
    }
    toolTips = nullptr;
    fonts.clear();
    font.Reset();
    backBrush.Reset();
    brushes.clear();
}

void FormState::PrepareFocus() {
    if (!hwnd) return;
    auto take = [](ControlState* control) {
        if (!control || !control->hwnd || !control->TakesFocus()) return false;
        if (!IsWindowEnabled(control->hwnd)) return false;
        SetFocus(control->hwnd);
        // A form opens with the text of its first box selected, as Tab selects it.
        if (control->kind == Kind::TextBox) SendMessageW(control->hwnd, EM_SETSEL, 0, -1);
        return true;
    };
    if (take(focusByCode.lock().get())) return;
    for (ControlState* control : FocusRing()) {
        if (take(control)) return;
    }
}

void FormState::PlaceWindow() {
    if (!hwnd) return;
    RECT frame{};
    GetWindowRect(hwnd, &frame);
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    if (centred) {
        SetWindowPos(hwnd, nullptr, area.left + (area.right - area.left - width) / 2,
                     area.top + (area.bottom - area.top - height) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void FormState::Restack() {
    // Each window goes right below the one placed before it.
    HWND above = HWND_TOP;
    std::vector<HWND> placed;
    auto place = [&](const ControlState* control) {
        if (!control || !control->hwnd || control->form != this) return;
        if (std::find(placed.begin(), placed.end(), control->hwnd) != placed.end()) return;
        SetWindowPos(control->hwnd, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        placed.push_back(control->hwnd);
        above = control->hwnd;
    };
    for (ControlState* control : FocusRing()) place(control);
    // Labels lie beneath every other control, as windowless labels do, yet
    // above the frames whose area they share.
    for (const auto& control : controls) {
        if (control->kind == Kind::Label) place(control.get());
    }
    for (const auto& control : controls) {
        if (control->kind == Kind::Frame) place(control.get());
    }
}

void FormState::FollowFocus() {
    if (!hwnd) return;
    const ControlState* button = ButtonForEnter(ControlByWindow(GetFocus()));
    HWND carrier = button ? button->hwnd : nullptr;
    for (const auto& control : controls) {
        if (control->kind != Kind::Button || !control->hwnd) continue;
        const bool carries = (GetWindowLongPtrW(control->hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        if (carries != (control->hwnd == carrier))
            SendMessageW(control->hwnd, BM_SETSTYLE, control->hwnd == carrier ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
}

}  // namespace detail

namespace win32 {
namespace {

// A window let go while its procedures ran goes now, outside them.
void DestroyIfLetGo(HWND hwnd) {
    if (IsWindow(hwnd) && !GetWindowLongPtrW(hwnd, GWLP_USERDATA)) DestroyWindow(hwnd);
}

using detail::ControlState;
using detail::FormState;
using Kind = ControlState::Kind;

// Runs the handlers of one of a control's events, unless the form is gone or
// its controls are being torn down.
void Notify(ControlState* control, ui::Event<> ControlState::*event) {
    if (!control || !control->form || !control->hwnd || (control->*event).Count() == 0) return;
    // The handlers may unload the form and with it the control: hold it.
    for (const auto& owned : control->form->controls) {
        if (owned.get() == control) {
            const std::shared_ptr<ControlState> hold = owned;
            RunHandler([&hold, event] { ((*hold).*event).Raise(); });
            return;
        }
    }
}

// Colours of a control through WM_CTLCOLOR*: 0 leaves it to the system.
LRESULT ColourControl(FormState* form, HDC dc, HWND child, UINT message) {
    ControlState* control = form->ControlByWindow(child);
    if (!control) return 0;
    const Look& look = control->look;
    if (look.foreground && IsWindowEnabled(child))
        SetTextColor(dc, RGB(look.foreground->r, look.foreground->g, look.foreground->b));
    std::optional<Rgb> back = look.background;
    if (control->kind == Kind::Label || control->kind == Kind::Frame || control->kind == Kind::Button) {
        // They stand on the form: without a background of their own they show its.
        if (look.transparent || !back) back = form->background;
        if (look.transparent) SetBkMode(dc, TRANSPARENT);
    }
    if (control->kind == Kind::TextBox && message == WM_CTLCOLORSTATIC && IsWindowEnabled(child)) {
        // A locked box reads like any other: white, with black text. Only a
        // disabled one shows the system's grey.
        if (!look.foreground) SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        if (!back) {
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
    }
    if (!back) return 0;  // a box keeps the system's colours; a disabled one reads as such
    const COLORREF colour = RGB(back->r, back->g, back->b);
    SetBkColor(dc, colour);
    return reinterpret_cast<LRESULT>(form->BrushFor(colour));
}

// A control's notification through WM_COMMAND.
LRESULT OnCommand(FormState* form, HWND hwnd, WPARAM wParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    ControlState* control = form->ControlById(id);
    if (!control) return 0;  // IDOK/IDCANCEL from the dialog manager: Enter and Esc are ours
    if (control->kind == Kind::Button && code == BN_CLICKED) {
        Notify(control, &ControlState::click);
    } else if (control->kind == Kind::TextBox && code == EN_CHANGE) {
        if (!control->settingText) Notify(control, &ControlState::change);
    } else if (control->kind == Kind::TextBox && code == EN_KILLFOCUS) {
        // The focus has already moved on: only a move to another
        // control of this form counts, not to another window.
        HWND now = GetFocus();
        if (now && now != control->hwnd && GetAncestor(now, GA_ROOT) == hwnd && !form->closing)
            Notify(control, &ControlState::lostFocus);
    } else if (control->kind == Kind::ComboBox && code == CBN_SELENDOK) {
        control->comboText.clear();
        Notify(control, &ControlState::click);
    }
    return 0;
}

// A spinner's step (WM_VSCROLL or WM_HSCROLL from the up-down control).
LRESULT OnScroll(FormState* form, LPARAM lParam) {
    ControlState* control = form->ControlByWindow(reinterpret_cast<HWND>(lParam));
    if (!control || control->kind != Kind::UpDown) return 0;
    // Unbuddied, the control reports an "error" with every position: the value is its own.
    const int value = static_cast<int>(SendMessageW(control->hwnd, UDM_GETPOS32, 0, 0));
    if (value != control->value) {
        control->value = value;
        Notify(control, &ControlState::change);
    }
    return 0;
}

LRESULT OnEraseBackground(FormState* form, HWND hwnd, HDC dc) {
    RECT rect;
    GetClientRect(hwnd, &rect);
    FillRect(dc, &rect, form->backBrush.Get() ? form->backBrush.Get() : GetSysColorBrush(COLOR_BTNFACE));
    return 1;
}

// Activation and focus: the focus goes back to the control that had it,
// never to the form itself.
LRESULT OnActivate(FormState* form, HWND hwnd, UINT message, WPARAM wParam) {
    HWND focus = GetFocus();
    const bool focusInForm = focus && focus != hwnd && GetAncestor(focus, GA_ROOT) == hwnd;
    if (message == WM_ACTIVATE) {
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (focusInForm) form->lastFocus = focus;
            return 0;
        }
        // A late activation leaves a focus that is already on one of its controls.
        if (focusInForm) return 0;
    }
    if (form->lastFocus && IsWindow(form->lastFocus) && IsWindowEnabled(form->lastFocus) &&
        GetParent(form->lastFocus) == hwnd)
        SetFocus(form->lastFocus);
    else
        form->PrepareFocus();
    return 0;
}

LRESULT HandleFormMessage(FormState* form, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: return OnCommand(form, hwnd, wParam);
        case WM_VSCROLL:
        case WM_HSCROLL: return OnScroll(form, lParam);
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
            if (LRESULT brush = ColourControl(form, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                                              message))
                return brush;
            break;
        case WM_ERASEBKGND: return OnEraseBackground(form, hwnd, reinterpret_cast<HDC>(wParam));
        case WM_CLOSE:
            // The frame's close button, its menu, Alt+F4: the form decides.
            RunHandler([form] { form->RequestClose(CloseOrigin::Frame); });
            return 0;
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            if (wParam) RunHandler([form] { form->RequestClose(CloseOrigin::System); });
            return 0;
        case WM_ACTIVATE:
        case WM_SETFOCUS: return OnActivate(form, hwnd, message, wParam);
        case WM_NOTIFY: return 0;  // the spinners' UDN_DELTAPOS: every step is allowed
        default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK FormWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (message == WM_NCDESTROY) {
        if (HANDLE atom = RemovePropW(hwnd, kControlNameProperty))
            GlobalDeleteAtom(static_cast<ATOM>(reinterpret_cast<UINT_PTR>(atom)));
    }
    auto* form = reinterpret_cast<FormState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form) {
        // A window whose form has let it go: it only waits to be destroyed.
        if (message == kMsgDestroy) {
            DestroyWindow(hwnd);
            return 0;
        }
        if (message == WM_CLOSE) return 0;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    detail::BusyScope busy(*form);
    try {
        return HandleFormMessage(form, hwnd, message, wParam, lParam);
    } catch (...) {
        return 0;  // never across the window procedure
    }
}

}  // namespace win32

void Form::Load() {
    state_->RequireThread("Load");
    EnsureGui();
    if (state_->loaded) return;
    const std::wstring title = win32::Wide(objectName_);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    HWND hwnd = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, win32::kFormClassName, title.c_str(), style,
                                CW_USEDEFAULT, CW_USEDEFAULT, 320, 240, nullptr, nullptr, win32::ModuleInstance(),
                                state_.get());
    if (!hwnd)
        throw UiError(kStatusFail,
                      FailureText("无法创建窗体" + Quoted(objectName_) + "的窗口", SystemMessage(GetLastError())));
    // The form's name on its window, as each control carries its own.
    SetPropW(hwnd, win32::kControlNameProperty,
             reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(GlobalAddAtomW(title.c_str()))));
    state_->hwnd = hwnd;
    state_->nextId = 100;
    state_->fontPoints = 9;
    state_->background.reset();
    state_->font = win32::MakeSongFont(9);
    state_->toolTips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr,
                                       win32::ModuleInstance(), nullptr);
    state_->BeginLoad();
    win32::FormOpened();

    {
        detail::BusyScope busy(*state_);  // no destruction from under Build/OnLoad
        try {
            Build();
            if (!busy.FormGone() && state_->loaded) OnLoad();
        } catch (...) {
            if (busy.FormGone()) throw;
            busy.End();
            if (state_->loaded && state_->hwnd == hwnd)
                state_->TearDown();  // not left half-built
            else
                win32::DestroyIfLetGo(hwnd);
            throw;
        }
        if (busy.FormGone()) return;
    }
    win32::DestroyIfLetGo(hwnd);
}

namespace {

struct DisableOthers {
    HWND keep;
    std::vector<HWND>* disabled;
};

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM lParam) {
    auto* what = reinterpret_cast<DisableOthers*>(lParam);
    if (hwnd != what->keep && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        what->disabled->push_back(hwnd);
    }
    return TRUE;
}

void ShowAndActivate(detail::FormState& state) {
    state.MarkShown();
    state.Restack();
    if (detail::InstalledMessageHooks().shown) detail::InstalledMessageHooks().shown();
    ShowWindow(state.hwnd, SW_SHOW);
    SetForegroundWindow(state.hwnd);
    SetActiveWindow(state.hwnd);
    state.lastFocus = nullptr;
    state.PrepareFocus();
    state.focusByCode.reset();
    state.FollowFocus();
}

}  // namespace

void Form::ShowModal() {
    Load();
    if (!state_->loaded) return;  // OnLoad unloaded it
    HWND hwnd = state_->hwnd;
    if (state_->modalWindow == hwnd) {
        SetForegroundWindow(hwnd);
        return;  // already shown modally: it stays the one window
    }
    if (IsWindowVisible(hwnd)) ShowWindow(hwnd, SW_HIDE);  // shown modeless: becomes modal
    HWND active = GetActiveWindow();
    state_->activeBefore = active != hwnd ? active : nullptr;
    // Modal: the thread's other windows take no input until this one closes.
    DisableOthers others{hwnd, &state_->disabledByModal};
    EnumThreadWindows(GetCurrentThreadId(), &DisableOne, reinterpret_cast<LPARAM>(&others));
    state_->PlaceWindow();
    ShowAndActivate(*state_);

    const std::weak_ptr<char> watch = state_->alive;
    HWND outerModal = state_->modalWindow;  // a window of this form already shown modally, further out
    state_->modalWindow = hwnd;
    bool quit = false;
    // Every message of the thread is dispatched, so the host's timers and
    // incoming automation calls keep running while the form is open.
    MSG msg;
    while (!watch.expired() && state_->loaded && state_->hwnd == hwnd) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // the host's loop must see it too
            quit = true;
            break;
        }
        if (got < 0) {
            quit = true;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (!watch.expired()) state_->modalWindow = outerModal;
    win32::DestroyIfLetGo(hwnd);
    if (quit && !watch.expired() && state_->loaded && state_->hwnd == hwnd) {
        // The application is quitting: the form closes as at its end.
        state_->RequestClose(CloseOrigin::System);
        if (!watch.expired() && state_->loaded) state_->TearDown();
    }
}

void Form::ShowModeless() {
    Load();
    if (!state_->loaded) return;
    if (!IsWindowVisible(state_->hwnd)) {
        state_->PlaceWindow();
        ShowAndActivate(*state_);
    } else {
        SetForegroundWindow(state_->hwnd);
    }
}

void Form::Unload() {
    if (!state_->loaded) return;
    state_->RequireThread("Unload");
    state_->RequestClose(CloseOrigin::Code);
}

void Form::SetCaption(std::string_view caption) {
    SetWindowTextW(state_->RequireWindow("SetCaption"), win32::Wide(caption).c_str());
}

void Form::SetClientSize(int widthTwips, int heightTwips) {
    HWND hwnd = state_->RequireWindow("SetClientSize");
    const int dpi = win32::ScreenDpi();
    state_->clientWidth = win32::TwipsToPixels(widthTwips, dpi);
    state_->clientHeight = win32::TwipsToPixels(heightTwips, dpi);
    RECT rect{0, 0, state_->clientWidth, state_->clientHeight};
    AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
    SetWindowPos(hwnd, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::SetFormLook(double fontPoints, std::optional<Rgb> background) {
    HWND hwnd = state_->RequireWindow("SetFormLook");
    state_->fontPoints = fontPoints;
    if (win32::Font font = win32::MakeSongFont(fontPoints); font.Get()) {
        // Controls that use the form's font follow it.
        for (const auto& control : state_->controls) {
            if (!control->font.Get() && control->hwnd)
                SendMessageW(control->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
        }
        state_->font = std::move(font);
    }
    if (background) {
        state_->background = background;
        state_->backBrush.Reset(CreateSolidBrush(RGB(background->r, background->g, background->b)));
        InvalidateRect(hwnd, nullptr, TRUE);
    }
}

}  // namespace dg::ui
