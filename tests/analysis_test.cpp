// The analysis of observed cases: the very bits a run gives a simulated
// series with the same points, and results that depend on nothing but the
// case itself.
#include "analysis.h"

#include <gtest/gtest.h>

#include "simulate.h"
#include "test.h"

namespace {

// The first series a run with this model and seed simulates, as a case.
ObservedCase simulatedCase(const ModelParameters& m, std::uint32_t seed) {
    Rng rng;
    sgenrand(rng, seed);
    ObservedCase c{"sim", 2, m.nA, m.nB, 0, std::vector<float>(static_cast<std::size_t>(m.nA + m.nB))};
    simABTimeSeries(rng, m, c.values.data());
    return c;
}

ObservedCase caseOf(const std::string& name, int nA, std::vector<float> values) {
    const int n = static_cast<int>(values.size());
    return ObservedCase{name, 2, nA, n - nA, 0, std::move(values)};
}

}  // namespace

// Short and long phases (the non-overlap p-values change their evaluation
// from 27 points on), a one-point baseline (ECL's NaN), a trend that
// PL-Tau corrects: each statistic of the case is the run's value and
// p-value for the same series, bit for bit.
TEST(Analysis, TheRunsBitsForTheSameSeries) {
    Simulator simulator(2);
    const std::vector<Statistic> all = statisticsOf(Option::EffectSizes);
    for (const ModelParameters& m : {modelOf(5, 7, 0, 1, 0, 1, 1, 0, 0), modelOf(1, 4, 0, 0.5f, 0, 1, 1, 0, 0),
                                     modelOf(30, 40, 0.2f, 1, 0, 1, 1, 0.3f, 0), modelOf(3, 3, 0, 0, 0, 1, 1, 0, 0),
                                     modelOf(200, 150, 0, 0.3f, 0, 1, 2, 0, 0.2f)}) {
        RunSettings settings;
        settings.iterations = 1;
        settings.seed = 991;
        settings.statistics = all;
        Rng rng;
        const std::vector<StatisticRow> rows = simulator.run(Option::EffectSizes, m, rng, settings, [] {});
        const CaseOutcome out = analyseCase(simulatedCase(m, 991), AnalysisSettings{all, kRunSeed});
        ASSERT_EQ(rows.size(), all.size());
        ASSERT_EQ(out.estimates.size(), all.size());
        for (std::size_t k = 0; k < all.size(); ++k) {
            const char* label = statisticInfo(all[k]).label;
            EXPECT_TRUE(sameFloat(out.estimates[k].value, rows[k].values[0])) << label << " nA=" << m.nA;
            if (statisticInfo(all[k]).hasTest)
                EXPECT_TRUE(sameFloat(out.estimates[k].p, rows[k].pValues[0])) << label << " nA=" << m.nA;
            else
                EXPECT_TRUE(std::isnan(out.estimates[k].p)) << label;
        }
    }
}

TEST(Analysis, DefaultRowsOfARunAreTheTablesWhetherNamedOrNot) {
    Simulator simulator(1);
    const ModelParameters m = modelOf(6, 6, 0, 1, 0, 1, 1, 0, 0);
    RunSettings plain;
    plain.iterations = 40;
    RunSettings named = plain;
    named.statistics = {Statistic::Pncd, Statistic::Nap, Statistic::PlTau};
    Rng a, b;
    const std::vector<StatisticRow> table = simulator.run(Option::EffectSizes, m, a, plain, [] {});
    const std::vector<StatisticRow> chosen = simulator.run(Option::EffectSizes, m, b, named, [] {});
    ASSERT_EQ(chosen.size(), 3u);
    EXPECT_EQ(chosen[0].statistic, Statistic::Pncd);
    EXPECT_EQ(chosen[0].values, table[5].values);
    EXPECT_EQ(chosen[0].pValues, table[5].pValues);
    EXPECT_EQ(chosen[2].values, table[0].values);
    EXPECT_EQ(chosen[1].pValues.size(), 40u);
    EXPECT_TRUE(a == b) << "the same draws whatever is computed";
}

// The method's inner simulations start afresh for every case from the seed.
TEST(Analysis, TheMethodDependsOnTheCaseAndTheSeedAlone) {
    const ObservedCase one = caseOf("one", 4, {1, 2, 1.5f, 2, 4, 5, 4.5f, 6});
    const ObservedCase two = caseOf("two", 3, {3, 3, 2, 2, 1, 2, 1});
    const AnalysisSettings settings{{Statistic::SimD, Statistic::Nap, Statistic::SimR}, 12345};
    const std::vector<CaseOutcome> both = analyseCases({one, two}, settings);
    const std::vector<CaseOutcome> reversed = analyseCases({two, one}, settings);
    const CaseOutcome alone = analyseCase(two, settings);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_TRUE(sameFloat(both[1].estimates[k].value, alone.estimates[k].value)) << k;
        EXPECT_TRUE(sameFloat(both[1].estimates[k].p, alone.estimates[k].p)) << k;
        EXPECT_TRUE(sameFloat(reversed[1].estimates[k].value, both[0].estimates[k].value)) << k;
        EXPECT_TRUE(sameFloat(reversed[0].estimates[k].p, both[1].estimates[k].p)) << k;
    }
    EXPECT_TRUE(sameFloat(both[0].estimates[0].p, both[0].estimates[2].p)) << "SIM-d and SIM-r share one test";
    const CaseOutcome reseeded = analyseCase(two, AnalysisSettings{settings.statistics, 12346});
    EXPECT_FALSE(sameFloat(reseeded.estimates[0].value, alone.estimates[0].value));
    EXPECT_TRUE(sameFloat(reseeded.estimates[1].value, alone.estimates[1].value)) << "NAP draws nothing";
}

TEST(Analysis, PhaseLengthsWithinTheOptionsLimits) {
    const ObservedCase longB = caseOf("c", 2, std::vector<float>(103, 1.0f));
    EXPECT_EQ(caseLengthProblem(longB, defaultAnalysisStatistics()), "");
    const std::string why = caseLengthProblem(longB, {Statistic::Nap, Statistic::SimR});
    EXPECT_NE(why.find("SIM-r takes at most 100 per phase"), std::string::npos) << why;
    const ObservedCase veryLong = caseOf("c", 1001, std::vector<float>(1002, 1.0f));
    EXPECT_NE(caseLengthProblem(veryLong, {Statistic::Smd}).find("SMD takes at most 1000"), std::string::npos);
}

TEST(Analysis, DefaultStatisticsAreTheFirstOptionsAllInTableOrder) {
    const std::vector<Statistic> s = defaultAnalysisStatistics();
    ASSERT_EQ(s.size(), 11u);
    EXPECT_EQ(std::vector<Statistic>(s.begin(), s.begin() + 6), defaultStatistics(Option::EffectSizes));
    EXPECT_EQ(s.back(), Statistic::Smd);
}
