#include "utf8.h"

Utf8Character nextCharacter(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return {true, lead, 1};

    // The lead byte gives the length, the smallest code point of that length
    // (shorter encodings are overlong) and the lead's payload bits.
    std::size_t length = 0;
    char32_t smallest = 0;
    char32_t point = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, smallest = 0x80, point = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, smallest = 0x800, point = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, smallest = 0x10000, point = lead & 0x07u;
    } else {
        return {};  // a continuation byte, C0/C1 (always overlong) or F5..FF
    }
    if (text.size() - at < length) return {};
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(at + k);
        if ((next & 0xC0u) != 0x80u) return {};
        point = (point << 6) | (next & 0x3Fu);
    }
    if (point < smallest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return {};
    return {true, point, length};
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Utf8Character c = nextCharacter(text, at);
        if (!c.valid) return false;
        at += c.length;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    const auto put = [&](unsigned value) { out += static_cast<char>(value); };
    if (cp < 0x80) {
        put(static_cast<unsigned>(cp));
    } else if (cp < 0x800) {
        put(0xC0u | static_cast<unsigned>(cp >> 6));
        put(0x80u | static_cast<unsigned>(cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0u | static_cast<unsigned>(cp >> 12));
        put(0x80u | static_cast<unsigned>((cp >> 6) & 0x3F));
        put(0x80u | static_cast<unsigned>(cp & 0x3F));
    } else {
        put(0xF0u | static_cast<unsigned>(cp >> 18));
        put(0x80u | static_cast<unsigned>((cp >> 12) & 0x3F));
        put(0x80u | static_cast<unsigned>((cp >> 6) & 0x3F));
        put(0x80u | static_cast<unsigned>(cp & 0x3F));
    }
}
