#pragma once
// A spinner's argument checks, worded the same on every toolkit.
#include <string>

#include "ui/errors.h"

namespace dg::ui::detail {

inline void RequireNewLimits(int lower, int upper, const std::string& control) {
    if (lower > upper)
        throw UiError(kStatusInvalidArg, "AddUpDown: lower limit above upper limit for '" + control + "'");
}

inline void RequireLimits(int lower, int upper) {
    if (lower > upper)
        throw UiError(kStatusInvalidArg, "UpDown::SetRange: lower limit " + std::to_string(lower) +
                                             " above upper limit " + std::to_string(upper));
}

inline void RequireWithinLimits(int value, int lower, int upper, const std::string& control) {
    if (value < lower || value > upper)
        throw UiError(kStatusInvalidArg, "UpDown::SetValue: " + std::to_string(value) + " is outside " +
                                             std::to_string(lower) + ".." + std::to_string(upper) + " for '" + control +
                                             "'");
}

}  // namespace dg::ui::detail
