#pragma once
// The parts of the test driver that are the same on every toolkit: answers
// queued for message boxes, the record of every box, the driver's own
// failures, and counting a picture's colours. Each toolkit's driver installs
// TakeQueuedAnswer and RecordMessage as its message hooks and calls ClearLog
// from Reset().
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/message_hooks.h"
#include "ui/testing.h"

namespace dg::ui::testing::shared {

std::optional<Answer> TakeQueuedAnswer(const ui::detail::MessageRequest& request);
void RecordMessage(const ui::detail::MessageRequest& request, Answer answer);
// Kept for DriverErrors() and written to standard error at once.
void Fail(const std::string& what);
void ClearLog();

// The colours of the pixels (0xRRGGBB; higher bits are ignored), the most used
// first, ties in the order they first appear.
std::vector<Rgb> ColoursByUse(const std::vector<std::uint32_t>& pixels);

}  // namespace dg::ui::testing::shared
