#include "checkedoutput.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

void CheckedFileOutput::fail(int error) {
    if (failed_) return;
    failed_ = true;
    if (onFailure_) onFailure_(error == 0 ? EIO : error);
}

void CheckedFileOutput::write(const char* data, std::size_t size) {
    if (failed_ || file_ == nullptr || size == 0) return;
    errno = 0;
    if (std::fwrite(data, 1, size, file_) != size) fail(errno);
}

void CheckedFileOutput::flush() {
    if (failed_ || file_ == nullptr) return;
    errno = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_) != 0) fail(errno);
}

void CheckedFileOutput::close() {
    if (file_ == nullptr) return;
    std::FILE* file = file_;
    file_ = nullptr;
    if (failed_) {
        std::fclose(file);
        return;
    }
    // A stream can fail without a failing call since the last check (an
    // error flag left by an earlier write), and closing itself can fail: the
    // last buffered bytes are written then.  Both count.
    const bool earlier = std::ferror(file) != 0;
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    if (earlier || !closed) fail(errno);
}

std::string writeErrorMessage(int error) {
    return std::string("zelkor: write error: ") + std::strerror(error) + "\n";
}

void exitOnWriteError(int error) {
    const std::string message = writeErrorMessage(error);
    // Unbuffered and async-safe: the process ends right after.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message.data(), message.size());
    std::_Exit(1);
}
