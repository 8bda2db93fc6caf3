// The parts of a form that are the same on every toolkit: making and ending
// the dialog object, and the order of a close. The window itself is each
// toolkit's FormState (ui/qt, ui/win32).
#include "ui/form.h"

#include <memory>
#include <string>

#include "ui/close_decision.h"
#if defined(_WIN32)
#include "ui/win32/internal.h"
#else
#include "ui/qt/internal.h"
#endif

namespace dg::ui {

namespace detail {
bool FormState::RequestClose(CloseOrigin origin) {
    Form* const form = owner;
    return DecideClose(
        *this, [form, origin] { return form->OnQueryUnload(origin); }, [form] { form->OnUnload(); });
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

}  // namespace dg::ui
