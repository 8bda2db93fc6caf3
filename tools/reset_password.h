#pragma once
// The forgotten-password tool: deletes one user level's rows from tblPass in
// the parameter database of a host's working folder. The next login check at
// that level adds the row again with the default password, and the shift
// settings (tblClassTime) stay as they are. Platform-free: reading the
// command line, entering the folder and writing to the console are the
// platform's (tools/posix/, tools/win32/).
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dg::tools {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Console {
    // Makes `folder` the current working directory; false with the system's
    // description in `error`.
    std::function<bool(const std::string& folder, std::string& error)> enterFolder;
    // Writes UTF-8 text (lines end in '\n') to standard output or error.
    std::function<void(const std::string& text, bool toError)> write;
};

// Runs the tool on its arguments (UTF-8, the program's name left out) and
// returns its exit code. `program` is the name the usage text shows.
int RunResetPassword(const std::vector<std::string>& arguments, std::string_view program, const Console& console);

}  // namespace dg::tools
