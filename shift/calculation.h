#pragma once
// The shift calculation: a pure function of the shift settings, the
// calculation state and one clock reading. It touches no store, no dialog and,
// when no change is announced, not the heap.
#include <cstdint>

#include "shift/class_time_table.h"

namespace dg::shift {

// One reading of the local clock: time of day in whole seconds and the local
// calendar date as days since 1899-12-30.
struct ClockReading {
    std::int32_t secondsOfDay = 0;
    std::int32_t today = 0;
};

ClockReading ReadLocalClock();

// Kept by the controller between calls.
struct CalcState {
    bool latch = true;          // an announcement may be made
    std::int16_t banzhi = 0;    // shift system, set by every call that gets past the checks
    int announcedShift = 0;     // 1-4: shift whose change time was met most recently; 0 none yet
    std::int32_t dutyDate = 0;  // duty date of that change, days since 1899-12-30
};

struct CalcResult {
    std::int32_t status = 0;  // 0, or kStatusTypeMismatch / kStatusOverflow / kStatusOutOfRange
    bool announce = false;    // raise eventSetClass with the state's values
};

// One poll. On failure the state is left as it was. When `announce` is set the
// latch has already been cleared, so a handler that polls again from inside
// the event announces nothing twice.
CalcResult Calculate(const ShiftSettings& settings, CalcState& state, const ClockReading& clock) noexcept;

// "1" to "4" for an announced shift number.
const char* ShiftNumberText(int shift) noexcept;

}  // namespace dg::shift
