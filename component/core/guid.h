#pragma once
// GUID text in the registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <string>
#include <string_view>

#include "component/core/identifiers.h"

namespace dg::component {

// Upper-case hex digits, with braces.
std::string FormatGuid(const Guid& guid);
// Accepts either case of hex digit; the braces are required. False when the
// text is not exactly one GUID.
bool ParseGuid(std::string_view text, Guid& guid);
bool SameGuid(const Guid& a, const Guid& b) noexcept;

}  // namespace dg::component
