#pragma once
// How the shift calculation reports a failure: the automation runtime's own
// errors (type mismatch, overflow, out of range), which a host expects from it.
#include "base/status.h"

namespace dg::shift {

// Failures of the shift calculation, with the automation runtime's values and
// descriptions (status::StandardDescription).
using ShiftError = status::StatusError;
inline constexpr status::Status kStatusTypeMismatch = status::kTypeMismatch;
inline constexpr status::Status kStatusOverflow = status::kOverflow;
inline constexpr status::Status kStatusOutOfRange = status::kOutOfRange;

}  // namespace dg::shift
