#pragma once
// The part of the test driver that is the same on every toolkit: answers
// queued for message boxes, the record of every box, and the driver's own
// failures. Each toolkit's driver installs TakeQueuedAnswer and RecordMessage
// as its message hooks and calls ClearLog from Reset().
#include <optional>
#include <string>

#include "ui/message_hooks.h"
#include "ui/testing.h"

namespace dg::ui::testing::shared {

std::optional<Answer> TakeQueuedAnswer(const ui::detail::MessageRequest& request);
void RecordMessage(const ui::detail::MessageRequest& request, Answer answer);
// Kept for DriverErrors() and written to standard error at once.
void Fail(const std::string& what);
void ClearLog();

}  // namespace dg::ui::testing::shared
