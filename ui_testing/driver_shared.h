#pragma once
// The parts of the test driver that are the same on every toolkit: the queue
// of actions, answers queued for message boxes, the record of every box, the
// driver's own failures, and counting a picture's colours. Each toolkit's
// driver installs TakeQueuedAnswer and RecordMessage as its message hooks,
// calls Kick when a form or a message box shows, and gives the queue what is
// its own (namespace toolkit below).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/message_hooks.h"
#include "ui_testing/driver.h"

namespace dg::ui::testing::shared {

// What an action came to: done, or not possible yet (its control is not
// there yet), to be tried again shortly for up to two seconds.
enum class Outcome { Done, Retry };

// Adds an action to the queue; it runs from the event loop once a form or a
// message box is open.
void Queue(std::string what, std::function<Outcome()> run);
// Runs the next action; the toolkit's timer calls it.
void RunNext();
// A form or a message box has shown: the queue goes on.
void Kick();

std::optional<Answer> TakeQueuedAnswer(const ui::detail::MessageRequest& request);
void RecordMessage(const ui::detail::MessageRequest& request, Answer answer);
// Kept for DriverErrors() and written to standard error at once.
void Fail(const std::string& what);

// The colours of the pixels (0xRRGGBB; higher bits are ignored), the most used
// first, ties in the order they first appear.
std::vector<Rgb> ColoursByUse(const std::vector<std::uint32_t>& pixels);

}  // namespace dg::ui::testing::shared

// What each toolkit's driver gives the queue (its driver.cpp).
namespace dg::ui::testing::toolkit {

enum class Open { Nothing, Form, Message };  // Message: a message box
// The GUI and the driver's timer exist.
void SetUp();
// What is open on top: a message box before any form.
Open WhatIsOpen();
// Whether the form on top is the active window, having asked for it; with
// `now`, it is made so at once.
bool ActivateTopForm(bool now);
// RunNext after `ms`, in place of any run already scheduled.
void Schedule(int ms);
bool Scheduled();
void CancelSchedule();

// The frame's close button and the session's end, on the form on top.
shared::Outcome CloseTopFormFromFrame();
shared::Outcome EndSessionOfTopForm();
void QueueSpin(const std::string& control, bool up);

}  // namespace dg::ui::testing::toolkit
