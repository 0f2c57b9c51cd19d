#include "jsontext.h"

#include "utf8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char kHex[] = "0123456789ABCDEF";

bool isPlainAscii(unsigned char c) { return c >= 0x20 && c <= 0x7E && c != '%'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string jsonText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const Utf8Character c = nextCharacter(bytes, at);
        if (c.valid)
            out.append(bytes.substr(at, c.length));
        else
            appendUtf8(out, kReplacement);
        at += c.length;
    }
    return out;
}

std::string exactText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (isPlainAscii(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

bool bytesOfExactText(std::string_view text, std::string& bytes) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (isPlainAscii(c)) {
            out += text[i];
            continue;
        }
        if (c != '%' || text.size() - i < 3) return false;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    bytes = std::move(out);
    return true;
}
