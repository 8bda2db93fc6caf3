// The parts of control handles that are the same on every toolkit: names,
// the checks every call makes, and connecting handlers.
#include "ui/controls.h"

#include <string>

#include "ui/form_core.h"
#include "ui/toolkit_state.h"

namespace dg::ui {

namespace detail {

std::string ControlName(const Place& place) {
    return place.index >= 0 ? place.name + "_" + std::to_string(place.index) : place.name;
}

ControlState& RequireControl(const std::shared_ptr<ControlState>& state, const char* what) {
    if (!state) throw UiError(kStatusFail, FailureText("控件句柄不指向任何控件", what));
    if (!state->form || !state->HasWindow())
        throw UiError(kStatusFail, FailureText("控件" + Quoted(state->name) + "不存在（它所在的窗体没有加载）", what));
    state->form->RequireThread(what);
    return *state;
}

ControlState& RequireControl(const std::shared_ptr<ControlState>& state, ControlKind kind, const char* what) {
    ControlState& control = RequireControl(state, what);
    if (control.kind != kind)
        throw UiError(kStatusInvalidArg, FailureText("控件" + Quoted(control.name) + "的类型不对", what));
    return control;
}

}  // namespace detail

using detail::ControlKind;
using detail::RequireControl;

bool Control::Valid() const { return state_ && state_->form && state_->HasWindow(); }

std::string Control::ObjectName() const { return RequireControl(state_, "ObjectName").name; }

void Button::OnClick(std::function<void()> handler) {
    RequireControl(state_, ControlKind::Button, "Button::OnClick").click.Connect(std::move(handler));
}

void TextBox::OnChange(std::function<void()> handler) {
    RequireControl(state_, ControlKind::TextBox, "TextBox::OnChange").change.Connect(std::move(handler));
}

void TextBox::OnLostFocus(std::function<void()> handler) {
    RequireControl(state_, ControlKind::TextBox, "TextBox::OnLostFocus").lostFocus.Connect(std::move(handler));
}

void ComboBox::OnClick(std::function<void()> handler) {
    RequireControl(state_, ControlKind::ComboBox, "ComboBox::OnClick").click.Connect(std::move(handler));
}

void UpDown::OnChange(std::function<void()> handler) {
    RequireControl(state_, ControlKind::UpDown, "UpDown::OnChange").change.Connect(std::move(handler));
}

}  // namespace dg::ui
