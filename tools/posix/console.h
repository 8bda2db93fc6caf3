#pragma once
// What the Linux station tools share: the arguments after the program's name
// and a console that enters folders with chdir and writes UTF-8 as it is.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/reset_password.h"

namespace dg::tools {

inline std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

inline Console PosixConsole() {
    Console console;
    console.enterFolder = [](const std::string& folder, std::string& error) {
        if (::chdir(folder.c_str()) == 0) return true;
        error = std::strerror(errno);
        return false;
    };
    console.write = [](const std::string& text, bool toError) { std::fputs(text.c_str(), toError ? stderr : stdout); };
    return console;
}

}  // namespace dg::tools
