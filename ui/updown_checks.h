#pragma once
// A spinner's argument checks, worded the same on every toolkit.
#include <string>

#include "ui/errors.h"

namespace dg::ui::detail {

inline void RequireNewLimits(int lower, int upper, const std::string& control) {
    if (lower > upper)
        throw UiError(kStatusInvalidArg, FailureText("微调控件" + Quoted(control) + "的下限大于上限", "AddUpDown"));
}

inline void RequireLimits(int lower, int upper) {
    if (lower > upper)
        throw UiError(kStatusInvalidArg,
                      FailureText("微调控件的下限大于上限",
                                  "UpDown::SetRange " + std::to_string(lower) + " > " + std::to_string(upper)));
}

inline void RequireWithinLimits(int value, int lower, int upper, const std::string& control) {
    if (value < lower || value > upper)
        throw UiError(kStatusInvalidArg, FailureText("数值超出微调控件" + Quoted(control) + "的范围",
                                                     "UpDown::SetValue " + std::to_string(value) + "，范围 " +
                                                         std::to_string(lower) + ".." + std::to_string(upper)));
}

}  // namespace dg::ui::detail
