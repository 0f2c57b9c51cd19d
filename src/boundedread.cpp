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

}  // namespace

bool readBoundedFile(const std::string& path, std::uint64_t limit, std::string& text, std::string& error) {
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
        text.append(buffer.data(), static_cast<std::size_t>(n));
    }
}
