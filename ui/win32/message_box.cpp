// The one message box of the component, on MessageBoxW. It works on any
// thread: the owner is this thread's active form, or none (task-modal) when no
// form is open, as for the logout question, which comes after its form has
// closed, and for the database creation, which has no form.
#include "ui/message_box.h"

#include <string>

#include "ui/win32/internal.h"

namespace dg::ui {
namespace {

Answer FirstButton(Buttons buttons) { return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok; }

UINT IconFlag(Icon icon) {
    switch (icon) {
        case Icon::Critical: return MB_ICONERROR;
        case Icon::Exclamation: return MB_ICONEXCLAMATION;
        case Icon::Question: return MB_ICONQUESTION;
        case Icon::Information: return MB_ICONINFORMATION;
        case Icon::None: break;
    }
    return 0;
}

HWND OwnerForm() {
    const auto open = detail::OpenForms();
    HWND active = GetActiveWindow();
    for (detail::FormState* form : open) {
        if (form->hwnd == active && IsWindowEnabled(active)) return active;
    }
    for (detail::FormState* form : open) {
        if (IsWindowEnabled(form->hwnd)) return form->hwnd;
    }
    return nullptr;
}

}  // namespace

Answer MsgBox(std::string_view text, Buttons buttons, Icon icon, std::optional<std::string_view> title) {
    const win32::MessageRequest request{std::string(text), std::string(title ? *title : kDefaultTitle), buttons,
                                        icon};
    const win32::DriverHooks& hooks = win32::Hooks();
    auto record = [&](Answer answer) {
        if (hooks.record) hooks.record(request, answer);
        return answer;
    };
    if (hooks.answer) {
        if (std::optional<Answer> queued = hooks.answer(request)) return record(*queued);
    }
    HWND owner = OwnerForm();
    UINT flags = (buttons == Buttons::YesNo ? MB_YESNO : MB_OK) | IconFlag(icon) | MB_SETFOREGROUND;
    if (!owner) flags |= MB_TASKMODAL;
    if (hooks.shown) hooks.shown();
    const int chosen = MessageBoxW(owner, win32::Wide(request.text).c_str(), win32::Wide(request.title).c_str(), flags);
    Answer answer = FirstButton(buttons);
    if (chosen == IDYES) answer = Answer::Yes;
    else if (chosen == IDNO) answer = Answer::No;
    else if (chosen == IDOK) answer = Answer::Ok;
    return record(answer);
}

}  // namespace dg::ui
