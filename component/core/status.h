#pragma once
// Status values and the per-thread description of the last failure. Every
// ABI function runs its body through Guarded(), so that no C++ exception
// leaves the library.
#include <string>
#include <string_view>

#include "base/status.h"

namespace dg::component {

// What every boundary function returns (base/status.h's values).
using status::Status;

// Records `description` (or, when empty, the description of `status`: its
// Chinese sentence and the platform's text for it) as this thread's last
// failure and returns `status`.
Status Fail(Status status, std::string_view description = {});

// The platform's own text for a status value, after the Chinese sentence:
// the standard English text on Linux (component/c_abi/entry_points.cpp), the
// system's text in the user's language on Windows (component/win32/).
std::string PlatformStatusText(Status status);

// Maps the exception being handled to a status and records its description:
// status::StatusError (the dialogs' and the shift calculation's) carries its
// own status, store::StoreError gives E_FAIL, std::bad_alloc E_OUTOFMEMORY,
// anything else E_UNEXPECTED.
Status FailFromCurrentException() noexcept;

const char* LastError() noexcept;

template <typename Body>
Status Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return FailFromCurrentException();
    }
}

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text) noexcept;

}  // namespace dg::component
