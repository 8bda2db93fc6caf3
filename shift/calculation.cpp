#include "shift/calculation.h"

#include <limits>

#include "shift/errors.h"
#include "store/value.h"

namespace dg::shift {

ClockReading ReadLocalClock() {
    const store::DateTime now = store::LocalNow();
    return {now.seconds, now.day};
}

const char* ShiftNumberText(int shift) noexcept {
    static constexpr const char* kTexts[] = {"", "1", "2", "3", "4"};
    return shift >= 1 && shift <= 4 ? kTexts[shift] : "";
}

CalcResult Calculate(const ShiftSettings& settings, CalcState& state, const ClockReading& clock) noexcept {
    const std::string& text = settings.banzhiText;
    if (text.empty()) return {};

    const store::WholeNumber number = store::ParseWholeNumber(text);
    if (number.kind == store::WholeNumber::kNotANumber) return {kStatusTypeMismatch, false};
    if (number.kind == store::WholeNumber::kOverflow || number.value < std::numeric_limits<std::int16_t>::min() ||
        number.value > std::numeric_limits<std::int16_t>::max())
        return {kStatusOverflow, false};
    const auto n = static_cast<std::int16_t>(number.value);
    if (n > 4) return {kStatusOutOfRange, false};

    // Change window of time k: from hh:mm:01 to hh:mm:59.
    bool flags[4] = {false, false, false, false};
    const std::int32_t t = clock.secondsOfDay;
    for (int k = 0; k < n; ++k) flags[k] = t > settings.changeTime[k] && t < settings.changeTime[k] + 60;

    // Only the exact texts "1" to "4" select which flags count.
    int m = 0;
    if (text.size() == 1 && text[0] >= '1' && text[0] <= '4') m = text[0] - '0';

    int lowest = 0, highest = 0;
    for (int k = 1; k <= m; ++k) {
        if (flags[k - 1]) {
            if (lowest == 0) lowest = k;
            highest = k;
        }
    }

    state.banzhi = n;
    if (lowest == 0) {
        state.latch = true;
        return {};
    }
    // The duty date is the day on which the shift that has just ended began:
    // yesterday when its change time is not later than the one before it.
    std::int32_t duty = clock.today;
    if (lowest >= 2 && settings.changeTime[lowest - 1] <= settings.changeTime[lowest - 2]) duty = clock.today - 1;
    state.dutyDate = duty;
    state.announcedShift = highest;

    if (!state.latch) return {};
    state.latch = false;
    return {0, true};
}

}  // namespace dg::shift
