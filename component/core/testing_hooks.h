#pragma once
// Seams for the component's own tests (linked statically; not exported).
#include "shift/calculation.h"

namespace dg::component {

using ClockSource = shift::ClockReading (*)();

// Replaces the clock that ShiftClass reads; nullptr restores the local clock.
void SetClockForTesting(ClockSource source) noexcept;

}  // namespace dg::component
