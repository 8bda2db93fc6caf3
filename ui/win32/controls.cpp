// Control handles on Win32 windows: STATIC labels, BUTTON group boxes and
// push buttons, EDIT boxes, COMBOBOX drop-down lists and the common controls'
// up-down control. Every control is a child of the form window; controls
// "inside" a frame are its siblings, laid over it, since a group box passes
// on no notification.
#include "ui/controls.h"

#include <algorithm>
#include <string>

#include "base/system_message.h"
#include "ui/form.h"
#include "ui/updown_checks.h"
#include "ui/win32/internal.h"

#include <commctrl.h>

namespace dg::ui {

using detail::ControlState;
using Kind = ControlState::Kind;

namespace {

HWND Window(const std::shared_ptr<ControlState>& state, const char* what) {
    return detail::RequireControl(state, what).hwnd;
}

HWND As(const std::shared_ptr<ControlState>& state, Kind kind, const char* what) {
    return detail::RequireControl(state, kind, what).hwnd;
}

// Shows `text` in a combo box: the matching item (exact, case-sensitive), or
// nothing selected while Text() still reads the text.
void ShowComboText(ControlState& state, std::string_view text) {
    const int count = static_cast<int>(SendMessageW(state.hwnd, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (win32::ComboItemText(state.hwnd, i) == text) {
            state.comboText.clear();
            SendMessageW(state.hwnd, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            return;
        }
    }
    state.comboText = std::string(text);
    SendMessageW(state.hwnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

// A change made by code notifies as the operator's would; a handler's failure
// is shown, not thrown back into the code that made the change.
void RaiseChange(const std::shared_ptr<ControlState>& state) {
    const std::shared_ptr<ControlState> hold = state;
    if (hold->change.Count() > 0) win32::RunHandler([&hold] { hold->change.Raise(); });
}

// A frame draws its own etched border and caption, in the colours its form
// hands it through WM_CTLCOLORSTATIC. The group box of common controls 6 (a
// host with a visual-styles manifest) draws its caption in the theme's or
// the system's text colour whatever the form says, so the frame never
// leaves that to it: the same frame in every host, themed or not.
void PaintFrame(HWND hwnd, HDC dc) {
    RECT rect;
    GetClientRect(hwnd, &rect);
    SetTextColor(dc, GetSysColor(IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(GetParent(hwnd), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
    const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    FillRect(dc, &rect, brush);
    RECT edge = rect;
    edge.top += metrics.tmHeight / 2 - 1;
    DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
    const std::wstring caption = win32::WideWindowText(hwnd);
    if (!caption.empty()) {
        SIZE size{};
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
        RECT band{rect.left + 6, rect.top, std::min<LONG>(rect.left + 8 + size.cx, rect.right - 2), rect.top + size.cy};
        FillRect(dc, &band, brush);  // the border stops at the caption
        SetBkMode(dc, TRANSPARENT);
        RECT text{rect.left + 7, rect.top, band.right, band.bottom};
        DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, DT_SINGLELINE | DT_NOPREFIX | DT_LEFT);
    }
    SelectObject(dc, oldFont);
}

// Every control window tells its form when it takes the focus: the default
// border follows the focus, whichever way it moved (Tab, a click, code).
LRESULT CALLBACK ControlSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR frame) noexcept {
    if (frame) {
        switch (message) {
            case WM_PAINT: {
                PAINTSTRUCT paint;
                if (HDC dc = BeginPaint(hwnd, &paint)) PaintFrame(hwnd, dc);
                EndPaint(hwnd, &paint);
                return 0;
            }
            case WM_PRINTCLIENT: PaintFrame(hwnd, reinterpret_cast<HDC>(wParam)); return 0;
            case WM_ERASEBKGND: return 1;
            case WM_SETTEXT:
            case WM_ENABLE:
            case WM_UPDATEUISTATE: {
                // The group box repaints itself at once for these: ours comes after.
                const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
                InvalidateRect(hwnd, nullptr, TRUE);
                return result;
            }
            default: break;
        }
    }
    const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
    if (message == WM_SETFOCUS) {
        if (detail::FormState* form = detail::FormOfWindow(hwnd)) form->FollowFocus();
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, &ControlSubclass, id);
    }
    return result;
}

// Creates the window of a control, names it and places it by its twips.
std::shared_ptr<ControlState> CreateControl(detail::FormState& form, const Place& place, Kind kind, const Look& look,
                                            const wchar_t* cls, DWORD style, DWORD exStyle, std::string_view text,
                                            const char* what, int extraHeight = 0) {
    HWND parent = form.RequireWindow(what);
    Twips rect = place.rect;
    if (const ControlState* frame = detail::RequireParentFrame(form, place, what)) {
        // Relative to the frame's corner, but a sibling on the form.
        rect.left += frame->placed.left;
        rect.top += frame->placed.top;
    }
    const int dpi = win32::ScreenDpi();
    const int left = win32::TwipsToPixels(rect.left, dpi), top = win32::TwipsToPixels(rect.top, dpi);
    auto state = form.NewControl(place, kind);
    state->id = form.nextId++;
    state->look = look;
    state->placed = rect;
    const std::wstring wide = win32::Wide(text);
    HWND hwnd = CreateWindowExW(
        exStyle, cls, wide.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, left, top,
        win32::TwipsToPixels(rect.width, dpi), win32::TwipsToPixels(rect.height, dpi) + extraHeight, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(state->id)), win32::ModuleInstance(), nullptr);
    if (!hwnd)
        throw UiError(kStatusFail, FailureText("无法创建控件" + Quoted(state->name),
                                               SystemMessage(GetLastError()) + "；" + std::string(what)));
    state->hwnd = hwnd;
    SetWindowSubclass(hwnd, &ControlSubclass, 1, kind == Kind::Frame ? 1 : 0);
    SetPropW(hwnd, win32::kControlNameProperty,
             reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(GlobalAddAtomW(win32::Wide(state->name).c_str()))));
    if (look.fontPoints || look.bold)
        state->font = win32::MakeSongFont(look.fontPoints.value_or(form.fontPoints), look.bold);
    HFONT font = state->font.Get() ? state->font.Get() : form.font.Get();
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    form.controls.push_back(state);
    return state;
}

}  // namespace

// --- Form: creating controls (Build) ---------------------------------------

Label Form::AddLabel(const Place& place, std::string_view caption, const Look& look) {
    const DWORD align = look.align == Align::Center ? SS_CENTER : SS_LEFT;
    return Label(
        CreateControl(*state_, place, Kind::Label, look, L"STATIC", align | SS_NOPREFIX, 0, caption, "AddLabel"));
}

Frame Form::AddFrame(const Place& place, std::string_view caption, const Look& look) {
    auto state = CreateControl(*state_, place, Kind::Frame, look, L"BUTTON", BS_GROUPBOX, 0, caption, "AddFrame");
    // Beneath the controls laid over it.
    SetWindowPos(state->hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return Frame(state);
}

Button Form::AddButton(const Place& place, std::string_view caption, const Look& look) {
    return Button(CreateControl(*state_, place, Kind::Button, look, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, caption,
                                "AddButton"));
}

TextBox Form::AddTextBox(const Place& place, std::string_view text, const Look& look) {
    const DWORD align = look.align == Align::Center ? ES_CENTER : ES_LEFT;
    return TextBox(CreateControl(*state_, place, Kind::TextBox, look, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | align,
                                 WS_EX_CLIENTEDGE, text, "AddTextBox"));
}

ComboBox Form::AddComboBox(const Place& place, const std::vector<std::string>& items, const Look& look) {
    // The window's height includes the list that drops down.
    auto state = CreateControl(*state_, place, Kind::ComboBox, look, L"COMBOBOX",
                               CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, {}, "AddComboBox",
                               static_cast<int>(items.size() + 2) * 20);
    for (const std::string& item : items)
        SendMessageW(state->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::Wide(item).c_str()));
    ShowComboText(*state, {});
    return ComboBox(state);
}

UpDown Form::AddUpDown(const Place& place, int lower, int upper, const Look& look) {
    detail::RequireNewLimits(lower, upper, detail::ControlName(place));
    auto state = CreateControl(*state_, place, Kind::UpDown, look, UPDOWN_CLASSW, UDS_ARROWKEYS | WS_TABSTOP, 0, {},
                               "AddUpDown");
    state->lower = lower;
    state->upper = upper;
    state->value = lower;
    SendMessageW(state->hwnd, UDM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
    SendMessageW(state->hwnd, UDM_SETPOS32, 0, static_cast<LPARAM>(lower));
    return UpDown(state);
}

// --- Control ---------------------------------------------------------------

void Control::SetEnabled(bool enabled) { EnableWindow(Window(state_, "SetEnabled"), enabled ? TRUE : FALSE); }

bool Control::Enabled() const { return IsWindowEnabled(Window(state_, "Enabled")) != FALSE; }

void Control::SetToolTip(std::string_view text) {
    HWND hwnd = Window(state_, "SetToolTip");
    detail::FormState& form = *state_->form;
    state_->toolTip = std::string(text);
    if (!form.toolTips) return;
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    if (state_->kind == Kind::Frame) {
        // A group box answers hit tests as transparent: its hint is a tool
        // for its rectangle on the form, where no other control lies over it.
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = form.hwnd;
        tool.uId = static_cast<UINT_PTR>(state_->id);
        GetWindowRect(hwnd, &tool.rect);
        MapWindowPoints(HWND_DESKTOP, form.hwnd, reinterpret_cast<POINT*>(&tool.rect), 2);
    } else {
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = form.hwnd;
        tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
    }
    SendMessageW(form.toolTips, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (text.empty()) return;
    std::wstring wide = win32::Wide(text);
    tool.lpszText = wide.data();
    SendMessageW(form.toolTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

std::string Control::ToolTip() const {
    Window(state_, "ToolTip");
    return state_->toolTip;
}

void Control::SetFocus() {
    HWND hwnd = Window(state_, "SetFocus");
    // Before the first show this names the control that opens with the focus.
    if (state_->form && !IsWindowVisible(state_->form->hwnd)) state_->form->focusByCode = state_;
    ::SetFocus(hwnd);
}

bool Control::HasFocus() const { return GetFocus() == Window(state_, "HasFocus"); }

// --- Label, Frame, Button -------------------------------------------------

void Label::SetCaption(std::string_view caption) {
    SetWindowTextW(As(state_, Kind::Label, "Label::SetCaption"), win32::Wide(caption).c_str());
}
std::string Label::Caption() const { return win32::WindowText(As(state_, Kind::Label, "Label::Caption")); }

void Frame::SetCaption(std::string_view caption) {
    SetWindowTextW(As(state_, Kind::Frame, "Frame::SetCaption"), win32::Wide(caption).c_str());
}
std::string Frame::Caption() const { return win32::WindowText(As(state_, Kind::Frame, "Frame::Caption")); }

void Button::SetCaption(std::string_view caption) {
    SetWindowTextW(As(state_, Kind::Button, "Button::SetCaption"), win32::Wide(caption).c_str());
}
std::string Button::Caption() const { return win32::WindowText(As(state_, Kind::Button, "Button::Caption")); }

// --- TextBox ----------------------------------------------------------------

std::string TextBox::Text() const { return win32::WindowText(As(state_, Kind::TextBox, "TextBox::Text")); }

void TextBox::SetText(std::string_view text) {
    HWND hwnd = As(state_, Kind::TextBox, "TextBox::SetText");
    if (win32::WindowText(hwnd) == text) return;
    // One notification for the change, whether or not the control sends its own.
    state_->settingText = true;
    SetWindowTextW(hwnd, win32::Wide(text).c_str());
    state_->settingText = false;
    const int end = GetWindowTextLengthW(hwnd);
    SendMessageW(hwnd, EM_SETSEL, static_cast<WPARAM>(end), end);  // the cursor after the new text
    RaiseChange(state_);
}

void TextBox::SetLocked(bool locked) {
    SendMessageW(As(state_, Kind::TextBox, "TextBox::SetLocked"), EM_SETREADONLY, locked ? TRUE : FALSE, 0);
}

bool TextBox::Locked() const {
    return (GetWindowLongPtrW(As(state_, Kind::TextBox, "TextBox::Locked"), GWL_STYLE) & ES_READONLY) != 0;
}

void TextBox::SetPasswordMask(bool masked) {
    HWND hwnd = As(state_, Kind::TextBox, "TextBox::SetPasswordMask");
    SendMessageW(hwnd, EM_SETPASSWORDCHAR, masked ? L'*' : 0, 0);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void TextBox::SelectAll() {
    HWND hwnd = As(state_, Kind::TextBox, "TextBox::SelectAll");
    // {Home} then +{End}: the selection runs from the start to the end.
    SendMessageW(hwnd, EM_SETSEL, 0, -1);
}

std::string TextBox::SelectedText() const {
    HWND hwnd = As(state_, Kind::TextBox, "TextBox::SelectedText");
    DWORD start = 0, end = 0;
    SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const std::wstring text = win32::WideWindowText(hwnd);
    if (start > end || end > text.size()) return {};
    return win32::Utf8(std::wstring_view(text).substr(start, end - start));
}

// --- ComboBox ---------------------------------------------------------------

void ComboBox::SetItems(const std::vector<std::string>& items) {
    HWND combo = As(state_, Kind::ComboBox, "ComboBox::SetItems");
    const std::string shown = Text();
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win32::Wide(item).c_str()));
    ShowComboText(*state_, shown);
}

std::vector<std::string> ComboBox::Items() const {
    HWND combo = As(state_, Kind::ComboBox, "ComboBox::Items");
    std::vector<std::string> items;
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) items.push_back(win32::ComboItemText(combo, i));
    return items;
}

std::string ComboBox::Text() const {
    HWND combo = As(state_, Kind::ComboBox, "ComboBox::Text");
    const int index = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    return index >= 0 ? win32::ComboItemText(combo, index) : state_->comboText;
}

void ComboBox::SetText(std::string_view text) {
    As(state_, Kind::ComboBox, "ComboBox::SetText");
    ShowComboText(*state_, text);
}

// --- UpDown -------------------------------------------------------------------

int UpDown::Value() const {
    As(state_, Kind::UpDown, "UpDown::Value");
    return state_->value;
}

void UpDown::SetValue(int value) {
    HWND hwnd = As(state_, Kind::UpDown, "UpDown::SetValue");
    detail::RequireWithinLimits(value, state_->lower, state_->upper, state_->name);
    SendMessageW(hwnd, UDM_SETPOS32, 0, static_cast<LPARAM>(value));
    if (value == state_->value) return;
    state_->value = value;
    RaiseChange(state_);
}

void UpDown::SetRange(int lower, int upper) {
    HWND hwnd = As(state_, Kind::UpDown, "UpDown::SetRange");
    detail::RequireLimits(lower, upper);
    state_->lower = lower;
    state_->upper = upper;
    SendMessageW(hwnd, UDM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
    SetValue(std::clamp(state_->value, lower, upper));
}

int UpDown::Lower() const {
    As(state_, Kind::UpDown, "UpDown::Lower");
    return state_->lower;
}

int UpDown::Upper() const {
    As(state_, Kind::UpDown, "UpDown::Upper");
    return state_->upper;
}

namespace win32 {

Font MakeSongFont(double points, bool bold) {
    return Font(CreateFontW(FontHeight(points, ScreenDpi()), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                            GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, L"宋体"));
}

std::wstring WideWindowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

std::string WindowText(HWND hwnd) { return Utf8(WideWindowText(hwnd)); }

std::string ComboItemText(HWND combo, int index) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return Utf8(text);
}

}  // namespace win32

}  // namespace dg::ui
