#pragma once
// The few operating-system calls the store needs, one implementation per
// platform (store/posix/, store/win/). Texts they take and return are UTF-8;
// a name is relative or absolute, with '\' or '/' as separator. Where the
// platform converts a name it throws StoreError for text that is not UTF-8.
// (The Windows build keeps std::filesystem out: its path type alone links
// the whole locale and iostream machinery of the static C++ runtime.)
#include <string>
#include <string_view>
#include <system_error>

namespace dg::store::platform {

enum class Creation { kCreated, kExists, kFailed };

// Creates an empty file that did not exist, atomically: an entry of that name,
// even one made a moment ago by another process, is never opened or
// truncated. On kFailed, `error` holds the system's description.
Creation CreateNewFile(std::string_view name, std::string& error);

enum class EntryKind { kNone, kFile, kFolder, kOther };
// What the entry of that name is; kNone also when it cannot be examined.
EntryKind KindOf(std::string_view name);

// Creates one folder; the failure's code (file_exists for any existing entry).
std::error_code MakeFolder(std::string_view name);

// Removes a file, quietly: for clearing up after a failed step.
void RemoveFile(std::string_view name);

// The name with the platform's own separator, as SQLite takes it.
std::string NativeName(std::string_view name);

// One reading of the local wall clock. Never touches the heap.
struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime ReadLocalTime() noexcept;

// The description of a failure reported by the file system, in UTF-8.
std::string ErrorText(const std::error_code& error);

}  // namespace dg::store::platform
