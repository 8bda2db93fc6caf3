#include "store/platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "store/paths.h"

namespace dg::store::platform {

Creation CreateNewFile(std::string_view name, std::string& error) {
    const std::filesystem::path path = PathFromUtf8(name);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int err = errno;
        if (err == EEXIST) return Creation::kExists;
        error = std::strerror(err);
        return Creation::kFailed;
    }
    ::close(fd);
    return Creation::kCreated;
}

LocalTime ReadLocalTime() noexcept {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::string ErrorText(const std::error_code& error) { return error.message(); }

EntryKind KindOf(std::string_view name) {
    std::error_code ec;
    const auto status = std::filesystem::status(PathFromUtf8(name), ec);
    if (ec || !std::filesystem::exists(status)) return EntryKind::kNone;
    if (std::filesystem::is_regular_file(status)) return EntryKind::kFile;
    return std::filesystem::is_directory(status) ? EntryKind::kFolder : EntryKind::kOther;
}

std::error_code MakeFolder(std::string_view name) {
    std::error_code ec;
    if (!std::filesystem::create_directory(PathFromUtf8(name), ec) && !ec)
        ec = std::make_error_code(std::errc::file_exists);
    return ec;
}

void RemoveFile(std::string_view name) {
    std::error_code ignored;
    std::filesystem::remove(PathFromUtf8(name), ignored);  // no conversion here, so nothing throws
}

std::string NativeName(std::string_view name) { return Utf8Of(PathFromUtf8(name)); }

}  // namespace dg::store::platform
