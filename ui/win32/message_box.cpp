// The one message box of the component, on MessageBoxW. It works on any
// thread: the owner is this thread's active form, or none (task-modal) when
// none of ours is active, as for the logout question, which comes after its
// form has closed, and for the database creation, which has no form. In a
// window station no one sees, it shows nothing.
#include "ui/message_box.h"

#include <cstdio>
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

// The owner is our form that is active. With none of ours active (the
// question after the logout form has closed, the host's own window in front)
// the box is task-modal with no owner: it never takes another open form of
// ours as its owner, which would leave the host's window enabled beside it.
detail::FormState* OwnerForm() {
    HWND active = GetActiveWindow();
    for (detail::FormState* form : detail::OpenForms()) {
        if (form->hwnd == active && IsWindowEnabled(active)) return form;
    }
    return nullptr;
}

// No one sees a window station without WSF_VISIBLE (a service's): a box
// there would wait for ever for an answer that never comes.
bool StationVisible() {
    USEROBJECTFLAGS flags{};
    HWINSTA station = GetProcessWindowStation();
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace

Answer MsgBox(std::string_view text, Buttons buttons, Icon icon, std::optional<std::string_view> title) {
    detail::FormState* ownerForm = OwnerForm();
    const detail::MessageRequest request{std::string(text), std::string(title ? *title : kDefaultTitle), buttons, icon,
                                         ownerForm ? ownerForm->owner->ObjectName() : std::string()};
    const detail::MessageHooks& hooks = detail::InstalledMessageHooks();
    auto record = [&](Answer answer) {
        if (hooks.record) hooks.record(request, answer);
        return answer;
    };
    if (hooks.answer) {
        if (std::optional<Answer> queued = hooks.answer(request)) return record(*queued);
    }
    // Where no one can see it the text goes to standard error and the first
    // button is the answer; a failure still reaches the host as its error.
    if (!StationVisible()) {
        std::fprintf(stderr, "%s: %s\n", request.title.c_str(), request.text.c_str());
        std::fflush(stderr);
        return record(FirstButton(buttons));
    }
    HWND owner = ownerForm ? ownerForm->hwnd : nullptr;
    UINT flags = (buttons == Buttons::YesNo ? MB_YESNO : MB_OK) | IconFlag(icon) | MB_SETFOREGROUND;
    if (!owner) flags |= MB_TASKMODAL;
    if (hooks.shown) hooks.shown();
    const int chosen = MessageBoxW(owner, win32::Wide(request.text).c_str(), win32::Wide(request.title).c_str(), flags);
    Answer answer = FirstButton(buttons);
    if (chosen == IDYES)
        answer = Answer::Yes;
    else if (chosen == IDNO)
        answer = Answer::No;
    else if (chosen == IDOK)
        answer = Answer::Ok;
    return record(answer);
}

}  // namespace dg::ui
