// ResetPassword.exe: the forgotten-password tool on Windows.
#include "tools/win32/console.h"

int main() {
    return dg::tools::RunResetPassword(dg::tools::CommandLineArguments(), "ResetPassword", dg::tools::WindowsConsole());
}
