#pragma once
// The station check: tells an integrator what stands in the way of the
// component in a host's working folder. This part looks at the folder "mdb"
// and the parameter database; the Windows program adds the classes'
// registration (tools/win32/). It never writes: the database is opened
// read-only and a Jet file is only read.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/reset_password.h"

namespace dg::tools {

enum class Verdict { kOk, kNote, kProblem };

// One line of the report: Chinese first, English after.
struct Finding {
    Verdict verdict;
    std::string chinese;
    std::string english;
};

// "[正常] <chinese> | OK: <english>\n", and so on for 提示/Note and 问题/Problem.
std::string FormatFinding(const Finding& finding);

enum class WriteAccess { kYes, kNo, kUnknown };
// Whether this process may create entries in a folder (folder true) or write
// to a file, told from access rights alone, without writing.
using WriteCheck = std::function<WriteAccess(const std::string& name, bool folder)>;

// Checks "mdb" and "mdb\Para.mdb" in the current working directory and adds
// its findings. True when a host here could open the database, or create or
// upgrade it.
bool CheckDatabase(const WriteCheck& mayWrite, std::vector<Finding>& findings);

// Adds the platform's own findings; true when a host of this program's
// bitness would find both classes.
using RegistrationCheck = std::function<bool(std::vector<Finding>& findings)>;

// Runs the check in the folder named by `arguments` (none: the current one)
// and writes the report. Returns kExitDone when a host here could create both
// classes (on Linux: use the database), kExitFailed otherwise, kExitUsage for
// a wrong command line. `registration` may be empty.
int RunStationCheck(const std::vector<std::string>& arguments, std::string_view program, const Console& console,
                    const WriteCheck& mayWrite, const RegistrationCheck& registration);

}  // namespace dg::tools
