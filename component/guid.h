#pragma once
// GUID text in the registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <string>
#include <string_view>

#include "dutygate/dutygate.h"

namespace dg::component {

// Upper-case hex digits, with braces.
std::string FormatGuid(const dg_guid& guid);
// Accepts either case of hex digit; the braces are required. False when the
// text is not exactly one GUID.
bool ParseGuid(std::string_view text, dg_guid& guid);
bool SameGuid(const dg_guid& a, const dg_guid& b) noexcept;

}  // namespace dg::component
