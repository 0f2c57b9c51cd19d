#include "outputfile.h"

#include <cerrno>
#include <cstring>

namespace {

std::string errnoText() { return std::strerror(errno); }

}  // namespace

OutputFile::~OutputFile() {
    if (f_ != nullptr) std::fclose(f_);
}

bool OutputFile::open(const std::string& path, const char* mode) {
    path_ = path;
    f_ = std::fopen(path.c_str(), mode);
    if (f_ == nullptr) error_ = errnoText();
    return f_ != nullptr;
}

bool OutputFile::write(const std::string& text) {
    if (f_ == nullptr || !error_.empty()) return false;
    if (std::fwrite(text.data(), 1, text.size(), f_) != text.size()) error_ = errnoText();
    return error_.empty();
}

bool OutputFile::flush() {
    if (f_ == nullptr || !error_.empty()) return false;
    if (std::fflush(f_) != 0) error_ = errnoText();
    return error_.empty();
}

bool OutputFile::close() {
    if (f_ == nullptr) return error_.empty();
    const bool flushed = std::fflush(f_) == 0;
    if (!flushed && error_.empty()) error_ = errnoText();
    if (std::fclose(f_) != 0 && error_.empty()) error_ = errnoText();
    f_ = nullptr;
    return error_.empty();
}
