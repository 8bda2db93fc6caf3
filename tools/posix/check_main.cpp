// dutygate-check: the station check on Linux. Write access is told by
// access(2) with the process's real user, which reads the permission bits
// and ACLs the way a host's open would, without writing.
#include <unistd.h>

#include <cerrno>

#include "store/paths.h"
#include "tools/posix/console.h"
#include "tools/station_check.h"

int main(int argc, char** argv) {
    const auto mayWrite = [](const std::string& name, bool folder) {
        const std::string path = dg::store::PathFromUtf8(name).string();
        // A folder also needs search permission for the entries made in it.
        if (::access(path.c_str(), folder ? W_OK | X_OK : W_OK) == 0) return dg::tools::WriteAccess::kYes;
        return errno == EACCES || errno == EROFS ? dg::tools::WriteAccess::kNo : dg::tools::WriteAccess::kUnknown;
    };
    return dg::tools::RunStationCheck(dg::tools::CommandLineArguments(argc, argv), "dutygate-check",
                                      dg::tools::PosixConsole(), mayWrite, {});
}
