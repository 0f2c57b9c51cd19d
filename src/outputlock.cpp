#include "outputlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "messagetext.h"

namespace {

// Takers that found the lock file replaced under them try again; more
// replacements than this in a row mean something else keeps changing it.
constexpr int kAttempts = 20;

std::string holderLine() {
    char host[HOST_NAME_MAX + 1] = {};
    if (::gethostname(host, sizeof host - 1) != 0) std::strcpy(host, "unknown");
    const std::time_t now = std::time(nullptr);
    std::tm utc {};
    char when[40] = "an unknown time";
    if (::gmtime_r(&now, &utc) != nullptr) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", &utc);
    return "process " + std::to_string(::getpid()) + " on host " + host + ", started " + when + "\n";
}

// The first line of the holder's lock file, as a message shows it.
std::string holderOf(int fd) {
    char buffer[256];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return {};
    std::string line(buffer, static_cast<std::size_t>(n));
    line = line.substr(0, line.find('\n'));
    return printableText(line);
}

bool unsupported(int error) { return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL; }

bool sameFile(int fd, const std::string& path) {
    struct stat mine {};
    struct stat named {};
    return ::fstat(fd, &mine) == 0 && ::lstat(path.c_str(), &named) == 0 && mine.st_dev == named.st_dev &&
           mine.st_ino == named.st_ino;
}

}  // namespace

OutputLock::OutputLock(const std::string& output) : lockPath_(lockPathOf(output)) {
    const std::string shown = printableText(lockPath_);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666);
        if (fd < 0) {
            message_ = "cannot open the lock file " + shown + ": " + std::strerror(errno);
            return;
        }
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            message_ = "the lock file " + shown + " is not a regular file";
            return;
        }
        int status;
        do status = ::flock(fd, LOCK_EX | LOCK_NB);
        while (status != 0 && errno == EINTR);
        if (status != 0) {
            const int error = errno;
            if (error == EWOULDBLOCK) {
                state_ = State::Busy;
                const std::string holder = holderOf(fd);
                message_ = printableText(output) + " is being written by another run" +
                           (holder.empty() ? std::string() : " (" + holder + ")");
            } else {
                state_ = unsupported(error) ? State::Unsupported : State::Failed;
                message_ = "cannot lock " + shown + ": " + std::strerror(error) +
                           (state_ == State::Unsupported ? " (the file system does not support locks)" : "");
            }
            ::close(fd);
            return;
        }
        // The holder before us may have removed the file after we opened it:
        // then our lock guards nothing, and the name is tried again.
        if (!sameFile(fd, lockPath_)) {
            ::close(fd);
            continue;
        }
        const std::string line = holderLine();
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, line.data(), line.size(), 0) < 0) {
            // The lock holds all the same; only the holder's description is missing.
        }
        fd_ = fd;
        state_ = State::Held;
        return;
    }
    message_ = "cannot lock " + shown + ": it was replaced " + std::to_string(kAttempts) + " times while being locked";
}

OutputLock::OutputLock(OutputLock&& other) noexcept
    : lockPath_(std::move(other.lockPath_)),
      state_(other.state_),
      message_(std::move(other.message_)),
      fd_(other.fd_) {
    other.fd_ = -1;
    other.state_ = State::Failed;
}

OutputLock& OutputLock::operator=(OutputLock&& other) noexcept {
    if (this != &other) {
        release();
        lockPath_ = std::move(other.lockPath_);
        state_ = other.state_;
        message_ = std::move(other.message_);
        fd_ = other.fd_;
        other.fd_ = -1;
        other.state_ = State::Failed;
    }
    return *this;
}

void OutputLock::release() {
    if (fd_ < 0) return;
    // Removed while still held, so that no one can take the lock on a file
    // that is about to lose its name.
    if (sameFile(fd_, lockPath_)) ::unlink(lockPath_.c_str());
    ::close(fd_);
    fd_ = -1;
    state_ = State::Released;
    message_.clear();
}
