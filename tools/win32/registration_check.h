#pragma once
// The Windows station check's own parts (tools/win32/registration_check.cpp).
#include <string>
#include <vector>

#include "tools/station_check.h"

namespace dg::tools {

// Each class's registration in each registry view (the DLL, its file version
// and bitness), the type library's, and whether a host of each bitness finds
// the classes by ProgID. True when a host of this program's bitness does.
bool CheckRegistration(std::vector<Finding>& findings);

// Write access told by the entry's security descriptor against this
// process's token (GetFileSecurityW and AccessCheck), and a file's read-only
// attribute.
WriteAccess MayWrite(const std::string& name, bool folder);

}  // namespace dg::tools
