// Text from files made printable for messages and valid for JSON: strict
// UTF-8 decoding, escapes, excerpts, the error tally, and bytes kept exactly.
#include "jsontext.h"
#include "messagetext.h"
#include "utf8.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <random>
#include <sstream>
#include <string>

namespace {

// An independent judge of UTF-8: glibc's converter refuses malformed
// sequences; it takes code points past U+10FFFF, which are refused here.
bool iconvAcceptsUtf8(const std::string& text) {
    iconv_t cd = ::iconv_open("UTF-32LE", "UTF-8");
    std::string copy = text;
    std::string out(text.size() * 4 + 4, '\0');
    char* in = copy.data();
    std::size_t inLeft = copy.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    ::iconv_close(cd);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0) return false;
    for (std::size_t at = 0; at + 4 <= out.size() - outLeft; at += 4) {
        std::uint32_t c = 0;
        for (int k = 3; k >= 0; --k) c = (c << 8) | static_cast<unsigned char>(out[at + static_cast<std::size_t>(k)]);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    }
    return true;
}

std::string randomBytes(std::mt19937& gen, std::size_t maxLength) {
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    // Mostly bytes that start or continue multi-byte characters.
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s(length(gen), '\0');
    for (char& c : s) {
        const int b = byte(gen);
        c = static_cast<char>(b < 64 ? 0x80 + b : b < 96 ? 0xC0 + (b - 64) : b < 128 ? 0xE0 + (b - 96) % 21 : b);
    }
    return s;
}

}  // namespace

// ---- UTF-8 ---------------------------------------------------------------------------

TEST(Utf8, RefusesOverlongSurrogatesAndTruncatedCharacters) {
    for (const char* bad : {"\xc0\xaf", "\xc1\xbf", "\xe0\x80\xaf", "\xf0\x80\x80\xaf", "\xed\xa0\x80", "\xed\xbf\xbf",
                            "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\xff", "\x80", "\xe2\x82", "\xf0\x9f\x98"}) {
        EXPECT_FALSE(isValidUtf8(bad)) << printableText(bad);
        EXPECT_EQ(nextCharacter(bad, 0).length, 1u) << "a bad byte is stepped over alone";
    }
    EXPECT_TRUE(isValidUtf8("a\xc2\x80\xdf\xbf\xe0\xa0\x80\xed\x9f\xbf\xee\x80\x80\xf0\x90\x80\x80\xf4\x8f\xbf\xbf"));
    EXPECT_EQ(nextCharacter("\xe2\x82\xac", 0).codePoint, 0x20ACu);
    EXPECT_EQ(nextCharacter("\xf0\x9f\x98\x80", 0).length, 4u);
    std::string encoded;
    for (const char32_t c : {U'A', U'\u00e9', U'\u20ac', U'\U0001F600'}) appendUtf8(encoded, c);
    EXPECT_EQ(encoded, "A\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
}

TEST(Utf8, AgreesWithTheSystemConverterOnRandomBytes) {
    std::mt19937 gen(19);
    for (int i = 0; i < 20000; ++i) {
        const std::string s = randomBytes(gen, 8);
        ASSERT_EQ(isValidUtf8(s), iconvAcceptsUtf8(s)) << printableText(s);
    }
}

// ---- Messages ---------------------------------------------------------------------------

TEST(MessageText, EscapesWhatATerminalWouldActOnOrHide) {
    EXPECT_EQ(printableText("plain, (text) \\ \"q\""), "plain, (text) \\ \"q\"");
    EXPECT_EQ(printableText("\xef\xbb\xbf" "condition_id"), "\\uFEFFcondition_id") << "a byte-order mark";
    EXPECT_EQ(printableText("ma1\r1"), "ma1\\r1");
    EXPECT_EQ(printableText(std::string("a\0b\tc\nd\x1b[2J\x7f", 12)), "a\\x00b\\tc\\nd\\x1b[2J\\x7f");
    EXPECT_EQ(printableText("bad\xff\xc3("), "bad\\xff\\xc3(");
    EXPECT_EQ(printableText("\xc2\x9b" "31m"), "\\u009B31m") << "a C1 control sequence introducer";
    EXPECT_EQ(printableText("abc\xe2\x80\xae" "fdp.exe"), "abc\\u202Efdp.exe") << "a right-to-left override";
    EXPECT_EQ(printableText("\xce\x98 \xc3\xa9 \xe2\x82\xac"), "\xce\x98 \xc3\xa9 \xe2\x82\xac");
}

TEST(MessageText, EscapedTextIsPrintableUtf8AndEscapingTwiceChangesNothing) {
    std::mt19937 gen(7);
    for (int i = 0; i < 5000; ++i) {
        const std::string s = randomBytes(gen, 24) + std::string(1, static_cast<char>(i % 32));
        const std::string shown = printableText(s);
        ASSERT_TRUE(isValidUtf8(shown)) << shown;
        for (const char c : shown) ASSERT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f) << shown;
        ASSERT_EQ(printableText(shown), shown);
    }
}

