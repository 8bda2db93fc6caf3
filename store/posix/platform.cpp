#include "store/platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace dg::store::platform {

Creation CreateNewFile(const std::filesystem::path& path, std::string& error) {
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

}  // namespace dg::store::platform
