// dutygate-reset-password: the forgotten-password tool on Linux.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/reset_password.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    dg::tools::Console console;
    console.enterFolder = [](const std::string& folder, std::string& error) {
        if (::chdir(folder.c_str()) == 0) return true;
        error = std::strerror(errno);
        return false;
    };
    console.write = [](const std::string& text, bool toError) { std::fputs(text.c_str(), toError ? stderr : stdout); };
    return dg::tools::RunResetPassword(arguments, "dutygate-reset-password", console);
}
