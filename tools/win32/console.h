#pragma once
// What the Windows station tools share: the command line read in UTF-16, so
// that Chinese arguments arrive whatever the console's code page, and a
// console that gets UTF-16 through WriteConsoleW (a pipe or a file UTF-8).
#include "tools/reset_password.h"

namespace dg::tools {

// The arguments after the program's name, in UTF-8.
std::vector<std::string> CommandLineArguments();

// Enters folders with SetCurrentDirectoryW and writes as above.
Console WindowsConsole();

}  // namespace dg::tools
