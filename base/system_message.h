#pragma once
// The system's own description of a Win32 error code or an HRESULT, from
// FormatMessageW in the user's language, in UTF-8, with the code after it:
// the technical part of a failure text on Windows. Windows only, header-only.
#include <cstdio>
#include <string>

#include "base/utf16.h"

namespace dg {

// "<system text>（错误 5）", or "错误 0x8001010E" alone when the system has
// no text for the code. Language 0: the thread's, then the user's, then the
// system's language, as Windows searches.
inline std::string SystemMessage(unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer) {
        DWORD end = length;
        while (end > 0 && (buffer[end - 1] == L'\r' || buffer[end - 1] == L'\n' || buffer[end - 1] == L' ')) --end;
        text = Utf8(std::wstring_view(buffer, end));
    }
    if (buffer) LocalFree(buffer);
    char number[16];
    // Win32 codes in decimal, as the system documents them; HRESULTs in hex.
    std::snprintf(number, sizeof number, code > 0xFFFF ? "0x%08lX" : "%lu", code);
    return text.empty() ? std::string("错误 ") + number : text + "（错误 " + number + "）";
}

}  // namespace dg
