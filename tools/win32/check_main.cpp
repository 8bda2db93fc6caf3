// DutygateCheck.exe: the station check on Windows, one per bitness.
#include "tools/win32/console.h"
#include "tools/win32/registration_check.h"

int main() {
    return dg::tools::RunStationCheck(dg::tools::CommandLineArguments(), "DutygateCheck", dg::tools::WindowsConsole(),
                                      dg::tools::MayWrite, dg::tools::CheckRegistration);
}
