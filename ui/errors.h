#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace dg::ui {

// Automation status values that this layer reports.
inline constexpr std::int32_t kStatusFail = static_cast<std::int32_t>(0x80004005);        // E_FAIL
inline constexpr std::int32_t kStatusWrongThread = static_cast<std::int32_t>(0x8001010E); // RPC_E_WRONG_THREAD
inline constexpr std::int32_t kStatusInvalidArg = static_cast<std::int32_t>(0x80070057);  // E_INVALIDARG

// A dialog operation that could not be carried out: no usable display, a call
// from a thread other than the GUI thread, a control of a form that is not
// loaded, a spinner value outside its limits.
class UiError : public std::runtime_error {
public:
    UiError(std::int32_t status, const std::string& description)
        : std::runtime_error(description), status_(status) {}
    std::int32_t status() const noexcept { return status_; }

private:
    std::int32_t status_;
};

}  // namespace dg::ui
