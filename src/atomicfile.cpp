#include "atomicfile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "messagetext.h"

namespace {

constexpr std::size_t kNameMax = 255;
constexpr std::string_view kSuffix = ".tmp-";
constexpr int kRandomLetters = 6;
constexpr int kAttempts = 100;

std::string reason() { return std::strerror(errno); }

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Six letters and digits, from the kernel's generator when it answers.
std::string randomLetters() {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[kRandomLetters] = {};
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (static_cast<unsigned long long>(::getpid()) << 32);
        for (unsigned char& b : bytes) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            b = static_cast<unsigned char>(seed >> 56);
        }
    }
    std::string out;
    for (const unsigned char b : bytes) out += kAlphabet[b % (sizeof kAlphabet - 1)];
    return out;
}

// The target's name with room for the suffix.
std::string temporaryStem(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t room = kNameMax - kSuffix.size() - kRandomLetters;
    const std::size_t nameLength = std::min(target.size() - nameStart, room);
    return target.substr(0, nameStart + nameLength) + std::string(kSuffix);
}

bool syncDescriptor(int fd) {
    while (::fsync(fd) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

std::optional<PendingFile> PendingFile::beside(const std::string& target, std::string& error) {
    const std::string stem = temporaryStem(target);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string path = stem + randomLetters();
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) return PendingFile(target, std::move(path), fd);
        if (errno != EEXIST) break;
    }
    error = "cannot create a file beside " + printableText(target) + ": " + reason();
    return std::nullopt;
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : target_(std::move(other.target_)), path_(std::move(other.path_)), fd_(other.fd_), done_(other.done_) {
    other.fd_ = -1;
    other.done_ = true;
}

bool PendingFile::write(std::string_view text, std::string& error) {
    if (fd_ < 0 || writeAll(fd_, text)) return fd_ >= 0;
    error = "cannot write " + printableText(path_) + ": " + reason();
    return false;
}

bool PendingFile::commit(std::string& error) {
    if (done_ || fd_ < 0) {
        error = "cannot write " + printableText(target_) + ": the file was already finished";
        return false;
    }
    const bool synced = syncDescriptor(fd_);
    const int syncError = errno;
    const bool closed = ::close(fd_) == 0;
    const int closeError = errno;
    fd_ = -1;
    if (!synced || !closed) {
        error = "cannot write " + printableText(path_) + ": " + std::strerror(synced ? closeError : syncError);
        discard();
        return false;
    }
    if (::rename(path_.c_str(), target_.c_str()) != 0) {
        error = "cannot rename " + printableText(path_) + " to " + printableText(target_) + ": " + reason();
        discard();
        return false;
    }
    done_ = true;
    return syncDirectoryOf(target_, error);
}

void PendingFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!done_) ::unlink(path_.c_str());
    done_ = true;
}

bool writeFileAtomically(const std::string& target, std::string_view text, std::string& error) {
    std::optional<PendingFile> file = PendingFile::beside(target, error);
    return file && file->write(text, error) && file->commit(error);
}

bool syncFile(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = "cannot open " + printableText(path) + ": " + reason();
        return false;
    }
    const bool synced = syncDescriptor(fd);
    const int syncError = errno;
    ::close(fd);
    if (!synced) error = "cannot flush " + printableText(path) + " to disk: " + std::strerror(syncError);
    return synced;
}

bool syncDirectoryOf(const std::string& path, std::string& error) {
    const std::string directory = directoryOf(path);
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && (syncDescriptor(fd) || errno == EINVAL);
    const int syncError = errno;
    if (fd >= 0) ::close(fd);
    if (!synced)
        error = printableText(path) + " is in place, but its directory could not be flushed to disk (" +
                std::strerror(syncError) + "): it may not survive a crash";
    return synced;
}

int removeStaleTemporaries(const std::string& target) {
    const std::string stem = temporaryStem(target);
    const std::size_t slash = stem.rfind('/');
    const std::string directory = directoryOf(target);
    const std::string prefix = slash == std::string::npos ? stem : stem.substr(slash + 1);
    std::error_code ec;
    int removed = 0;
    for (std::filesystem::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != prefix.size() + kRandomLetters || name.compare(0, prefix.size(), prefix) != 0) continue;
        const bool letters = std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                                         [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
        std::error_code kindError;
        if (letters && it->symlink_status(kindError).type() == std::filesystem::file_type::regular &&
            ::unlink(it->path().c_str()) == 0)
            ++removed;
    }
    return removed;
}

bool finishFile(const std::string& from, const std::string& to, std::string& error) {
    if (!syncFile(from, error)) return false;
    if (::rename(from.c_str(), to.c_str()) != 0) {
        error = "cannot rename " + printableText(from) + " to " + printableText(to) + ": " + reason();
        return false;
    }
    return syncDirectoryOf(to, error);
}
