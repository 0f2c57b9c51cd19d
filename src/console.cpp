#include "console.h"

#include <cstdarg>
#include <vector>

int FileInput::get() {
    const int c = std::getc(file_);
    return c == EOF ? -1 : c;
}

int StringInput::get() {
    if (pos_ >= text_.size()) return -1;
    return static_cast<unsigned char>(text_[pos_++]);
}

void writeText(Output& out, const std::string& text) { out.write(text.data(), text.size()); }

void writeFormat(Output& out, const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int size = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (size < 0) return;
    if (static_cast<std::size_t>(size) < sizeof buffer) {
        out.write(buffer, static_cast<std::size_t>(size));
        return;
    }
    std::vector<char> big(static_cast<std::size_t>(size) + 1);
    va_start(args, format);
    std::vsnprintf(big.data(), big.size(), format, args);
    va_end(args);
    out.write(big.data(), static_cast<std::size_t>(size));
}
