#include "mersenne.h"

#include <gtest/gtest.h>

TEST(Mersenne, FirstOutputsAfterSeed7487) {
    Rng rng;
    sgenrand(rng, 7487);
    EXPECT_EQ(rng.mt[0], 7890U);
    const std::uint32_t expected[] = {2311896605U, 599825301U, 3195951949U, 2994787744U, 910416504U};
    for (std::uint32_t e : expected) EXPECT_EQ(genrand(rng), e);
}
