#pragma once
#include <stdexcept>
#include <string>

#include "base/status.h"

namespace dg::store {

inline constexpr status::Status kStatusStoreFailure = status::kFail;

// A store operation that failed. what() is the engine's or the file system's
// own description.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const std::string& description) : std::runtime_error(description) {}
};

}  // namespace dg::store
