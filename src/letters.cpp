#include "letters.h"

#include <clocale>
#include <cstring>
#include <string>

#include <langinfo.h>
#include <unistd.h>

const char* letterText(Letter letter, Encoding encoding) {
    if (encoding == Encoding::Utf8) {
        switch (letter) {
            case Letter::Beta: return "\xCE\xB2";   // U+03B2
            case Letter::Theta: return "\xCE\x98";  // U+0398
            case Letter::Phi: return "\xCF\x86";    // U+03C6
        }
    }
    switch (letter) {
        case Letter::Beta: return "\xE1";
        case Letter::Theta: return "\xE9";
        case Letter::Phi: return "\xED";
    }
    return "";
}

Encoding encodingFor(bool terminal, const char* codeset) {
    if (terminal && codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0) return Encoding::Utf8;
    return Encoding::Cp437;
}

Encoding encodingOfDescriptor(int fd) {
    if (isatty(fd) == 0) return encodingFor(false, nullptr);
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = current != nullptr ? current : "C";
    const char* codeset = nullptr;
    std::string name;
    if (std::setlocale(LC_CTYPE, "") != nullptr) {
        name = nl_langinfo(CODESET);
        codeset = name.c_str();
    }
    std::setlocale(LC_CTYPE, saved.c_str());
    return encodingFor(true, codeset);
}
