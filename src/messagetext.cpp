#include "messagetext.h"

#include <cstdio>

#include "utf8.h"

namespace {

// Characters that show nothing or reorder what follows: they would hide or
// disguise an echoed field.
bool isInvisible(char32_t c) {
    return (c >= 0x80 && c <= 0x9F) || c == 0xAD || c == 0x061C || c == 0x180E ||
           (c >= 0x200B && c <= 0x200F) || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB);
}

void appendHex(std::string& out, const char* format, unsigned value) {
    char buffer[16];
    const int n = std::snprintf(buffer, sizeof buffer, format, value);
    out.append(buffer, static_cast<std::size_t>(n));
}

// Appends the character at `at` as printableText shows it; returns its length.
std::size_t appendPrintable(std::string& out, std::string_view bytes, std::size_t at) {
    const Utf8Character c = nextCharacter(bytes, at);
    if (!c.valid) {
        appendHex(out, "\\x%02x", static_cast<unsigned char>(bytes[at]));
    } else if (c.codePoint == '\t') {
        out += "\\t";
    } else if (c.codePoint == '\n') {
        out += "\\n";
    } else if (c.codePoint == '\r') {
        out += "\\r";
    } else if (c.codePoint < 0x20 || c.codePoint == 0x7F) {
        appendHex(out, "\\x%02x", static_cast<unsigned>(c.codePoint));
    } else if (isInvisible(c.codePoint)) {
        appendHex(out, "\\u%04X", static_cast<unsigned>(c.codePoint));
    } else {
        out.append(bytes.substr(at, c.length));
    }
    return c.length;
}

}  // namespace

std::string printableText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) at += appendPrintable(out, bytes, at);
    return out;
}

std::string quotedExcerpt(std::string_view bytes, std::size_t characters) {
    std::string out = "'";
    std::size_t at = 0;
    for (std::size_t n = 0; at < bytes.size() && n < characters; ++n) at += appendPrintable(out, bytes, at);
    out += '\'';
    if (at < bytes.size()) out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

std::string sizeText(std::uint64_t bytes) {
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    int unit = 0;
    std::uint64_t scale = 1024;
    while (unit < 5 && bytes / scale >= 1024) scale *= 1024, ++unit;
    char buffer[32];
    if (bytes % scale == 0)
        std::snprintf(buffer, sizeof buffer, "%llu %s", static_cast<unsigned long long>(bytes / scale),
                      kUnits[unit]);
    else
        std::snprintf(buffer, sizeof buffer, "%.1f %s", static_cast<double>(bytes) / static_cast<double>(scale),
                      kUnits[unit]);
    return buffer;
}

void ErrorReport::add(std::string_view line) {
    if (count_ < shown_) err_ << printableText(line) << '\n';
    ++count_;
}

void ErrorReport::finish(std::string_view prefix) {
    if (count_ <= shown_) return;
    const int more = count_ - shown_;
    err_ << printableText(prefix) << "and " << more << (more == 1 ? " more error\n" : " more errors\n");
}
