#include "store/platform.h"

#include <windows.h>

#include <cerrno>
#include <direct.h>

#include "base/utf16.h"
#include "store/errors.h"

namespace dg::store::platform {
namespace {

// A name in UTF-16 with the system's separator. Malformed UTF-8 is refused
// rather than turned into replacement characters: it would name another file.
std::wstring Wide(std::string_view name) {
    std::optional<std::wstring> wide = WideStrict(name);
    if (!wide) throw StoreError("The name '" + std::string(name) + "' is not valid UTF-8");
    std::wstring out = std::move(*wide);
    for (wchar_t& c : out) {
        if (c == L'/') c = L'\\';
    }
    return out;
}

// The system's own text for a Win32 error code, in UTF-8 (FormatMessageA
// would answer in the ANSI code page, GBK on a Chinese Windows).
std::string SystemMessage(DWORD code) {
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
    if (text.empty()) text = "system error " + std::to_string(code);
    return text;
}

}  // namespace

Creation CreateNewFile(std::string_view name, std::string& error) {
    const std::wstring path = Wide(name);
    // CREATE_NEW fails on any existing entry: nothing is ever opened for
    // writing that was there before.
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return Creation::kExists;
        error = SystemMessage(code);
        return Creation::kFailed;
    }
    CloseHandle(file);
    return Creation::kCreated;
}

LocalTime ReadLocalTime() noexcept {
    SYSTEMTIME now{};
    GetLocalTime(&now);  // date and time of day from the same reading
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::string ErrorText(const std::error_code& error) {
    if (error.category() == std::system_category()) return SystemMessage(static_cast<DWORD>(error.value()));
    return error.message();
}

EntryKind KindOf(std::string_view name) {
    const DWORD attributes = GetFileAttributesW(Wide(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::kNone;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kFolder;
    return (attributes & FILE_ATTRIBUTE_DEVICE) ? EntryKind::kOther : EntryKind::kFile;
}

std::error_code MakeFolder(std::string_view name) {
    // The C runtime's mkdir, as std::filesystem uses it: the same errno
    // codes, so the same descriptions on both platforms.
    if (_wmkdir(Wide(name).c_str()) == 0) return {};
    return {errno, std::generic_category()};
}

void RemoveFile(std::string_view name) {
    try {
        DeleteFileW(Wide(name).c_str());
    } catch (const StoreError&) {
        // a name that cannot be converted named no file that we made
    }
}

std::string NativeName(std::string_view name) {
    Wide(name);  // refuses what is not UTF-8, as every other operation does
    std::string out(name);
    for (char& c : out) {
        if (c == '/') c = '\\';
    }
    return out;
}

}  // namespace dg::store::platform
