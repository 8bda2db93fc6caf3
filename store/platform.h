#pragma once
// The few operating-system calls the store needs, one implementation per
// platform (store/posix/, store/win/). Texts they return are UTF-8.
#include <filesystem>
#include <string>
#include <system_error>

namespace dg::store::platform {

enum class Creation { kCreated, kExists, kFailed };

// Creates an empty file that did not exist, atomically: an entry of that name,
// even one made a moment ago by another process, is never opened or
// truncated. On kFailed, `error` holds the system's description.
Creation CreateNewFile(const std::filesystem::path& path, std::string& error);

// One reading of the local wall clock. Never touches the heap.
struct LocalTime {
    int year, month, day, hour, minute, second;
};
LocalTime ReadLocalTime() noexcept;

// The description of a failure reported by the file system, in UTF-8.
std::string ErrorText(const std::error_code& error);

}  // namespace dg::store::platform
