#include "caseindices.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "test.h"
#include "signtest.h"

namespace {
CaseIndexWorkspace ws;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// A series from its two phases.
struct Series {
    std::vector<float> y;
    int nA, nB;
    Series(const std::vector<float>& a, const std::vector<float>& b)
        : y(a), nA(static_cast<int>(a.size())), nB(static_cast<int>(b.size())) {
        y.insert(y.end(), b.begin(), b.end());
    }
    Estimate nap() const { return ::nap(nA, nB, y.data(), ws); }
    Estimate tauAB() const { return ::tauAB(nA, nB, y.data(), ws); }
    Estimate pem() const { return ::pem(nA, nB, y.data(), ws); }
    float smd() const { return ::smd(nA, nB, y.data()); }
};

// Reference D4 of tests/reference/caseindices.py: 1000 integer values per
// phase, many ties.
Series longIntegerSeries() {
    std::vector<float> a, b;
    for (int i = 0; i < 1000; ++i) a.push_back(static_cast<float>((i * 7919 + 13) % 23));
    for (int j = 0; j < 1000; ++j) b.push_back(static_cast<float>((j * 104729 + 7) % 29 - 2));
    return {a, b};
}

void expectUndefined(const Estimate& e) {
    EXPECT_TRUE(std::isnan(e.value)) << e.value;
    EXPECT_TRUE(std::isnan(e.p)) << e.p;
}
}  // namespace

// A = 1, 2, 3 and B = 3, 4, 5: of 9 pairs 8 improve and 1 ties, so
// NAP = 8.5 / 9 and Tau-AB = (8 - 0) / 9; the tie makes the p-value the
// normal approximation (reference D2: z = 1.5498260496951668).
TEST(Nap, HandWorkedSeries) {
    const Series s({1, 2, 3}, {3, 4, 5});
    EXPECT_BITS(s.nap().value, 0.9444444179534912f);
    EXPECT_BITS(s.tauAB().value, 0.8888888955116272f);
    EXPECT_BITS(s.nap().p, 0.12118327617645264f);
    EXPECT_BITS(s.tauAB().p, s.nap().p);
    // No overlap and no ties: exact, P(U = 9) = 1/20 on each side.
    const Series apart({1, 2, 3}, {4, 5, 6});
    EXPECT_BITS(apart.nap().value, 1.0f);
    EXPECT_BITS(apart.tauAB().value, 1.0f);
    EXPECT_BITS(apart.nap().p, 0.1f);
    const Series down({4, 5, 6}, {1, 2, 3});
    EXPECT_BITS(down.nap().value, 0.0f);
    EXPECT_BITS(down.tauAB().value, -1.0f);
    EXPECT_BITS(down.tauAB().p, 0.1f);
}

// Values and p-values of tests/reference/caseindices.py.
TEST(Nap, AgreesWithIndependentReference) {
    const Series d1({1, 2, 2, 3}, {2, 3, 4, 4, 5});
    EXPECT_BITS(d1.nap().value, 0.875f);
    EXPECT_BITS(d1.tauAB().value, 0.75f);
    EXPECT_BITS(d1.nap().p, 0.07854585349559784f);

    const Series d4 = longIntegerSeries();
    EXPECT_BITS(d4.nap().value, 0.5346760153770447f);
    EXPECT_BITS(d4.tauAB().value, 0.06935200095176697f);
    EXPECT_BITS(d4.nap().p, 0.00720643438398838f);

    std::vector<float> a, b;  // D8: 49 distinct values per phase, exact test
    for (int k = 0; k < 49; ++k) a.push_back(static_cast<float>((k * 37) % 98));
    for (int k = 49; k < 98; ++k) b.push_back(static_cast<float>((k * 37) % 98) + 20.5f);
    const Series d8(a, b);
    EXPECT_BITS(d8.nap().value, 0.6947105526924133f);
    EXPECT_BITS(d8.tauAB().value, 0.3894210755825043f);
    EXPECT_BITS(d8.nap().p, 0.0007743328460492194f);
}

// Against a scan of every pair, on integer data with many ties and phases
// of 1 to 40 points.
TEST(Nap, MatchesPairScan) {
    std::mt19937 gen(2024);
    std::uniform_int_distribution<int> length(1, 40), value(0, 5);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<float> a(static_cast<std::size_t>(length(gen))), b(static_cast<std::size_t>(length(gen)));
        for (float& v : a) v = static_cast<float>(value(gen));
        for (float& v : b) v = static_cast<float>(value(gen));
        long long greater = 0, equal = 0, less = 0;
        for (float x : a)
            for (float z : b) {
                greater += z > x;
                equal += z == x;
                less += z < x;
            }
        const double m = static_cast<double>(a.size() * b.size());
        const Series s(a, b);
        const Estimate nap = s.nap(), tau = s.tauAB();
        EXPECT_BITS(nap.value, static_cast<float>((static_cast<double>(greater) + static_cast<double>(equal) / 2.0) / m));
        EXPECT_BITS(tau.value, static_cast<float>(static_cast<double>(greater - less) / m));
        EXPECT_BITS(tau.p, nap.p);
        EXPECT_GE(nap.p, 0.0f);
        EXPECT_LE(nap.p, 1.0f);
    }
}

