#pragma once
// The test driver's hooks into message boxes, the same on every toolkit:
// each toolkit's MsgBox hands every request to them before it shows a box.
#include <optional>
#include <string>

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
    // A form window or a message box is about to show (a driver that posts
    // its input waits for this).
    void (*shown)() = nullptr;
};

}  // namespace dg::ui::detail
