#include "mersenne.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

TEST(Mersenne, FirstOutputsAfterSeed7487) {
    Rng rng;
    sgenrand(rng, 7487);
    EXPECT_EQ(rng.mt[0], 7890U);
    const std::uint32_t expected[] = {2311896605U, 599825301U, 3195951949U, 2994787744U, 910416504U};
    for (std::uint32_t e : expected) EXPECT_EQ(genrand(rng), e);
    EXPECT_EQ(rng.nUniforms, 5U);
}

TEST(Mersenne, UnseededGeneratorUsesSeed4357) {
    Rng fresh;
    EXPECT_EQ(fresh.mti, 625);
    // Published values of the default seed.
    EXPECT_EQ(genrand(fresh), 2867219139U);
    EXPECT_EQ(genrand(fresh), 1585203162U);
    EXPECT_EQ(genrand(fresh), 3113124129U);

    Rng a, b;
    sgenrand(b, 4357);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(genrand(a), genrand(b)) << "output " << i;
}

TEST(Mersenne, SeedZeroIsValid) {
    Rng rng;
    sgenrand(rng, 0);
    EXPECT_EQ(rng.mt[0], 0U);
    for (int i = 1; i < Rng::kN; ++i) EXPECT_NE(rng.mt[static_cast<std::size_t>(i)], 0U) << i;
    EXPECT_EQ(rng.mti, Rng::kN);
}

TEST(Mersenne, ReseedingReproducesTheStream) {
    Rng rng;
    sgenrand(rng, 7487);
    std::vector<std::uint32_t> first(1500);
    for (auto& v : first) v = genrand(rng);
    sgenrand(rng, 7487);
    for (std::size_t i = 0; i < first.size(); ++i) ASSERT_EQ(genrand(rng), first[i]) << i;
}

// A state loaded word for word must continue exactly like the reference
// twister of the standard library, across several regenerations.
TEST(Mersenne, LoadedStateFollowsStandardTwister) {
    for (std::uint32_t seed : {5489U, 7487U, 0U, 0xFFFFFFFFU}) {
        std::uint32_t words[Rng::kN];
        words[0] = seed;
        for (std::uint32_t i = 1; i < Rng::kN; ++i)
            words[i] = 1812433253U * (words[i - 1] ^ (words[i - 1] >> 30)) + i;
        Rng rng;
        lsgenrand(rng, words);
        EXPECT_EQ(rng.mti, Rng::kN);
        std::mt19937 ref(seed);
        for (int i = 0; i < 3000; ++i) ASSERT_EQ(genrand(rng), ref()) << "seed " << seed << " output " << i;
    }
}

// Skipping n outputs, or filling an array with them, leaves the state that
// n draws leave; the filled outputs are the drawn ones.
TEST(Mersenne, SkipAndFillMatchRepeatedDraws) {
    const std::uint64_t counts[] = {0, 1, 2, 3, 7, 623, 624, 625, 1247, 1248, 1249, 5001};
    for (std::uint64_t offset : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{623}, std::uint64_t{700}}) {
        for (std::uint64_t n : counts) {
            Rng drawn;
            sgenrand(drawn, 7487);
            for (std::uint64_t i = 0; i < offset; ++i) genrand(drawn);
            Rng skipped = drawn, filled = drawn;
            std::vector<std::uint32_t> want, got(n);
            for (std::uint64_t i = 0; i < n; ++i) want.push_back(genrand(drawn));
            skipUniforms(skipped, n);
            genrandFill(filled, got.data(), static_cast<int>(n));
            ASSERT_TRUE(skipped == drawn) << "offset " << offset << " n " << n;
            ASSERT_TRUE(filled == drawn) << "offset " << offset << " n " << n;
            EXPECT_EQ(got, want) << "offset " << offset << " n " << n;
            EXPECT_EQ(skipped.nUniforms, offset + n);
            EXPECT_EQ(genrand(skipped), genrand(drawn));
        }
    }
}

TEST(Mersenne, SkipAndFillFromUnseededState) {
    for (std::uint64_t n : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{624}, std::uint64_t{999}}) {
        Rng drawn, skipped, filled;
        std::vector<std::uint32_t> want, got(n);
        for (std::uint64_t i = 0; i < n; ++i) want.push_back(genrand(drawn));
        skipUniforms(skipped, n);
        genrandFill(filled, got.data(), static_cast<int>(n));
        ASSERT_TRUE(skipped == drawn) << n;
        ASSERT_TRUE(filled == drawn) << n;
        EXPECT_EQ(got, want) << n;
        EXPECT_EQ(genrand(skipped), genrand(drawn));
    }
}
