// The Greek letters of the prompts, the parameter echo and the warning, and
// the encodings they can be written in.
#pragma once

// Each letter's value is its byte in code page 437.
enum class Letter : unsigned char { Beta = 225, Theta = 233, Phi = 237 };

enum class Encoding {
    Cp437,  // one byte per letter: the program's defined output
    Utf8    // what a UTF-8 terminal shows as the letter
};

// The bytes that write letter in encoding, as a C string.
const char* letterText(Letter letter, Encoding encoding);

// The encoding for an output that is (or is not) a terminal whose locale has
// the given character set name (nl_langinfo(CODESET)); null when the locale
// cannot be set.  Only a UTF-8 terminal gets UTF-8.
Encoding encodingFor(bool terminal, const char* codeset);

// The encoding for file descriptor fd: asks isatty and, for a terminal only,
// the character set of the environment's locale.  The process's locale is
// left as it was, so reading entries never depends on it.
Encoding encodingOfDescriptor(int fd);