TEST(Nap, DegenerateSeries) {
    // No phase: never read.
    expectUndefined(nap(0, 0, nullptr, ws));
    expectUndefined(tauAB(0, 3, nullptr, ws));
    const std::vector<float> three = {1, 2, 3};
    expectUndefined(nap(3, 0, three.data(), ws));
    expectUndefined(tauAB(-1, 2, three.data(), ws));
    // A NaN in either phase.
    expectUndefined(Series({1, kNaN}, {3}).nap());
    expectUndefined(Series({1, 2}, {kNaN, 3}).tauAB());
    // One point per phase: exact, p = 1.
    EXPECT_BITS(Series({1}, {2}).nap().value, 1.0f);
    EXPECT_BITS(Series({1}, {2}).nap().p, 1.0f);
    // A constant series: half the pairs tie-improve, no spread for a test.
    const Series flat({3, 3, 3}, {3, 3});
    EXPECT_BITS(flat.nap().value, 0.5f);
    EXPECT_BITS(flat.tauAB().value, 0.0f);
    EXPECT_TRUE(std::isnan(flat.nap().p));
    // Constant phases that differ: complete non-overlap, ties within phases.
    const Series steps({1, 1, 1}, {2, 2, 2});
    EXPECT_BITS(steps.nap().value, 1.0f);
    EXPECT_LT(steps.nap().p, 0.05f);
    // -0.0 equals +0.0; infinities are ordinary values.
    EXPECT_BITS(Series({0.0f, 1, 2}, {-0.0f, 3}).nap().value, 0.5833333134651184f);  // reference D7
    EXPECT_BITS(Series({0.0f, 1, 2}, {-0.0f, 3}).nap().p, 1.0f);
    EXPECT_BITS(Series({-kInf, 1}, {kInf, 2}).nap().value, 1.0f);
    EXPECT_BITS(Series({kInf}, {kInf}).nap().value, 0.5f);
}

// A = 1, 3, 2, 5 has the median 2.5; of B = 2.5, 3, 4, 1, 6 three lie
// above it and one on it: (3 + 0.5) / 5 = 0.7, and 3 of the 4 points off
// the median are above: P(X >= 3 | 4) = 5/16.
TEST(Pem, HandWorkedSeries) {
    Estimate e = Series({1, 3, 2, 5}, {2.5f, 3, 4, 1, 6}).pem();
    EXPECT_BITS(e.value, 0.7f);
    EXPECT_BITS(e.p, 0.3125f);
    // Odd baseline, median 4; B has H = 3, E = 2: 8 / 12.
    e = Series({4, 1, 7}, {4, 4, 5, 9, 0, 10}).pem();
    EXPECT_BITS(e.value, static_cast<float>(8.0 / 12.0));
    EXPECT_BITS(e.p, 0.3125f);
    // Every B point above: 1, p = 2^-10.
    e = Series({1, 2, 3}, {4, 4, 4, 4, 4, 4, 4, 4, 4, 4}).pem();
    EXPECT_BITS(e.value, 1.0f);
    EXPECT_BITS(e.p, 1.0f / 1024.0f);
    // None above: 0, p = 1.
    e = Series({5, 6}, {1, 2, 3}).pem();
    EXPECT_BITS(e.value, 0.0f);
    EXPECT_BITS(e.p, 1.0f);
}

// Reference values: D1 (median 2, 4 of 5 above and one on it) and the long
// integer series D4 (median 11).
TEST(Pem, AgreesWithIndependentReference) {
    Estimate e = Series({1, 2, 2, 3}, {2, 3, 4, 4, 5}).pem();
    EXPECT_BITS(e.value, 0.8999999761581421f);
    EXPECT_BITS(e.p, 0.0625f);
    e = longIntegerSeries().pem();
    EXPECT_BITS(e.value, 0.5339999794960022f);
    EXPECT_BITS(e.p, 0.015527436509728432f);
}

