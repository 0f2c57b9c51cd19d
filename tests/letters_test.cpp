// The Greek letters in both encodings, the choice of encoding, and a whole
// session written in UTF-8.
#include "letters.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <string>

#include "dialogue.h"

namespace {

TEST(Letters, CodePage437IsOneByteEach) {
    EXPECT_EQ(std::string(letterText(Letter::Beta, Encoding::Cp437)), "\xE1");
    EXPECT_EQ(std::string(letterText(Letter::Theta, Encoding::Cp437)), "\xE9");
    EXPECT_EQ(std::string(letterText(Letter::Phi, Encoding::Cp437)), "\xED");
}

TEST(Letters, Utf8IsTheGreekCodePoint) {
    EXPECT_EQ(std::string(letterText(Letter::Beta, Encoding::Utf8)), "\u03B2");
    EXPECT_EQ(std::string(letterText(Letter::Theta, Encoding::Utf8)), "\u0398");
    EXPECT_EQ(std::string(letterText(Letter::Phi, Encoding::Utf8)), "\u03C6");
}

TEST(Letters, OnlyAUtf8TerminalGetsUtf8) {
    EXPECT_EQ(encodingFor(true, "UTF-8"), Encoding::Utf8);
    EXPECT_EQ(encodingFor(false, "UTF-8"), Encoding::Cp437);
    EXPECT_EQ(encodingFor(true, "ANSI_X3.4-1968"), Encoding::Cp437);
    EXPECT_EQ(encodingFor(true, "ISO-8859-7"), Encoding::Cp437);
    EXPECT_EQ(encodingFor(true, nullptr), Encoding::Cp437);
}

TEST(Letters, PipeIsNoTerminalAndTheLocaleIsLeftAlone) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string before = std::setlocale(LC_CTYPE, nullptr);
    EXPECT_EQ(encodingOfDescriptor(fds[1]), Encoding::Cp437);
    EXPECT_EQ(encodingOfDescriptor(-1), Encoding::Cp437);
    EXPECT_EQ(std::string(std::setlocale(LC_CTYPE, nullptr)), before);
    close(fds[0]);
    close(fds[1]);
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// An MA run then an AR run: every prompt letter, every echo letter and the
// warning appear.
const std::string kSession = "1\n\n4 3 0.1 1 0 1 1 0 0.4\n\n4 3 0.1 1 0 1 1 0.5\n";

std::string sessionIn(Encoding encoding) {
    StringInput in(kSession);
    StringOutput out;
    out.setEncoding(encoding);
    EXPECT_EQ(runDialogue(in, out, 1), 0);
    return out.text();
}

TEST(Letters, Utf8SessionDiffersOnlyInTheLetters) {
    const std::string bytes = sessionIn(Encoding::Cp437);
    const std::string utf8 = sessionIn(Encoding::Utf8);
    std::string mapped = replaceAll(bytes, "\xE1", "\u03B2");
    mapped = replaceAll(mapped, "\xE9", "\u0398");
    mapped = replaceAll(mapped, "\xED", "\u03C6");
    EXPECT_EQ(utf8, mapped);
    // Where the letters stand: prompts, echo and warning.
    for (const char* piece : {"baseline trend\t\u03B2" "1 =\t", "slope-change   \t\u03B2" "3 =\t",
                              "autocorr (AR1) \t\u03C6" "1 =\t", "autocorr (MA1) \t\u0398" "1 =\t",
                              "\u03B2" "2\t 1.00", "\u03C6" "1\t 0.50", "\u0398" "1\t 0.40",
                              "ONLY \u03C6 OR \u0398. The"})
        EXPECT_NE(utf8.find(piece), std::string::npos) << piece;
    for (char byte : {'\xE1', '\xE9', '\xED'}) EXPECT_EQ(utf8.find(byte), std::string::npos);
    EXPECT_NE(bytes.find("\xE1"), std::string::npos);
}

}  // namespace
