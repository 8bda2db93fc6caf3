#pragma once
// Hooks into message boxes and form windows, the same on every toolkit. The
// product carries them only so that the test driver (ui_testing/) can answer
// and record message boxes without a window: a box shown by MsgBox blocks in
// its own loop, out of a test's reach. In a host's process they stay empty.
#include <optional>
#include <string>

#include "ui/internals.h"
#include "ui/message_box.h"

namespace dg::ui::detail {

struct MessageRequest {
    std::string text;
    std::string title;  // as shown: the default title when none was given
    Buttons buttons;
    Icon icon;
    std::string owner;  // the object name of the form that owns the box; "" for none (task-modal)
};

struct MessageHooks {
    // A queued answer: the box is not shown and this answer is returned.
    std::optional<Answer> (*answer)(const MessageRequest&) = nullptr;
    // Every message box, answered from the queue, shown, or written to stderr.
    void (*record)(const MessageRequest&, Answer) = nullptr;
    // A form window or a message box is about to show (Win32 only: a driver
    // that posts its input waits for this).
    void (*shown)() = nullptr;
};

void SetMessageHooks(const MessageHooks& hooks);
const MessageHooks& InstalledMessageHooks();

}  // namespace dg::ui::detail
