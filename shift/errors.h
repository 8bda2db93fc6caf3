#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace dg::shift {

// Failures of the shift calculation, with the automation runtime's values.
inline constexpr std::int32_t kStatusTypeMismatch = static_cast<std::int32_t>(0x800A000D);
inline constexpr std::int32_t kStatusOverflow = static_cast<std::int32_t>(0x800A0006);
inline constexpr std::int32_t kStatusOutOfRange = static_cast<std::int32_t>(0x800A0009);

class ShiftError : public std::runtime_error {
public:
    ShiftError(std::int32_t status, const std::string& description)
        : std::runtime_error(description), status_(status) {}
    std::int32_t status() const noexcept { return status_; }

private:
    std::int32_t status_;
};

// The runtime's own description of each calculation failure.
const char* DescribeStatus(std::int32_t status);

}  // namespace dg::shift
