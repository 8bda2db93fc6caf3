#pragma once
// How the store reports a failure: StoreError, whose text the layers above
// pass on as the failure's description, and the status a host gets for it.
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