TEST(MessageText, AnExcerptIsShortWhateverTheField) {
    EXPECT_EQ(quotedExcerpt("n_a"), "'n_a'");
    EXPECT_EQ(quotedExcerpt(std::string(40, 'x')), "'" + std::string(40, 'x') + "'");
    const std::string huge(2 * 1024 * 1024, 'y');
    EXPECT_EQ(quotedExcerpt(huge), "'" + std::string(40, 'y') + "'... (2097152 bytes)");
    // Characters, not bytes, are counted; none is cut in half.
    std::string greek;
    for (int i = 0; i < 50; ++i) greek += "\xce\x98";
    EXPECT_EQ(quotedExcerpt(greek, 3), "'\xce\x98\xce\x98\xce\x98'... (100 bytes)");
    EXPECT_EQ(quotedExcerpt("\x1b\x1b\x1b", 2), "'\\x1b\\x1b'... (3 bytes)");
}

TEST(MessageText, AReportStopsAfterAFewErrorsAndCountsTheRest) {
    std::ostringstream err;
    ErrorReport report(err, 3);
    for (int line = 1; line <= 59; ++line) {
        report.add("zelkor: d.csv:" + std::to_string(line) + ":2: unreadable " + quotedExcerpt(std::string(2000000, 'z')));
    }
    EXPECT_TRUE(report.full());
    EXPECT_EQ(report.count(), 59);
    report.finish("zelkor: d.csv: ");
    const std::string text = err.str();
    EXPECT_LT(text.size(), 1000u) << "59 errors with a 2 MB field each";
    EXPECT_EQ(text.substr(text.rfind("zelkor: d.csv: ")), "zelkor: d.csv: and 56 more errors\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);

    std::ostringstream few;
    ErrorReport fewReport(few, 3);
    fewReport.add("one\x1b[2J");
    fewReport.finish("x: ");
    EXPECT_EQ(few.str(), "one\\x1b[2J\n");
    std::ostringstream one;
    ErrorReport oneMore(one, 1);
    oneMore.add("a");
    oneMore.add("b");
    oneMore.finish("x: ");
    EXPECT_EQ(one.str(), "a\nx: and 1 more error\n");
}

TEST(MessageText, NamesSizes) {
    EXPECT_EQ(sizeText(1), "1 byte");
    EXPECT_EQ(sizeText(1023), "1023 bytes");
    EXPECT_EQ(sizeText(1024), "1 KiB");
    EXPECT_EQ(sizeText(1536), "1.5 KiB");
    EXPECT_EQ(sizeText(std::uint64_t{1} << 30), "1 GiB");
    EXPECT_EQ(sizeText(std::uint64_t{85899345920}), "80 GiB");
    EXPECT_EQ(sizeText(~std::uint64_t{0}), "16.0 EiB");
}

// ---- JSON strings ------------------------------------------------------------------------

TEST(JsonText, ValidUtf8PassesAndOtherBytesBecomeReplacementCharacters) {
    EXPECT_EQ(jsonText("out/r\xc3\xa9sultats.csv"), "out/r\xc3\xa9sultats.csv");
    EXPECT_EQ(jsonText("bad\xff.csv"), "bad\xef\xbf\xbd.csv");
    EXPECT_EQ(jsonText("\xe2\x82"), "\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ(jsonText(std::string("nul\0x", 5)), std::string("nul\0x", 5)) << "escaping is the writer's job";
}

TEST(JsonText, ExactTextKeepsEveryByteRecoverable) {
    EXPECT_EQ(exactText("bad\xff.csv"), "bad%FF.csv");
    EXPECT_EQ(exactText("100% sure\n"), "100%25 sure%0A");
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string back;
    ASSERT_TRUE(bytesOfExactText(exactText(all), back));
    EXPECT_EQ(back, all);
    for (const char c : exactText(all)) EXPECT_TRUE(c >= 0x20 && c <= 0x7e);
    ASSERT_TRUE(bytesOfExactText("a%ffb", back));
    EXPECT_EQ(back, "a\xff" "b");
    back = "kept";
    for (const char* bad : {"%", "%4", "%zz", "a%4g", "tab\there", "\xc3\xa9"}) {
        EXPECT_FALSE(bytesOfExactText(bad, back)) << bad;
        EXPECT_EQ(back, "kept");
    }
}

TEST(JsonText, AnyBytesGiveValidUtf8) {
    std::mt19937 gen(23);
    for (int i = 0; i < 5000; ++i) {
        const std::string s = randomBytes(gen, 16);
        ASSERT_TRUE(iconvAcceptsUtf8(jsonText(s))) << printableText(s);
        std::string back;
        ASSERT_TRUE(bytesOfExactText(exactText(s), back));
        ASSERT_EQ(back, s);
    }
}
