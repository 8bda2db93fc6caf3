#pragma once
// How the dialog layer reports a failure: the exception it throws and the
// statuses that exception carries to the host.
#include "base/failure_text.h"
#include "base/status.h"

namespace dg::ui {

// A dialog operation that could not be carried out: no usable display, a call
// from a thread other than the GUI thread, a control of a form that is not
// loaded, a spinner value outside its limits.
using UiError = status::StatusError;

// The statuses that this layer reports.
inline constexpr status::Status kStatusFail = status::kFail;
inline constexpr status::Status kStatusWrongThread = status::kWrongThread;
inline constexpr status::Status kStatusInvalidArg = status::kInvalidArg;

}  // namespace dg::ui
