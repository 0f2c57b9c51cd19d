#include "picturecheck.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace plot {

namespace {

constexpr std::size_t kHead = 4096;
constexpr std::size_t kTail = 256;
constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);
constexpr std::string_view kIendCrc("\xae\x42\x60\x82", 4);

bool endsWithIgnoringCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = s[s.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

// Reads up to `size` bytes at `offset`; false on a read error.
bool readAt(int fd, std::uint64_t offset, std::size_t size, std::string& out) {
    out.assign(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, out.data() + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return true;
}

std::string unreadable() { return std::string("a picture that cannot be read: ") + std::strerror(errno); }

bool isBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

std::string svgProblem(int fd, std::uint64_t size) {
    std::string head;
    std::string tail;
    if (!readAt(fd, 0, kHead, head)) return unreadable();
    if (head.find("<svg") == std::string::npos) return "a picture without the SVG root element";
    const std::uint64_t tailStart = size > kTail ? size - kTail : 0;
    if (!readAt(fd, tailStart, kTail, tail)) return unreadable();
    while (!tail.empty() && isBlank(tail.back())) tail.pop_back();
    if (!endsWithIgnoringCase(tail, "</svg>")) return "an incomplete picture (the SVG ends before its closing </svg>)";
    return {};
}

std::uint32_t bigEndian(std::string_view b) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(b[static_cast<std::size_t>(i)]);
    return v;
}

std::string pngProblem(int fd, std::uint64_t size) {
    std::string bytes;
    if (!readAt(fd, 0, kPngSignature.size(), bytes)) return unreadable();
    if (bytes != kPngSignature) return "a file that is not a PNG picture";
    std::uint64_t at = kPngSignature.size();
    bool first = true;
    // Each chunk: length (4 bytes, at most 2^31 - 1), type (4), data, CRC (4).
    while (at < size) {
        if (size - at < 12) return "an incomplete picture (the PNG ends inside a chunk)";
        if (!readAt(fd, at, 8, bytes) || bytes.size() != 8) return unreadable();
        const std::uint32_t length = bigEndian(bytes);
        const std::string_view type = std::string_view(bytes).substr(4, 4);
        if (length > 0x7FFFFFFFu || (first && (type != "IHDR" || length != 13)))
            return "a file that is not a PNG picture";
        if (size - at - 12 < length) return "an incomplete picture (the PNG ends inside a chunk)";
        if (type == "IEND") {
            std::string crc;
            if (length != 0 || !readAt(fd, at + 8, 4, crc) || crc != kIendCrc)
                return "a file that is not a PNG picture";
            if (at + 12 != size) return "a PNG picture with bytes after its IEND chunk";
            return {};
        }
        at += 12 + std::uint64_t{length};
        first = false;
    }
    return "an incomplete picture (the PNG has no IEND chunk)";
}

}  // namespace

std::optional<ImageFormat> imageFormatOf(std::string_view path) {
    if (path.size() > 4 && endsWithIgnoringCase(path, ".svg")) return ImageFormat::Svg;
    if (path.size() > 4 && endsWithIgnoringCase(path, ".png")) return ImageFormat::Png;
    return std::nullopt;
}

std::string pictureProblem(int fd, ImageFormat format) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return unreadable();
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size == 0) return "an empty picture";
    return format == ImageFormat::Svg ? svgProblem(fd, size) : pngProblem(fd, size);
}

}  // namespace plot
