#pragma once
// The few operating-system calls the store needs, one implementation per
// platform (store/posix/, store/win32/). Texts they take and return are UTF-8;
// a name is relative or absolute, with '\' or '/' as separator. Where the
// platform converts a name it throws StoreError for text that is not UTF-8.
// (The Windows build keeps std::filesystem out: its path type alone links
// the whole locale and iostream machinery of the static C++ runtime.)
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace dg::store::platform {

enum class Creation { kCreated, kExists, kFailed };

// Creates an empty file that did not exist, atomically: an entry of that name,
// even one made a moment ago by another process, is never opened or
// truncated. On kFailed, `error` holds the system's description.
Creation CreateNewFile(std::string_view name, std::string& error);

enum class EntryKind { kNone, kFile, kFolder, kOther };
// What the entry of that name is; kNone also when it cannot be examined.
EntryKind KindOf(std::string_view name);

// Creates one folder; kExists for any existing entry. On kFailed, `error`
// holds the system's description.
Creation MakeFolder(std::string_view name, std::string& error);

// The name made absolute against the current working directory, for
// failure texts: a host's database follows its working directory, and the
// full name shows which one. The name as given where it cannot be made so.
std::string FullName(std::string_view name);

// Removes a file, quietly: for clearing up after a failed step.
void RemoveFile(std::string_view name);

// The name with the platform's own separator, as SQLite takes it.
std::string NativeName(std::string_view name);

// One reading of the local wall clock. Never touches the heap.
struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime ReadLocalTime() noexcept;

// The system's description of an error code (errno; GetLastError on
// Windows, in the user's language), in UTF-8.
std::string SystemErrorText(int code);

// The lock under which one of our processes upgrades a database file in
// place; every other process (or thread) that wants to upgrade the same file
// waits for it. Released when destroyed.
class UpgradeLock {
public:
    // Waits up to `timeoutMs`. Returns null, with the reason in `error`, when
    // the wait ends without the lock.
    static std::unique_ptr<UpgradeLock> Acquire(std::string_view file, int timeoutMs, std::string& error);
    ~UpgradeLock();
    UpgradeLock(const UpgradeLock&) = delete;
    UpgradeLock& operator=(const UpgradeLock&) = delete;
    // Whether the name still names the file it named when Acquire began: a
    // process that held the lock before may have replaced it meanwhile.
    // Looks without opening the file anew where that would drop this
    // process's locks on it.
    bool StillTheSameFile() const;

private:
    UpgradeLock() = default;
    std::intptr_t handle_ = -1;
    std::string file_;  // UTF-8
    std::uint64_t identity_[2] = {0, 0};
};

enum class ReadResult { kRead, kInUse, kFailed };
// Reads the whole of `file` unless another program is using it or holds its
// lock file `lockFile` (the Jet engine keeps one beside every database it has
// open): kInUse then, and nothing is read.
ReadResult ReadUnshared(std::string_view file, std::string_view lockFile, std::string& bytes, std::string& error);

// Writes `bytes` to a file that did not exist (an existing entry is never
// opened: kExists), and flushes it to the disk.
Creation WriteNewFile(std::string_view name, std::string_view bytes, std::string& error);

// Reads a whole file. False with the system's description on failure.
bool ReadWholeFile(std::string_view name, std::string& bytes, std::string& error);

// Flushes a file's contents to the disk.
bool FlushFile(std::string_view name, std::string& error);

// Puts `source` in the place of `target` in one atomic step, so that `target`
// names either the old file or the new one at every moment.
bool ReplaceAtomically(std::string_view source, std::string_view target, std::string& error);

}  // namespace dg::store::platform
