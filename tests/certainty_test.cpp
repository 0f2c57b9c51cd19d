// The certainty rule: the Jeffreys posterior's tail probability and
// quantiles against closed forms and R, the agreement of the decision with
// the interval, the checks on target and confidence, and the look schedule.
#include "certainty.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace {

// Relative closeness for reference values good to about 15 digits.
void expectClose(double expected, double actual, double relative = 1e-12) {
    EXPECT_NEAR(expected, actual, std::abs(expected) * relative) << std::hexfloat << actual;
}

}  // namespace

// With one series the posterior is Beta(1/2, 3/2) (no rejection) or
// Beta(3/2, 1/2) (one), whose distribution functions have closed forms:
//   I_t(1/2, 3/2) = (2/pi) (asin(sqrt t) + sqrt(t (1 - t)))
//   I_t(3/2, 1/2) = (2/pi) (asin(sqrt t) - sqrt(t (1 - t)))
TEST(Certainty, OneSeriesMatchesTheClosedForms) {
    for (const double t : {0.05, 0.25, 0.5, 0.8, 0.95}) {
        const double arc = std::asin(std::sqrt(t));
        const double root = std::sqrt(t * (1.0 - t));
        const double belowNone = 2.0 / std::numbers::pi * (arc + root);
        const double belowOne = 2.0 / std::numbers::pi * (arc - root);
        expectClose(1.0 - belowNone, judgeRate(0, 1, t, 0.9).probabilityAbove);
        expectClose(1.0 - belowOne, judgeRate(1, 1, t, 0.9).probabilityAbove);
    }
}

// Reference values from R 4.2 (TOMS 708 in pbeta, and qbeta):
//   a <- x + 0.5; b <- n - x + 0.5
//   qbeta(1 - c, a, b); qbeta(c, a, b); pbeta(t, a, b, lower.tail = FALSE)
TEST(Certainty, PosteriorMatchesR) {
    struct Case {
        long long x, n;
        double t, c, lower, upper, above;
        Side side;
    };
    const std::vector<Case> cases = {
        {8100, 10000, 0.8, 0.99, 0.80075255839337467, 0.81900313905487176, 0.99402254428497616, Side::Above},
        {790, 1000, 0.8, 0.99, 0.75893119748524118, 0.81878800508299188, 0.21373123851112522, Side::Undecided},
        {50, 1000, 0.05, 0.99, 0.035703906788065128, 0.067831618775258895, 0.50870339009834131, Side::Undecided},
        {41, 1000, 0.05, 0.99, 0.028174230981528922, 0.057430925791477794, 0.092836445863237707, Side::Undecided},
        {0, 1000, 0.05, 0.95, 1.9655766121360959e-06, 0.0019184067122560303, 4.0758485087325311e-24, Side::Below},
        {1000, 1000, 0.8, 0.99, 0.99668887509174464, 0.99999992147570771, 1.0, Side::Above},
        {80350, 100000, 0.8, 0.99, 0.80056493632985359, 0.80641114074721065, 0.99721693452097526, Side::Above},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.x << " of " << k.n);
        const RateJudgement j = judgeRate(k.x, k.n, k.t, k.c);
        EXPECT_EQ(static_cast<double>(k.x) / static_cast<double>(k.n), j.rate);
        expectClose(k.lower, j.lower, 1e-10);
        expectClose(k.upper, j.upper, 1e-10);
        expectClose(k.above, j.probabilityAbove, 1e-10);
        EXPECT_EQ(k.side, j.side);
    }
}

// Decided exactly when the interval leaves the target out, on every count
// of a look, for a power target and a Type-I bound.
TEST(Certainty, DecisionAgreesWithTheInterval) {
    for (const double t : {0.8, 0.05})
        for (const long long n : {1000LL, 8000LL}) {
            int above = 0, below = 0;
            for (long long x = 0; x <= n; ++x) {
                const RateJudgement j = judgeRate(x, n, t, 0.99);
                ASSERT_LT(j.lower, j.upper);
                ASSERT_EQ(j.side == Side::Above, j.lower >= t) << x << " of " << n;
                ASSERT_EQ(j.side == Side::Below, j.upper <= t) << x << " of " << n;
                above += j.side == Side::Above;
                below += j.side == Side::Below;
            }
            EXPECT_GT(above, 0);
            EXPECT_GT(below, 0);
        }
}

// More evidence at the same rate narrows the interval and moves the
// probability away from one half: a rate of 0.81 against 0.8 is decided at
// the fifth look (R: pbeta(0.8, 6480.5, 1520.5, lower.tail = FALSE) is
// 0.9877, below 0.99; at 16000 series it is 0.9993).
TEST(Certainty, EvidenceAccumulates) {
    EXPECT_EQ(Side::Undecided, judgeRate(6480, 8000, 0.8, 0.99).side);
    EXPECT_EQ(Side::Above, judgeRate(12960, 16000, 0.8, 0.99).side);
    EXPECT_EQ(Side::Undecided, judgeRate(6320, 8000, 0.8, 0.99).side);  // 0.79: 0.0130
    EXPECT_EQ(Side::Below, judgeRate(12640, 16000, 0.8, 0.99).side);   // 0.00083
    const RateJudgement small = judgeRate(810, 1000, 0.8, 0.99);
    const RateJudgement large = judgeRate(81000, 100000, 0.8, 0.99);
    EXPECT_LT(large.upper - large.lower, (small.upper - small.lower) / 5.0);
}

TEST(Certainty, ProblemsOfTargetAndConfidence) {
    EXPECT_EQ("", certaintyProblem(0.8, 0.99));
    EXPECT_EQ("", certaintyProblem(1e-9, 0.5000001));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const double t : {0.0, 1.0, -0.1, 1.5, nan})
        EXPECT_EQ("the target must lie strictly between 0 and 1", certaintyProblem(t, 0.99)) << t;
    for (const double c : {0.5, 1.0, 0.3, nan})
        EXPECT_EQ("the confidence must lie strictly between 0.5 and 1", certaintyProblem(0.8, c)) << c;
}

TEST(Certainty, LooksDoubleUpToTheCap) {
    const auto looks = [](int cap) {
        std::vector<int> counts;
        for (int n = 0; n < cap;) counts.push_back(n = nextLook(n, cap));
        return counts;
    };
    EXPECT_EQ((std::vector<int>{1000, 2000, 4000, 8000, 16000, 32000, 64000, 100000}), looks(100000));
    EXPECT_EQ((std::vector<int>{1000, 2000, 4000}), looks(4000));
    EXPECT_EQ((std::vector<int>{1000, 2000, 3000}), looks(3000));
    EXPECT_EQ((std::vector<int>{1000}), looks(1000));
    EXPECT_EQ((std::vector<int>{7}), looks(7));
    EXPECT_EQ((std::vector<int>{1}), looks(1));
    // The doubling does not overflow near the largest count.
    const std::vector<int> widest = looks(INT_MAX);
    EXPECT_EQ(INT_MAX, widest.back());
    EXPECT_EQ(2097152000, widest[widest.size() - 2]);  // 1000 * 2^21
}
