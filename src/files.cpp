#include "files.h"

#include <cerrno>
#include <cstring>

namespace {

std::string errnoText() { return std::strerror(errno); }

}  // namespace

bool readTextFile(const std::string& path, std::string& text, std::string& error, std::size_t maxBytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        error = errnoText();
        return false;
    }
    text.clear();
    char buf[1 << 16];
    std::size_t n = 0;
    bool tooLarge = false;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (n > maxBytes - text.size()) {
            tooLarge = true;
            break;
        }
        text.append(buf, n);
    }
    const bool failed = std::ferror(f) != 0;
    if (failed) error = errnoText();
    if (tooLarge) error = "the file is larger than " + std::to_string(maxBytes) + " bytes";
    std::fclose(f);
    return !failed && !tooLarge;
}

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

bool writeFileAtomically(const std::string& path, const std::string& text, std::string& error) {
    const std::string temp = path + ".tmp";
    OutputFile f;
    const bool opened = f.open(temp, "wb");
    if (!opened || !f.write(text) || !f.close()) {
        error = f.error();
        if (opened) std::remove(temp.c_str());
        return false;
    }
    if (renameFile(temp, path, error)) return true;
    std::remove(temp.c_str());
    return false;
}

bool renameFile(const std::string& from, const std::string& to, std::string& error) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    error = "cannot rename " + from + " to " + to + ": " + errnoText();
    return false;
}
