#include "boundedread.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "messagetext.h"

namespace {

constexpr std::size_t kChunk = 64 * 1024;

std::string tooLarge(std::uint64_t limit) {
    return "is larger than " + sizeText(limit) + ", the limit for one input file";
}

// Follows the lengths of the lines as chunks come; false at the first line
// longer than the limit.
class LineWatch {
public:
    explicit LineWatch(std::uint64_t limit) : limit_(limit) {}

    bool take(const char* bytes, std::size_t n) {
        if (limit_ == kNoLineLimit) return true;
        for (std::size_t i = 0; i < n; ++i) {
            if (bytes[i] == '\n' || bytes[i] == '\r') {
                if (!(bytes[i] == '\n' && previous_ == '\r')) ++line_;
                length_ = 0;
            } else if (++length_ > limit_) {
                return false;
            }
            previous_ = bytes[i];
        }
        return true;
    }

    std::string problem() const {
        return "has a line longer than " + sizeText(limit_) + " (line " + std::to_string(line_) +
               "), the limit for one line";
    }

private:
    std::uint64_t limit_;
    std::uint64_t length_ = 0;
    std::uint64_t line_ = 1;
    char previous_ = 0;
};

}  // namespace

bool readBoundedFile(const std::string& path, std::uint64_t limit, std::string& text, std::string& error,
                     std::uint64_t lineLimit) {
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = std::string("cannot be opened: ") + std::strerror(errno);
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        error = "is a directory";
        return false;
    }
    if (S_ISREG(info.st_mode)) {
        if (static_cast<std::uint64_t>(info.st_size) > limit) {
            error = tooLarge(limit);
            return false;
        }
        text.reserve(static_cast<std::size_t>(info.st_size));
    }

    std::string buffer(kChunk, '\0');
    LineWatch lines(lineLimit);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::string("cannot be read: ") + std::strerror(errno);
            text.clear();
            return false;
        }
        if (n == 0) return true;
        if (text.size() + static_cast<std::size_t>(n) > limit) {
            error = tooLarge(limit);
            text.clear();
            text.shrink_to_fit();
            return false;
        }
        if (!lines.take(buffer.data(), static_cast<std::size_t>(n))) {
            error = lines.problem();
            text.clear();
            text.shrink_to_fit();
            return false;
        }
        text.append(buffer.data(), static_cast<std::size_t>(n));
    }
}
