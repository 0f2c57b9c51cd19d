#include "kendallcounts.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

#include "awkwardseries.h"
#include "kendall.h"

namespace {
using awkward::Kind;
using Method = KendallWorkspace::Method;

struct Outputs {
    float tau, s, z, prob;
};

Outputs kendl2By(Method method, const std::vector<float>& a, const std::vector<float>& b) {
    static KendallWorkspace ws;  // reused, as a worker reuses its own
    ws.method = method;
    Outputs o{};
    kendl2(a.data(), b.data(), static_cast<int>(a.size()), &o.tau, &o.s, &o.z, &o.prob, ws);
    return o;
}

// Every method gives the scan's counts and kendl2's reference outputs (tie
// groups included), bit for bit.
void expectMethodsAgree(const std::vector<float>& a, const std::vector<float>& b, const std::string& what) {
    const int n = static_cast<int>(a.size());
    const KendallCounts scan = kendallPairScan(a.data(), b.data(), n);
    const Outputs reference = kendl2By(Method::Reference, a, b);
    for (const Method method : {Method::Auto, Method::Sorted}) {
        KendallWorkspace ws;
        ws.method = method;
        const KendallCounts c = kendallCounts(a.data(), b.data(), n, ws);
        ASSERT_TRUE(c.is == scan.is && c.n1 == scan.n1 && c.n2 == scan.n2)
            << what << ", method " << static_cast<int>(method) << ": S " << c.is << " vs " << scan.is
            << ", n1 " << c.n1 << " vs " << scan.n1 << ", n2 " << c.n2 << " vs " << scan.n2;
        const Outputs o = kendl2By(method, a, b);
        ASSERT_TRUE(awkward::sameBits(o.s, reference.s) && awkward::sameBits(o.tau, reference.tau) &&
                    awkward::sameBits(o.z, reference.z) && awkward::sameBits(o.prob, reference.prob))
            << what << ", method " << static_cast<int>(method) << ": z " << o.z << " vs " << reference.z;
    }
}

std::string label(int n, const std::string& first, const std::string& second, std::uint32_t seed) {
    return "n " + std::to_string(n) + ", " + first + " against " + second + ", seed " + std::to_string(seed);
}
}  // namespace

// Short and middle lengths (both sides of where the default turns from the
// scan to the sorted count), every kind against every kind and against the
// partners the effect sizes use.
TEST(KendallCounts, EveryMethodGivesTheScansCounts) {
    std::uint32_t seed = 1;
    for (const int n : {0, 1, 2, 3, 4, 5, 8, 9, 16, 17, 33, 64, 96, 97, 150, 257}) {
        for (const Kind k1 : awkward::kAllKinds) {
            const std::vector<float> a = awkward::series(k1, n, ++seed);
            for (const Kind k2 : awkward::kAllKinds) {
                const std::vector<float> b = awkward::series(k2, n, ++seed);
                expectMethodsAgree(a, b, label(n, awkward::name(k1), awkward::name(k2), seed));
            }
            expectMethodsAgree(awkward::timePoints(n), a, label(n, "time", awkward::name(k1), seed));
            expectMethodsAgree(a, awkward::indicator(n), label(n, awkward::name(k1), "indicator", seed));
            expectMethodsAgree(awkward::tauUOrdering(n), a, label(n, "Tau-U ordering", awkward::name(k1), seed));
        }
    }
}

// The lengths of long phases, against the effect sizes' partners.
TEST(KendallCounts, LongSeriesGiveTheScansCounts) {
    std::uint32_t seed = 100;
    for (const int n : {400, 1000, 2000}) {
        for (const Kind kind : {Kind::Continuous, Kind::Integers, Kind::FewValues, Kind::NonFinite}) {
            if (n == 2000 && kind != Kind::Continuous && kind != Kind::Integers) continue;
            const std::vector<float> y = awkward::series(kind, n, ++seed);
            const std::string k = awkward::name(kind);
            expectMethodsAgree(awkward::timePoints(n), y, label(n, "time", k, seed));
            expectMethodsAgree(y, awkward::indicator(n), label(n, k, "indicator", seed));
            expectMethodsAgree(awkward::tauUOrdering(n), y, label(n, "Tau-U ordering", k, seed));
        }
    }
}

