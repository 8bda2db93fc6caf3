#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace dg::store {

inline constexpr std::int32_t kStatusStoreFailure = static_cast<std::int32_t>(0x80004005);  // E_FAIL

// A store operation that failed. what() is the engine's or the file system's
// own description.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const std::string& description) : std::runtime_error(description) {}
};

}  // namespace dg::store