TEST(Pem, DegenerateSeries) {
    expectUndefined(pem(0, 0, nullptr, ws));
    const std::vector<float> three = {1, 2, 3};
    expectUndefined(pem(3, 0, three.data(), ws));
    expectUndefined(pem(0, 3, three.data(), ws));
    expectUndefined(Series({1, kNaN, 3}, {4}).pem());
    expectUndefined(Series({1, 2, 3}, {4, kNaN}).pem());
    // A median of -inf and +inf is NaN.
    expectUndefined(Series({-kInf, kInf}, {1}).pem());
    // Every B point on the median: half, and no evidence either way.
    Estimate e = Series({2}, {2, 2}).pem();
    EXPECT_BITS(e.value, 0.5f);
    EXPECT_BITS(e.p, 1.0f);
    // -0.0 is the median 0.0.
    e = Series({0.0f}, {-0.0f, 1}).pem();
    EXPECT_BITS(e.value, 0.75f);
    EXPECT_BITS(e.p, 0.5f);
    // Infinities are ordinary values.
    e = Series({1, 2, 3}, {kInf, -kInf}).pem();
    EXPECT_BITS(e.value, 0.5f);
    EXPECT_BITS(e.p, 0.75f);
    // The series is left alone.
    const Series s({3, 1, 2}, {5, 0});
    (void)s.pem();
    EXPECT_EQ(s.y, (std::vector<float>{3, 1, 2, 5, 0}));
}

// A = 1, 2, 3 (mean 2, SD 1) and B = 4, 5, 6 (mean 5): d = 3, J = 1 - 3/7.
TEST(Smd, HandWorkedSeries) {
    EXPECT_BITS(Series({1, 2, 3}, {4, 5, 6}).smd(), static_cast<float>(3.0 * (1.0 - 3.0 / 7.0)));
    EXPECT_NEAR(Series({1, 2, 3}, {4, 5, 6}).smd(), 12.0 / 7.0, 1e-6);
    EXPECT_BITS(Series({1, 2, 3}, {0, 1, 2}).smd(), static_cast<float>(-(1.0 - 3.0 / 7.0)));
    // Reference values (the same double steps in Python).
    EXPECT_BITS(Series({1, 2, 2, 3}, {2, 3, 4, 4, 5}).smd(), 1.4251576662063599f);
    EXPECT_BITS(longIntegerSeries().smd(), 0.1516987681388855f);
}

TEST(Smd, ScaleFreeAndOdd) {
    std::mt19937 gen(7);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    for (int trial = 0; trial < 50; ++trial) {
        std::vector<float> a(static_cast<std::size_t>(3 + trial % 20)), b(static_cast<std::size_t>(1 + trial % 9));
        for (float& v : a) v = noise(gen);
        for (float& v : b) v = noise(gen) + 0.5f;
        const float d = Series(a, b).smd();
        // Multiplying by a power of two changes no rounding.
        std::vector<float> a4 = a, b4 = b;
        for (float& v : a4) v *= 4.0f;
        for (float& v : b4) v *= 4.0f;
        EXPECT_BITS(Series(a4, b4).smd(), d);
        // Negating every value negates the difference and keeps the SD.
        for (float& v : a) v = -v;
        for (float& v : b) v = -v;
        EXPECT_BITS(Series(a, b).smd(), -d);
    }
}

TEST(Smd, DegenerateSeries) {
    EXPECT_TRUE(std::isnan(smd(0, 0, nullptr)));
    EXPECT_TRUE(std::isnan(Series({1, 2}, {5, 6}).smd()));  // nA < 3
    const std::vector<float> three = {1, 2, 3};
    EXPECT_TRUE(std::isnan(smd(3, 0, three.data())));
    EXPECT_TRUE(std::isnan(Series({2, 2, 2}, {5}).smd()));  // SD 0
    EXPECT_TRUE(std::isnan(Series({-0.0f, 0.0f, 0.0f}, {5}).smd()));
    EXPECT_TRUE(std::isnan(Series({1, kNaN, 3}, {5}).smd()));
    EXPECT_TRUE(std::isnan(Series({1, kInf, 3}, {5}).smd()));
    EXPECT_TRUE(std::isnan(Series({1, 2, 3}, {kNaN}).smd()));
    EXPECT_EQ(Series({1, 2, 3}, {kInf, 4}).smd(), kInf);
    EXPECT_EQ(Series({1, 2, 3}, {-kInf}).smd(), -kInf);
    // Equal means: exactly +0.
    EXPECT_BITS(Series({1, 2, 3}, {2}).smd(), 0.0f);
}

// The four indices on one series do not depend on what the workspace held.
TEST(CaseIndices, ResultsDoNotDependOnTheWorkspace) {
    const Series s({3, 1, 4, 1, 5}, {9, 2, 6, 5, 3, 5, 8});
    CaseIndexWorkspace fresh;
    const Estimate nap1 = nap(s.nA, s.nB, s.y.data(), fresh);
    const Estimate pem1 = pem(s.nA, s.nB, s.y.data(), fresh);
    (void)longIntegerSeries().nap();
    (void)longIntegerSeries().pem();
    EXPECT_BITS(s.nap().value, nap1.value);
    EXPECT_BITS(s.nap().p, nap1.p);
    EXPECT_BITS(s.pem().value, pem1.value);
    EXPECT_BITS(s.pem().p, pem1.p);
}