// Where float differences do not order pairs as the values do, the scan's
// answer stands (worked out by hand from its steps).
TEST(KendallCounts, DifferencesThatOverflowOrUnderflowCountAsTheScanCountsThem) {
    KendallWorkspace sorted;
    sorted.method = Method::Sorted;
    // Pair (2, 3): a1 = -3e38 - 3e38 overflows to -inf, a2 = 0, aa = -inf * 0
    // is NaN: untied and discordant, where the values say tied in data2.
    const std::vector<float> a{3e38f, -3e38f, 3e38f}, b{1.0f, 2.0f, 2.0f};
    KendallCounts c = kendallCounts(a.data(), b.data(), 3, sorted);
    EXPECT_EQ(c.is, -2);  // pair (1, 2) discordant, (1, 3) tied in a, (2, 3) NaN
    EXPECT_EQ(c.n1, 2);
    EXPECT_EQ(c.n2, 3);   // the values would give S = -1 and n2 = 2
    // Differences near 1e-30 multiply to about 1e-60, which rounds to 0: every
    // pair counts in n1 and n2 and none moves S, where the values give S = 1.
    const std::vector<float> x{1e-30f, 2e-30f, 3e-30f}, y{1e-30f, 3e-30f, 2e-30f};
    c = kendallCounts(x.data(), y.data(), 3, sorted);
    EXPECT_EQ(c.is, 0);
    EXPECT_EQ(c.n1, 3);
    EXPECT_EQ(c.n2, 3);
    // The same at a length the default sorts, and with the smallest values.
    for (const float scale : {1e-30f, 1e-44f, FLT_MAX / 4}) {
        std::vector<float> u(200), v(200);
        for (int i = 0; i < 200; ++i) {
            u[static_cast<std::size_t>(i)] = scale * static_cast<float>((i * 37) % 11 - 5);
            v[static_cast<std::size_t>(i)] = scale * static_cast<float>((i * 53) % 7 - 3);
        }
        expectMethodsAgree(u, v, "scale " + std::to_string(scale));
    }
}

// kendl2 remembers its outputs by n, the counts and the tie groups.  Groups
// {4, 5} and {2, 6} tie 16 pairs each, as {3} and {2, 2, 2} tie 3, so n, S, n1
// and n2 agree and only the groups tell the variances apart; more keys than
// the memo holds come and go between them.
TEST(KendallCounts, RememberedOutputsAreTheComputedOnes) {
    const std::vector<float> time = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const std::vector<std::vector<float>> partners = {
        {1, 1, 1, 1, 2, 2, 2, 2, 2, 3},   // {4, 5}
        {1, 1, 2, 2, 2, 2, 2, 2, 3, 4},   // {2, 6}
        {1, 2, 3, 3, 3, 4, 5, 6, 7, 8},   // {3}
        {1, 1, 2, 2, 3, 3, 4, 5, 6, 7},   // {2, 2, 2}
        {9, 8, 7, 6, 5, 4, 3, 2, 1, 0},   // untied
        {0, 0, 0, 0, 0, 1, 1, 1, 1, 1},   // the phase indicator
        {2, 1, 4, 3, 3, 3, 6, 5, 8, 7},   // {3}, another S
        {5, 5, 5, 5, 5, 5, 5, 5, 5, 5},   // constant
    };
    for (int round = 0; round < 3; ++round) {
        for (std::size_t p = 0; p < partners.size(); ++p) {
            for (const bool swapped : {false, true}) {
                const std::vector<float>& a = swapped ? partners[p] : time;
                const std::vector<float>& b = swapped ? time : partners[p];
                KendallWorkspace fresh;
                fresh.method = Method::Reference;
                Outputs reference{};
                kendl2(a.data(), b.data(), 10, &reference.tau, &reference.s, &reference.z, &reference.prob, fresh);
                const Outputs o = kendl2By(Method::Auto, a, b);
                EXPECT_TRUE(awkward::sameBits(o.tau, reference.tau) && awkward::sameBits(o.z, reference.z) &&
                            awkward::sameBits(o.prob, reference.prob))
                    << "round " << round << ", partner " << p << (swapped ? " first" : " second") << ": z "
                    << o.z << " vs " << reference.z;
            }
        }
    }
}
