#include "store/platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "base/failure_text.h"
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

std::string SystemErrorText(int code) { return std::strerror(code); }

EntryKind KindOf(std::string_view name) {
    std::error_code ec;
    const auto status = std::filesystem::status(PathFromUtf8(name), ec);
    if (ec || !std::filesystem::exists(status)) return EntryKind::kNone;
    if (std::filesystem::is_regular_file(status)) return EntryKind::kFile;
    return std::filesystem::is_directory(status) ? EntryKind::kFolder : EntryKind::kOther;
}

Creation MakeFolder(std::string_view name, std::string& error) {
    const std::filesystem::path path = PathFromUtf8(name);
    if (::mkdir(path.c_str(), 0777) == 0) return Creation::kCreated;
    const int err = errno;
    if (err == EEXIST) return Creation::kExists;
    error = std::strerror(err);
    return Creation::kFailed;
}

std::string FullName(std::string_view name) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(PathFromUtf8(name), ec);
    return ec ? std::string(name) : Utf8Of(full);
}

void RemoveFile(std::string_view name) {
    std::error_code ignored;
    std::filesystem::remove(PathFromUtf8(name), ignored);  // no conversion here, so nothing throws
}

std::string NativeName(std::string_view name) { return Utf8Of(PathFromUtf8(name)); }

namespace {

// "<sentence>“<path>”：<system text>", the sentence saying what could not be done.
std::string Errno(const char* sentence, const std::filesystem::path& path) {
    return FailureText(sentence + Quoted(path.string()), std::strerror(errno));
}

// Whether a process other than this one (or another open file of this one)
// holds any byte-range lock on the open file: the Jet engine locks ranges
// of its lock file and of the database while it has them open.
bool LockedByOthers(int fd) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;  // from 0 to the end, however far it goes
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
    return probe.l_type != F_UNLCK;
}

bool ReadAll(int fd, std::string& bytes) {
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

std::unique_ptr<UpgradeLock> UpgradeLock::Acquire(std::string_view name, int timeoutMs, std::string& error) {
    const std::filesystem::path file = PathFromUtf8(name);
    // flock belongs to the open file, not to the process: closing other
    // descriptors of the file (SQLite's) leaves it alone, and two threads
    // of one process exclude each other too.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = Errno("无法打开文件", file);
        return nullptr;
    }
    timespec start{}, now{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) break;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = Errno("无法锁定文件", file);
            ::close(fd);
            return nullptr;
        }
        clock_gettime(CLOCK_MONOTONIC, &now);
        if ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000 >= timeoutMs) {
            error = "另一个进程在 " + std::to_string(timeoutMs / 1000) + " 秒内没有完成升级";
            ::close(fd);
            return nullptr;
        }
        ::usleep(2000);
    }
    std::unique_ptr<UpgradeLock> lock(new UpgradeLock);
    lock->handle_ = fd;
    lock->file_ = Utf8Of(file);
    return lock;
}

bool UpgradeLock::StillTheSameFile() const {
    // stat, not open: closing a new descriptor of a database would drop the
    // locks that this process's SQLite connections hold on it.
    struct stat held {
    }, named{};
    if (::fstat(static_cast<int>(handle_), &held) != 0 || ::stat(file_.c_str(), &named) != 0) return false;
    return held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

UpgradeLock::~UpgradeLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));  // releases the flock
}

ReadResult ReadUnshared(std::string_view fileName, std::string_view lockFileName, std::string& bytes,
                        std::string& error) {
    const std::filesystem::path file = PathFromUtf8(fileName), lockFile = PathFromUtf8(lockFileName);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = Errno("无法打开文件", file);
        return ReadResult::kFailed;
    }
    bool inUse = LockedByOthers(fd);
    const int lockFd = inUse ? -1 : ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (lockFd >= 0) {
        inUse = LockedByOthers(lockFd);
        ::close(lockFd);
    }
    if (inUse) {
        ::close(fd);
        return ReadResult::kInUse;
    }
    const bool ok = ReadAll(fd, bytes);
    if (!ok) error = Errno("无法读取文件", file);
    ::close(fd);
    return ok ? ReadResult::kRead : ReadResult::kFailed;
}

bool ReadWholeFile(std::string_view name, std::string& bytes, std::string& error) {
    const std::filesystem::path path = PathFromUtf8(name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = Errno("无法打开文件", path);
        return false;
    }
    const bool ok = ReadAll(fd, bytes);
    if (!ok) error = Errno("无法读取文件", path);
    ::close(fd);
    return ok;
}

Creation WriteNewFile(std::string_view name, std::string_view bytes, std::string& error) {
    const std::filesystem::path path = PathFromUtf8(name);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST) return Creation::kExists;
        error = Errno("无法创建文件", path);
        return Creation::kFailed;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    if (!ok) error = Errno("无法写入文件", path);
    ::close(fd);
    if (!ok) ::unlink(path.c_str());
    return ok ? Creation::kCreated : Creation::kFailed;
}

bool FlushFile(std::string_view name, std::string& error) {
    const std::filesystem::path path = PathFromUtf8(name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (!ok) error = Errno("无法把文件写到磁盘", path);
    if (fd >= 0) ::close(fd);
    return ok;
}

bool ReplaceAtomically(std::string_view sourceName, std::string_view targetName, std::string& error) {
    const std::filesystem::path source = PathFromUtf8(sourceName), target = PathFromUtf8(targetName);
    if (::rename(source.c_str(), target.c_str()) != 0) {
        error = Errno("无法替换文件", target);
        return false;
    }
    // The new name lasts once the folder is on the disk too.
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace dg::store::platform
