// ResetPassword.exe: the forgotten-password tool on Windows. The command line
// is read in UTF-16 so that Chinese arguments arrive whatever the console's
// code page; a console gets UTF-16 through WriteConsoleW, a pipe or a file
// UTF-8.
#include <windows.h>
#include <shellapi.h>

#include "base/system_message.h"
#include "base/utf16.h"
#include "tools/reset_password.h"

namespace {

void Write(const std::string& text, bool toError) {
    const HANDLE out = GetStdHandle(toError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    std::string lines;
    for (const char c : text) lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        const std::wstring wide = dg::Wide(lines);
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(out, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    }
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; words != nullptr && i < count; ++i) arguments.push_back(dg::Utf8(words[i]));
    if (words != nullptr) LocalFree(words);

    dg::tools::Console console;
    console.enterFolder = [](const std::string& folder, std::string& error) {
        if (SetCurrentDirectoryW(dg::Wide(folder).c_str())) return true;
        error = dg::SystemMessage(GetLastError());
        return false;
    };
    console.write = Write;
    return dg::tools::RunResetPassword(arguments, "ResetPassword", console);
}
