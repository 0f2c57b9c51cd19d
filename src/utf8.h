// Strict UTF-8 decoding, one character at a time, for the units that decide
// how bytes from a file may be shown or stored.
//
// Contract:
// - nextCharacter(text, at) looks at the bytes from `at` (at < text.size()).
//   A well-formed character (the shortest encoding of a code point up to
//   U+10FFFF that is not a surrogate) gives its code point and its length,
//   1 to 4.  Anything else gives valid == false and length 1: the one byte
//   at `at`, so a caller that steps by `length` sees every byte once.
// - isValidUtf8(text) is true when every character is well formed.
// - appendUtf8 writes a code point (at most U+10FFFF, not a surrogate) as
//   UTF-8.
// No allocation except appendUtf8's; no locale.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct Utf8Character {
    bool valid = false;
    char32_t codePoint = 0;  // 0 when not valid
    std::size_t length = 1;  // bytes taken
};

Utf8Character nextCharacter(std::string_view text, std::size_t at);

bool isValidUtf8(std::string_view text);

void appendUtf8(std::string& out, char32_t codePoint);
