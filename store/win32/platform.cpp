#include "store/platform.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "base/failure_text.h"
#include "base/system_message.h"
#include "base/utf16.h"
#include "store/errors.h"

namespace dg::store::platform {
namespace {

// A name in UTF-16 with the system's separator. Malformed UTF-8 is refused
// rather than turned into replacement characters: it would name another file.
std::wstring Wide(std::string_view name) {
    std::optional<std::wstring> wide = WideStrict(name);
    if (!wide) throw StoreError(FailureText("名称不是有效的 UTF-8 文本", name));
    std::wstring out = std::move(*wide);
    for (wchar_t& c : out) {
        if (c == L'/') c = L'\\';
    }
    return out;
}

}  // namespace

Creation CreateNewFile(std::string_view name, std::string& error) {
    const std::wstring path = Wide(name);
    // CREATE_NEW fails on any existing entry: nothing is ever opened for
    // writing that was there before.
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
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

std::string SystemErrorText(int code) { return SystemMessage(static_cast<DWORD>(code)); }

EntryKind KindOf(std::string_view name) {
    const DWORD attributes = GetFileAttributesW(Wide(name).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::kNone;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kFolder;
    return (attributes & FILE_ATTRIBUTE_DEVICE) ? EntryKind::kOther : EntryKind::kFile;
}

Creation MakeFolder(std::string_view name, std::string& error) {
    if (CreateDirectoryW(Wide(name).c_str(), nullptr)) return Creation::kCreated;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) return Creation::kExists;
    error = SystemMessage(code);
    return Creation::kFailed;
}

namespace {

// GetFullPathNameW's answer, grown until it fits; empty on failure.
std::wstring FullPath(const std::wstring& relative) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetFullPathNameW(relative.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) return {};
        const bool fits = n < full.size();
        full.resize(n);
        if (fits) return full;
    }
}

}  // namespace

std::string FullName(std::string_view name) {
    try {
        const std::wstring full = FullPath(Wide(name));
        return full.empty() ? std::string(name) : Utf8(full);
    } catch (const StoreError&) {
        return std::string(name);
    }
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

namespace {

// "<sentence>“<name>”：<system text>", the sentence saying what could not be done.
std::string Failure(const char* sentence, std::string_view name, DWORD code) {
    return FailureText(sentence + Quoted(name), SystemMessage(code));
}

// Our own processes open a Jet database for a moment too (SQLite reads its
// first bytes before it is known to be one): a sharing conflict is tried
// again for up to a second before it counts, and only a program that keeps
// the file open is taken to be using it.
bool Shared(DWORD code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION || code == ERROR_ACCESS_DENIED;
}
template <typename Attempt>
bool RetryingConflicts(Attempt attempt) {
    for (int tries = 0;; ++tries) {
        if (attempt()) return true;
        const DWORD code = GetLastError();
        if (!Shared(code) || tries == 100) {
            SetLastError(code);
            return false;
        }
        Sleep(10);
    }
}

bool ReadAll(HANDLE file, std::string& bytes) {
    bytes.clear();
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) return false;
        if (n == 0) return true;
        bytes.append(buffer, n);
    }
}

}  // namespace

// The volume and file index of the file a name names (0, 0 when none).
// Opened for its attributes only, shared with every other opener.
static void FileIdentity(std::string_view file, std::uint64_t (&identity)[2]) {
    identity[0] = identity[1] = 0;
    const HANDLE handle = CreateFileW(Wide(file).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle, &info)) {
        identity[0] = info.dwVolumeSerialNumber;
        identity[1] = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    }
    CloseHandle(handle);
}

