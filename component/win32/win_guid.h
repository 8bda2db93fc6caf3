#pragma once
// The shared identifiers as the platform's GUID type.
#include <windows.h>

#include <cstring>

#include "component/core/identifiers.h"

namespace dg::component {

inline GUID ToWinGuid(const Guid& g) noexcept {
    static_assert(sizeof(GUID) == sizeof(Guid));
    GUID out;
    std::memcpy(&out, &g, sizeof out);
    return out;
}

inline bool IsGuid(REFGUID a, const Guid& b) noexcept { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

}  // namespace dg::component
