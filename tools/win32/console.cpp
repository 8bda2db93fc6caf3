#include "tools/win32/console.h"

#include <windows.h>
#include <shellapi.h>

#include "base/system_message.h"
#include "base/utf16.h"

namespace dg::tools {
namespace {

void Write(const std::string& text, bool toError) {
    const HANDLE out = GetStdHandle(toError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    std::string lines;
    for (const char c : text) lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        const std::wstring wide = Wide(lines);
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(out, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    }
}

}  // namespace

std::vector<std::string> CommandLineArguments() {
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; words != nullptr && i < count; ++i) arguments.push_back(Utf8(words[i]));
    if (words != nullptr) LocalFree(words);
    return arguments;
}

Console WindowsConsole() {
    Console console;
    console.enterFolder = [](const std::string& folder, std::string& error) {
        if (SetCurrentDirectoryW(Wide(folder).c_str())) return true;
        error = SystemMessage(GetLastError());
        return false;
    };
    console.write = Write;
    return console;
}

}  // namespace dg::tools
