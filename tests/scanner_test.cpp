// The entry reader's sharp cases: what an entry consumes, what it leaves
// pending, and the value it gives.
#include "scanner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Reads one float from text; `rest` is what the reader left unread.
struct FloatRead {
    ReadStatus status;
    float value;
    std::string rest;
};

std::string restOf(Scanner& scan) {
    std::string rest;
    for (int c = scan.readChar(); c >= 0; c = scan.readChar()) rest.push_back(static_cast<char>(c));
    return rest;
}

FloatRead readFloat(const std::string& text, float start = 42.0f) {
    StringInput in(text);
    Scanner scan(in);
    FloatRead r{ReadStatus::Ok, start, {}};
    r.status = scan.readFloat(r.value);
    r.rest = restOf(scan);
    return r;
}

struct IntRead {
    ReadStatus status;
    int value;
    std::string rest;
};

IntRead readInt(const std::string& text) {
    StringInput in(text);
    Scanner scan(in);
    IntRead r{ReadStatus::Ok, 42, {}};
    r.status = scan.readInt(r.value);
    r.rest = restOf(scan);
    return r;
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(ScannerFloat, LoneSignsAndPrefixesAreUnreadableAndConsumed) {
    // A sign, or a sign and a point, starts no number; what was looked at is
    // gone, as with scanf, and the variable keeps its value.
    for (const char* text : {"+ 5", "- 5", "-. 5", ". 5"}) {
        const FloatRead r = readFloat(text);
        EXPECT_EQ(r.status, ReadStatus::Unreadable) << text;
        EXPECT_EQ(r.value, 42.0f) << text;
        EXPECT_EQ(r.rest, " 5") << text;
    }
    // A letter after the sign stays pending for the next read.
    const FloatRead letter = readFloat("-x");
    EXPECT_EQ(letter.status, ReadStatus::Unreadable);
    EXPECT_EQ(letter.rest, "x");
}

TEST(ScannerFloat, ExponentWithoutDigitsIsUnreadable) {
    for (const char* text : {"1e", "1e+", "2.5E-", "0x1p"}) {
        const FloatRead r = readFloat(std::string(text) + " 7");
        EXPECT_EQ(r.status, ReadStatus::Unreadable) << text;
        EXPECT_EQ(r.value, 42.0f) << text;
        EXPECT_EQ(r.rest, " 7") << text;
    }
    const FloatRead r = readFloat("1e3x");
    EXPECT_EQ(r.status, ReadStatus::Ok);
    EXPECT_EQ(r.value, 1000.0f);
    EXPECT_EQ(r.rest, "x");
}

TEST(ScannerFloat, HexadecimalNumbers) {
    EXPECT_EQ(readFloat("0x1.8p1").value, 3.0f);
    EXPECT_EQ(readFloat("-0X10").value, -16.0f);
    // "0x" with no hexadecimal digit: the prefix is consumed, nothing is read.
    const FloatRead bare = readFloat("0x g");
    EXPECT_EQ(bare.status, ReadStatus::Unreadable);
    EXPECT_EQ(bare.rest, " g");
    const FloatRead zero = readFloat("0 x");
    EXPECT_EQ(zero.status, ReadStatus::Ok);
    EXPECT_EQ(zero.value, 0.0f);
}

TEST(ScannerFloat, InfinitiesAndNans) {
    EXPECT_EQ(readFloat("inf").value, INFINITY);
    EXPECT_EQ(readFloat("-Infinity").value, -INFINITY);
    const FloatRead partial = readFloat("infin 3");
    EXPECT_EQ(partial.status, ReadStatus::Unreadable);
    EXPECT_EQ(partial.rest, " 3");
    EXPECT_TRUE(std::isnan(readFloat("nan").value));
    const FloatRead payload = readFloat("nan(7_a)x");
    EXPECT_EQ(payload.status, ReadStatus::Ok);
    EXPECT_TRUE(std::isnan(payload.value));
    EXPECT_EQ(payload.rest, "x");
    // An unclosed or invalid payload makes the whole entry unreadable.
    for (const char* text : {"nan(", "nan(7", "nan(7 )"}) {
        const FloatRead r = readFloat(text);
        EXPECT_EQ(r.status, ReadStatus::Unreadable) << text;
        EXPECT_EQ(r.value, 42.0f) << text;
    }
}

TEST(ScannerFloat, LongMantissasRoundLikeStrtof) {
    // More digits than the reader keeps: the dropped digits still decide the
    // rounding through whether any of them is non-zero.
    const std::string halfway = "16777217";  // exactly between two floats
    const std::string above = halfway + std::string(1000, '0') + "1";
    const FloatRead r = readFloat(above + "e-1001");
    const float expected = std::strtof((above + "e-1001").c_str(), nullptr);
    EXPECT_TRUE(sameBits(r.value, expected));
    EXPECT_EQ(r.value, 16777218.0f);
    // Without the final 1 the value is halfway and rounds to even.
    EXPECT_EQ(readFloat(halfway + std::string(1000, '0') + "e-1000").value, 16777216.0f);
    const std::string zeros = "0." + std::string(2000, '0') + "15";
    EXPECT_TRUE(sameBits(readFloat(zeros + "e2000").value, std::strtof((zeros + "e2000").c_str(), nullptr)));
    // Out of range: infinity and a signed zero, as strtof gives them.
    EXPECT_EQ(readFloat("1e999999999999").value, INFINITY);
    EXPECT_TRUE(sameBits(readFloat("-1e-999999999999").value, -0.0f));
}

TEST(ScannerInt, OutOfRangeIsConsumedAndUnreadable) {
    // Just outside the 32-bit range, or a number that would wrap to a valid
    // value: consumed whole, the variable keeps its value.
    for (const char* text : {"2147483648", "-2147483649", "4294967301", "99999999999999999999"}) {
        const IntRead r = readInt(std::string(text) + " 2");
        EXPECT_EQ(r.status, ReadStatus::Unreadable) << text;
        EXPECT_EQ(r.value, 42) << text;
        EXPECT_EQ(r.rest, " 2") << text;
    }
    EXPECT_EQ(readInt("-2147483648").value, -2147483647 - 1);
    EXPECT_EQ(readInt("2147483647").value, 2147483647);
}

TEST(ScannerInt, SignsAndStops) {
    const IntRead lone = readInt("- 3");
    EXPECT_EQ(lone.status, ReadStatus::Unreadable);
    EXPECT_EQ(lone.rest, " 3");
    const IntRead decimal = readInt("  +12.5");
    EXPECT_EQ(decimal.value, 12);
    EXPECT_EQ(decimal.rest, ".5");
    EXPECT_EQ(readInt("   \n").status, ReadStatus::End);
}
