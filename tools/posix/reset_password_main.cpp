// dutygate-reset-password: the forgotten-password tool on Linux.
#include "tools/posix/console.h"
#include "tools/reset_password.h"

int main(int argc, char** argv) {
    return dg::tools::RunResetPassword(dg::tools::CommandLineArguments(argc, argv), "dutygate-reset-password",
                                       dg::tools::PosixConsole());
}
