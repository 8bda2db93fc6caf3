// The parts of a form that are the same on every toolkit: making and ending
// the dialog object, the order of a close, the list of loaded forms, and the
// tab, default and cancel settings. The window itself is each toolkit's
// FormState (ui/qt, ui/win32).
#include "ui/form.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "ui/close_decision.h"
#include "ui/form_core.h"
#include "ui/toolkit_state.h"

namespace dg::ui {

namespace detail {

bool FormCore::RequestClose(CloseOrigin origin) {
    auto& self = static_cast<FormState&>(*this);
    Form* const form = owner;
    return DecideClose(
        self, [form, origin] { return form->OnQueryUnload(origin); }, [form] { form->OnUnload(); });
}

void FormCore::BeginLoad() {
    loaded = true;
    closing = false;
    focusByCode.reset();
    LoadedForms().push_back(static_cast<FormState*>(this));
}

std::vector<std::shared_ptr<ControlState>> FormCore::LetControlsGo() {
    loaded = false;
    closing = false;
    centred = false;
    // Controls first, so that no notification reaches the form while the
    // window goes (the focus leaving a text box, for one).
    std::vector<std::shared_ptr<ControlState>> gone = std::move(controls);
    controls.clear();
    for (const auto& control : gone) control->form = nullptr;
    tabOrder.clear();
    defaultButton.reset();
    cancelButton.reset();
    focusByCode.reset();
    Unregister(static_cast<FormState*>(this));
    return gone;
}

void FormCore::MarkShown() {
    static std::atomic<std::uint64_t> counter{0};
    showSerial = ++counter;
}

std::shared_ptr<ControlState> FormCore::NewControl(const Place& place, ControlKind kind) const {
    auto state = std::make_shared<ControlState>();
    state->kind = kind;
    state->name = ControlName(place);
    state->form = const_cast<FormState*>(static_cast<const FormState*>(this));
    return state;
}

std::vector<ControlState*> FormCore::FocusRing() const {
    std::vector<ControlState*> ring;
    auto add = [&ring](ControlState* control) {
        if (!control || !control->HasWindow() || !control->TakesFocus()) return;
        if (std::find(ring.begin(), ring.end(), control) == ring.end()) ring.push_back(control);
    };
    for (const auto& weak : tabOrder) add(weak.lock().get());
    for (const auto& control : controls) add(control.get());
    return ring;
}

ControlState* FormCore::ButtonForEnter(const ControlState* focused) const {
    for (const auto& control : controls) {
        if (control.get() == focused && control->kind == ControlKind::Button && control->HasWindow())
            return control.get();
    }
    auto fallback = defaultButton.lock();
    return fallback && fallback->HasWindow() ? fallback.get() : nullptr;
}

ControlState* FormCore::ButtonForEscape() const {
    auto cancel = cancelButton.lock();
    return cancel && cancel->HasWindow() ? cancel.get() : nullptr;
}

void RequireLoaded(const FormState& form, const char* what) {
    form.RequireThread(what);
    if (!form.loaded || !form.HasWindow())
        throw UiError(kStatusFail, FailureText("窗体" + Quoted(form.owner->ObjectName()) + "没有加载", what));
}

ControlState& RequireOwnControl(const FormState& form, const Control* control, const char* what) {
    const ControlState* state = control ? control->State().get() : nullptr;
    if (!state || !state->HasWindow() || state->form != &form)
        throw UiError(kStatusInvalidArg,
                      FailureText("每个控件都必须是窗体" + Quoted(form.owner->ObjectName()) + "上已加载的控件", what));
    return *control->State();
}

ControlState& RequireOwnButton(const FormState& form, const Button& button, const char* what) {
    const auto& state = button.State();
    if (!state || !state->HasWindow() || state->form != &form || state->kind != ControlKind::Button)
        throw UiError(kStatusInvalidArg,
                      FailureText("不是窗体" + Quoted(form.owner->ObjectName()) + "上已加载的按钮", what));
    return *state;
}

const ControlState* RequireParentFrame(const FormState& form, const Place& place, const char* what) {
    if (!place.parent) return nullptr;
    const auto& frame = place.parent->State();
    if (!frame || !frame->HasWindow() || frame->form != &form || frame->kind != ControlKind::Frame)
        throw UiError(kStatusInvalidArg,
                      FailureText(Quoted(ControlName(place)) + "的父控件不是本窗体上已加载的框架", what));
    return frame.get();
}

void Unregister(FormState* form) {
    auto& forms = LoadedForms();
    forms.erase(std::remove(forms.begin(), forms.end(), form), forms.end());
}

std::vector<FormState*> OpenForms() {
    std::vector<FormState*> open;
    for (FormState* form : LoadedForms()) {
        if (form->Visible()) open.push_back(form);
    }
    std::sort(open.begin(), open.end(),
              [](const FormState* a, const FormState* b) { return a->showSerial > b->showSerial; });
    return open;
}

FormState::~FormState() {
    if (loaded) TearDown();
    Unregister(this);
}

}  // namespace detail

Form::Form(std::string objectName)
    : objectName_(std::move(objectName)), state_(std::make_unique<detail::FormState>(this)) {}

Form::~Form() {
    // The derived part is gone: no handler can run any more, so the window
    // simply goes. A dialog that wants OnUnload at its end calls Unload() in
    // its own destructor.
    if (state_ && state_->loaded) state_->TearDown();
}

bool Form::Loaded() const { return state_->loaded; }

bool Form::Visible() const { return state_->loaded && state_->Visible(); }

void Form::SetCentred(bool centred) {
    detail::RequireLoaded(*state_, "SetCentred");
    state_->centred = centred;
}

void Form::SetTabOrder(const std::vector<const Control*>& order) {
    detail::RequireLoaded(*state_, "SetTabOrder");
    std::vector<std::weak_ptr<detail::ControlState>> chosen;
    for (const Control* control : order) {
        detail::RequireOwnControl(*state_, control, "SetTabOrder");
        chosen.push_back(control->State());
    }
    state_->tabOrder = std::move(chosen);
    state_->ApplyTabOrder();
}

void Form::SetDefaultButton(const Button& button) {
    detail::RequireLoaded(*state_, "SetDefaultButton");
    detail::RequireOwnButton(*state_, button, "SetDefaultButton");
    state_->defaultButton = button.State();
    state_->FollowFocus();
}

void Form::SetCancelButton(const Button& button) {
    detail::RequireLoaded(*state_, "SetCancelButton");
    detail::RequireOwnButton(*state_, button, "SetCancelButton");
    state_->cancelButton = button.State();
}

}  // namespace dg::ui
