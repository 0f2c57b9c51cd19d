// The number texts of the study's files: each reads back as the number that
// was written, with R's spellings of the non-finite values.
#include "numbertext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "test.h"

TEST(NumberText, ParametersAreTheShortestFloatText) {
    EXPECT_EQ(parameterText(0.3f), "0.3");
    EXPECT_EQ(parameterText(1.0f), "1");
    EXPECT_EQ(parameterText(-0.6f), "-0.6");
    EXPECT_EQ(parameterText(-0.0f), "-0");
    EXPECT_EQ(parameterText(NAN), "NaN");
    EXPECT_EQ(parameterText(-NAN), "NaN");
    EXPECT_EQ(parameterText(INFINITY), "Inf");
    EXPECT_EQ(parameterText(-INFINITY), "-Inf");
    for (float v : {0.1f, 1e-30f, 3.4028235e38f, 1.17549435e-38f, 1e-45f, 0.30000001f, -2.5e-7f}) {
        float back = 0.0f;
        ASSERT_TRUE(readParameter(parameterText(v), back)) << v;
        EXPECT_TRUE(sameFloat(back, v)) << parameterText(v);
    }
}

TEST(NumberText, FloatsHaveNineDigitsAndDoublesTheShortestText) {
    EXPECT_EQ(floatText(0.3f), "0.300000012");
    EXPECT_EQ(floatText(1e-8f), "9.99999994e-09");
    EXPECT_EQ(floatText(-NAN), "NaN");
    EXPECT_EQ(floatText(-INFINITY), "-Inf");
    EXPECT_EQ(doubleText(584.0 / 10000.0), "0.0584");
    EXPECT_EQ(doubleText(-std::nan("")), "NaN");
    EXPECT_EQ(doubleText(HUGE_VAL), "Inf");
    // The table's quotients read back exactly.
    for (double v : {5402.0f / 10000.0, 0.1, 1.0 / 3.0, -1e-300, 4931.0 / 10000.0}) {
        double back = 0.0;
        ASSERT_TRUE(readReal(doubleText(v), back));
        EXPECT_EQ(back, v);
    }
    for (float v : {0.1f, 1e-38f, -3.3333333f, 0.58999997f}) {
        float back = 0.0f;
        ASSERT_TRUE(readParameter(floatText(v), back));
        EXPECT_TRUE(sameFloat(back, v)) << floatText(v);
    }
}

TEST(NumberText, ReadersTakeTheWholeCellOrNothing) {
    int whole = 7;
    EXPECT_TRUE(readWhole(" +12 ", whole));
    EXPECT_EQ(whole, 12);
    for (const char* bad : {"", "1.5", "1e2", "12x", "99999999999", "NA", "- 1"}) {
        EXPECT_FALSE(readWhole(bad, whole)) << bad;
        EXPECT_EQ(whole, 12) << "left as it was";
    }
    std::uint32_t seed = 0;
    EXPECT_TRUE(readSeed("4294967295", seed));
    EXPECT_EQ(seed, 4294967295u);
    EXPECT_FALSE(readSeed("4294967296", seed));
    EXPECT_FALSE(readSeed("-1", seed));
    long long count = 0;
    EXPECT_TRUE(readCount("10000", count));
    EXPECT_FALSE(readCount("-1", count));

    double d = 0.0;
    for (const char* nan : {"NaN", "nan", "-nan", "NAN"}) {
        ASSERT_TRUE(readReal(nan, d)) << nan;
        EXPECT_TRUE(std::isnan(d));
    }
    ASSERT_TRUE(readReal("-Inf", d));
    EXPECT_EQ(d, -INFINITY);
    ASSERT_TRUE(readReal("infinity", d));
    EXPECT_EQ(d, INFINITY);
    ASSERT_TRUE(readReal("1e999", d));
    EXPECT_EQ(d, INFINITY) << "beyond the range: an infinity, as strtod reads it";
    ASSERT_TRUE(readReal(" -1.5e-05\t", d));
    EXPECT_EQ(d, -1.5e-05);
    for (const char* bad : {"", "abc", "1.5x", "--1", "+-1", "0x", "N/A", "NA", "1 2"})
        EXPECT_FALSE(readReal(bad, d)) << bad;
    float f = 0.0f;
    ASSERT_TRUE(readParameter("0x1p-2", f)) << "the dialogue's grammar: hexadecimal floats";
    EXPECT_EQ(f, 0.25f);
    EXPECT_TRUE(isNotAvailable(" NA "));
    EXPECT_FALSE(isNotAvailable("na"));
}
