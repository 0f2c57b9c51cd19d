// Text from a hostile file on its way into a gnuplot script, a message or a
// JSON string, and a hostile file taken for a picture.  For any bytes:
// - gnuplotString is one line of single-quoted literals joined by ."'".,
//   in which every doubled quote follows a character that is not a quote
//   (the only place gnuplot reads it as one quote), and which reads back as
//   gnuplotShown of the bytes: valid UTF-8 without control characters;
// - printableText is valid UTF-8 without control bytes and escaping it again
//   changes nothing; quotedExcerpt stays short;
// - jsonText is valid UTF-8 and exactText gives back the very bytes;
// - pictureProblem reads the bytes as SVG and as PNG without fault, and
//   passes a PNG only when it ends with the IEND chunk.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "gnuplottext.h"
#include "jsontext.h"
#include "messagetext.h"
#include "picturecheck.h"
#include "utf8.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "invariant failed: %s\n", what);
    std::abort();
}

bool hasControl(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Character c = nextCharacter(text, at);
        if (c.valid && (c.codePoint < 0x20 || (c.codePoint >= 0x7F && c.codePoint <= 0x9F))) return true;
        at += c.length;
    }
    return false;
}

// Reads a gnuplotString expression back as gnuplot does; false when it is
// not one.
bool readBack(std::string_view expr, std::string& text) {
    constexpr std::string_view kJoin = ".\"'\".";
    std::size_t at = 0;
    for (;;) {
        if (at >= expr.size() || expr[at] != '\'') return false;
        ++at;
        bool afterQuote = true;  // the opening quote counts as one
        for (;;) {
            if (at >= expr.size()) return false;
            if (expr[at] != '\'') {
                text += expr[at++];
                afterQuote = false;
            } else if (at + 1 < expr.size() && expr[at + 1] == '\'') {
                if (afterQuote) return false;  // gnuplot would not read this as one quote
                text += '\'';
                at += 2;
                afterQuote = true;
            } else {
                ++at;
                break;
            }
        }
        if (at == expr.size()) return true;
        if (expr.substr(at, kJoin.size()) != kJoin) return false;
        text += '\'';
        at += kJoin.size();
    }
}

void checkPicture(std::string_view bytes) {
    const int fd = ::memfd_create("picture", 0);
    if (fd < 0) return;
    if (::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size())) {
        (void)plot::pictureProblem(fd, plot::ImageFormat::Svg);
        if (plot::pictureProblem(fd, plot::ImageFormat::Png).empty()) {
            check(bytes.size() >= 20 && bytes.substr(bytes.size() - 8) == std::string_view("IEND\xae\x42\x60\x82", 8),
                  "a passed PNG ends with its IEND chunk");
        }
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const std::string expr = plot::gnuplotString(bytes);
    const std::string shown = plot::gnuplotShown(bytes);
    check(isValidUtf8(shown) && !hasControl(shown), "the shown form is printable UTF-8");
    check(expr.find_first_of("\n\r") == std::string::npos, "the expression is one line");
    std::string back;
    check(readBack(expr, back) && back == shown, "the expression reads back as the shown form");

    const std::string printable = printableText(bytes);
    check(isValidUtf8(printable), "printable text is UTF-8");
    for (const char c : printable) check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "no control bytes");
    check(printableText(printable) == printable, "escaping twice changes nothing");
    check(quotedExcerpt(bytes).size() <= 2 + 6 * kExcerptCharacters + 32, "an excerpt is short");

    check(isValidUtf8(jsonText(bytes)), "JSON text is UTF-8");
    std::string exact;
    check(bytesOfExactText(exactText(bytes), exact) && exact == bytes, "exact text gives back the bytes");

    checkPicture(bytes);
    return 0;
}