std::unique_ptr<UpgradeLock> UpgradeLock::Acquire(std::string_view file, int timeoutMs, std::string& error) {
    std::uint64_t identity[2];
    FileIdentity(file, identity);
    // A named mutex per database: its name is a hash of the file's full path
    // in upper case (file names on Windows ignore case).
    const std::wstring relative = Wide(file);
    std::wstring full = FullPath(relative);
    if (full.empty()) full = relative;
    CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    std::uint64_t hash = 14695981039346656037ull;
    for (wchar_t c : full) hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
    std::wstring name = L"Local\\Dutygate.Upgrade.";
    for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[hash >> shift & 0xF];
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) {
        error = FailureText("无法创建升级锁", SystemMessage(GetLastError()));
        return nullptr;
    }
    const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(timeoutMs));
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {  // abandoned: its holder ended, the lock is ours
        error = waited == WAIT_TIMEOUT ? "另一个进程在 " + std::to_string(timeoutMs / 1000) + " 秒内没有完成升级"
                                       : FailureText("无法等待升级锁", SystemMessage(GetLastError()));
        CloseHandle(mutex);
        return nullptr;
    }
    std::unique_ptr<UpgradeLock> lock(new UpgradeLock);
    lock->handle_ = reinterpret_cast<std::intptr_t>(mutex);
    lock->file_ = file;
    lock->identity_[0] = identity[0];
    lock->identity_[1] = identity[1];
    return lock;
}

bool UpgradeLock::StillTheSameFile() const {
    std::uint64_t now[2];
    FileIdentity(file_, now);
    return (now[0] != 0 || now[1] != 0) && now[0] == identity_[0] && now[1] == identity_[1];
}

UpgradeLock::~UpgradeLock() {
    const HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

ReadResult ReadUnshared(std::string_view file, std::string_view lockFile, std::string& bytes, std::string& error) {
    // Shared with readers only: any program that has the file open for
    // writing (the Jet engine does) makes this fail, and none can open it
    // for writing while it is read.
    HANDLE handle = INVALID_HANDLE_VALUE;
    RetryingConflicts([&] {
        handle = CreateFileW(Wide(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle != INVALID_HANDLE_VALUE;
    });
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) return ReadResult::kInUse;
        error = Failure("无法打开文件", file, code);
        return ReadResult::kFailed;
    }
    // The engine's lock file: open by a program, or only left behind by one.
    const HANDLE lock = CreateFileW(Wide(lockFile).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (lock == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
            CloseHandle(handle);
            return ReadResult::kInUse;
        }
    } else {
        CloseHandle(lock);
    }
    const bool ok = ReadAll(handle, bytes);
    if (!ok) error = Failure("无法读取文件", file, GetLastError());
    CloseHandle(handle);
    return ok ? ReadResult::kRead : ReadResult::kFailed;
}

bool ReadWholeFile(std::string_view path, std::string& bytes, std::string& error) {
    const HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = Failure("无法打开文件", path, GetLastError());
        return false;
    }
    const bool ok = ReadAll(handle, bytes);
    if (!ok) error = Failure("无法读取文件", path, GetLastError());
    CloseHandle(handle);
    return ok;
}

Creation WriteNewFile(std::string_view path, std::string_view bytes, std::string& error) {
    const HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return Creation::kExists;
        error = Failure("无法创建文件", path, code);
        return Creation::kFailed;
    }
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        ok = WriteFile(handle, bytes.data() + done, chunk, &n, nullptr) && n > 0;
        done += n;
    }
    ok = ok && FlushFileBuffers(handle);
    if (!ok) error = Failure("无法写入文件", path, GetLastError());
    CloseHandle(handle);
    if (!ok) DeleteFileW(Wide(path).c_str());
    return ok ? Creation::kCreated : Creation::kFailed;
}

bool FlushFile(std::string_view path, std::string& error) {
    const HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool ok = handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
    if (!ok) error = Failure("无法把文件写到磁盘", path, GetLastError());
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    return ok;
}

bool ReplaceAtomically(std::string_view source, std::string_view target, std::string& error) {
    const std::wstring from = Wide(source), to = Wide(target);
    if (!RetryingConflicts([&] {
            return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        })) {
        error = Failure("无法替换文件", target, GetLastError());
        return false;
    }
    return true;
}

}  // namespace dg::store::platform
