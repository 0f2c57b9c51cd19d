// The planning search's simulation: a condition grown look by look has the
// series, sums and counts of one run of its final count; its seed and rows
// are those of the program's grid run in per-condition mode; the search on
// it is the same on any thread count.
#include "planevaluator.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "test.h"

namespace {

std::uint32_t bitsOf(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

std::vector<std::uint32_t> bitsOf(const std::vector<float>& v) {
    std::vector<std::uint32_t> bits;
    for (const float f : v) bits.push_back(bitsOf(f));
    return bits;
}

// Equal bit for bit: values, p-values, running sum and count, in order.
void expectSameRows(const std::vector<StatisticRow>& expected, const std::vector<StatisticRow>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE(testing::Message() << "row " << k);
        EXPECT_EQ(expected[k].statistic, actual[k].statistic);
        EXPECT_EQ(bitsOf(expected[k].values), bitsOf(actual[k].values));
        EXPECT_EQ(bitsOf(expected[k].pValues), bitsOf(actual[k].pValues));
        EXPECT_EQ(bitsOf(expected[k].sum), bitsOf(actual[k].sum));
        EXPECT_EQ(expected[k].significant, actual[k].significant);
    }
}

// Level change 1, AR(1) 0.3, N_A 5: the benchmark's question, scaled down.
Condition baseCondition(Option option = Option::EffectSizes) {
    Condition c;
    c.option = option;
    c.model.nA = 5;
    c.model.nB = 0;
    c.model.fB2 = 1.0f;
    c.model.fSA = 1.0f;
    c.model.fSB = 1.0f;
    c.model.fAR1 = 0.3f;
    return c;
}

EvaluatorSettings settingsFor(const Condition& base, std::uint32_t seed = 20240611) {
    EvaluatorSettings s;
    s.base = base;
    s.factor = SearchedFactor::NB;
    s.statistic = base.option == Option::EffectSizes ? Statistic::PlTau : Statistic::SimD;
    s.baseSeed = seed;
    s.alpha = 0.05;
    return s;
}

// A settled condition as the callback hands it over.
struct Settled {
    Condition condition;
    std::uint32_t seed = 0;
    std::vector<StatisticRow> rows;
};

SettledFn keepInto(std::vector<Settled>& kept) {
    return [&kept](const Condition& c, std::uint32_t seed, const std::vector<StatisticRow>& rows) {
        kept.push_back({c, seed, rows});
    };
}

EvaluatedPoint settledAt(int length, int replications) {
    EvaluatedPoint p;
    p.length = length;
    p.replications = replications;
    return p;
}

// The rows of one uninterrupted run of the condition, from a fresh generator.
std::vector<StatisticRow> oneRun(const Condition& c, std::uint32_t seed, int replications) {
    Simulator simulator(1);
    Rng rng;
    RunSettings run;
    run.iterations = replications;
    run.seed = seed;
    run.alpha = 0.05;
    return simulator.run(c.option, c.model, rng, run, [] {});
}

long long significantIn(const std::vector<StatisticRow>& rows, Statistic s) {
    for (const StatisticRow& r : rows)
        if (r.statistic == s) {
            long long n = 0;
            for (const float p : r.pValues) n += static_cast<double>(p) < 0.05;
            return n;
        }
    return -1;
}

}  // namespace

TEST(PlanEvaluator, ConditionAtLength) {
    Condition base = baseCondition();
    base.id = 7;
    const Condition b = conditionAtLength(base, SearchedFactor::NB, 12);
    EXPECT_EQ(5, b.model.nA);
    EXPECT_EQ(12, b.model.nB);
    EXPECT_EQ(7, b.id);
    const Condition a = conditionAtLength(base, SearchedFactor::NA, 12);
    EXPECT_EQ(12, a.model.nA);
    EXPECT_EQ(0, a.model.nB);
    const Condition both = conditionAtLength(base, SearchedFactor::Both, 12);
    EXPECT_EQ(12, both.model.nA);
    EXPECT_EQ(12, both.model.nB);
    EXPECT_EQ(1.0f, both.model.fB2);
}

TEST(PlanEvaluator, PhaseLengthLimitsBoundTheRange) {
    EvaluatorSettings s = settingsFor(baseCondition());
    EXPECT_EQ("", evaluatorProblem(s, 1, 1000));
    EXPECT_NE("", evaluatorProblem(s, 0, 10));
    EXPECT_NE("", evaluatorProblem(s, 3, 1001));
    s.base.option = Option::Varden;
    EXPECT_EQ("", evaluatorProblem(s, 1, 100));
    EXPECT_NE("", evaluatorProblem(s, 3, 101));
    s.base.model.fMA1 = 0.2f;  // with a non-zero AR(1)
    EXPECT_NE("", evaluatorProblem(s, 3, 10));
}

// Grown in uneven steps (13 points draw 63 normals per series, so an odd
// count leaves a cached deviate at the step), the rows equal one run's.
TEST(PlanEvaluator, GrownConditionEqualsOneRun) {
    std::vector<Settled> kept;
    SimulationEvaluator evaluator(settingsFor(baseCondition()), 2, keepInto(kept));
    const long long first = evaluator.rejections(8, 1001);
    EXPECT_EQ(first, evaluator.rejections(8, 1001));  // asking again draws nothing
    const long long later = evaluator.rejections(8, 3001);
    evaluator.settle(settledAt(8, 3001));
    ASSERT_EQ(1u, kept.size());
    const Condition c = conditionAtLength(baseCondition(), SearchedFactor::NB, 8);
    EXPECT_EQ(conditionSeed(20240611, c), kept[0].seed);
    EXPECT_EQ(8, kept[0].condition.model.nB);
    const std::vector<StatisticRow> whole = oneRun(c, kept[0].seed, 3001);
    expectSameRows(whole, kept[0].rows);
    EXPECT_EQ(significantIn(whole, Statistic::PlTau), later);
    EXPECT_EQ(significantIn(oneRun(c, kept[0].seed, 1001), Statistic::PlTau), first);
}

// The VARDEN option draws uniforms and inner normals too; continuation keeps
// them in step.
TEST(PlanEvaluator, GrownVardenConditionEqualsOneRun) {
    Condition base = baseCondition(Option::Varden);
    base.model.nA = 3;
    std::vector<Settled> kept;
    SimulationEvaluator evaluator(settingsFor(base), 2, keepInto(kept));
    evaluator.rejections(3, 3);
    evaluator.rejections(3, 7);
    evaluator.settle(settledAt(3, 7));
    ASSERT_EQ(1u, kept.size());
    expectSameRows(oneRun(kept[0].condition, kept[0].seed, 7), kept[0].rows);
}

// Each condition starts afresh: what came before does not change it.
TEST(PlanEvaluator, ConditionsDoNotDependOnEachOther) {
    std::vector<Settled> kept;
    SimulationEvaluator evaluator(settingsFor(baseCondition()), 1, keepInto(kept));
    evaluator.rejections(4, 1001);  // 59 normals a series, 1001 series: a cached deviate is left
    evaluator.settle(settledAt(4, 1001));
    evaluator.rejections(6, 999);
    evaluator.settle(settledAt(6, 999));
    ASSERT_EQ(2u, kept.size());
    expectSameRows(oneRun(kept[1].condition, kept[1].seed, 999), kept[1].rows);
}

TEST(PlanEvaluator, MisuseIsRefused) {
    EvaluatorSettings s = settingsFor(baseCondition());
    s.statistic = Statistic::MpdR;  // no test
    SimulationEvaluator noTest(s, 1);
    EXPECT_THROW(noTest.rejections(5, 10), std::invalid_argument);
    s.statistic = Statistic::SimD;  // not a statistic of option 1
    SimulationEvaluator otherOption(s, 1);
    EXPECT_THROW(otherOption.rejections(5, 10), std::invalid_argument);

    SimulationEvaluator evaluator(settingsFor(baseCondition()), 1);
    evaluator.rejections(5, 20);
    EXPECT_THROW(evaluator.rejections(5, 10), std::logic_error);
    EXPECT_THROW(evaluator.settle(settledAt(5, 10)), std::logic_error);
    EXPECT_THROW(evaluator.settle(settledAt(6, 20)), std::logic_error);
    evaluator.settle(settledAt(5, 20));
    EXPECT_THROW(evaluator.settle(settledAt(5, 20)), std::logic_error);
}

// A small question searched on 1, 2 and 3 threads: the same lengths,
// counts, rejections and rows.  PL-Tau's power runs flat near 0.4 from
// N_B 9 to 12 here, so the search looks several times at several lengths
// and ends undecidable (a cap of 8000 keeps it to 47000 series).
TEST(PlanEvaluator, SearchIsTheSameOnAnyThreadCount) {
    SearchQuestion q;
    q.from = 3;
    q.to = 16;
    q.target = 0.4;
    q.maxReplications = 8000;
    std::vector<PlanResult> results;
    std::vector<std::vector<Settled>> kept(3);
    for (int threads = 1; threads <= 3; ++threads) {
        SimulationEvaluator evaluator(settingsFor(baseCondition()), threads, keepInto(kept[threads - 1]));
        results.push_back(searchLength(q, evaluator));
    }
    EXPECT_EQ(Outcome::Undecidable, results[0].outcome);
    EXPECT_EQ(47000, results[0].totalSeries);
    for (int k = 1; k < 3; ++k) {
        ASSERT_EQ(results[0].points.size(), results[k].points.size());
        for (std::size_t i = 0; i < results[0].points.size(); ++i) {
            EXPECT_EQ(results[0].points[i].length, results[k].points[i].length);
            EXPECT_EQ(results[0].points[i].replications, results[k].points[i].replications);
            EXPECT_EQ(results[0].points[i].rejections, results[k].points[i].rejections);
        }
        EXPECT_EQ(results[0].outcome, results[k].outcome);
        EXPECT_EQ(results[0].totalSeries, results[k].totalSeries);
        ASSERT_EQ(kept[0].size(), kept[k].size());
        for (std::size_t i = 0; i < kept[0].size(); ++i) expectSameRows(kept[0][i].rows, kept[k][i].rows);
    }
    EXPECT_EQ(results[0].points.size(), kept[0].size());
}

#ifdef ZELKOR_BINARY
namespace {

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) out.push_back(cell);
    return out;
}

std::vector<std::vector<std::string>> csvRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) rows.push_back(fields(line));
    return rows;
}

}  // namespace

// The program's own grid run, per-condition seeds, of the lengths a search
// settled, at the same counts: the same seed, series values and p-values of
// every statistic, and the same mean and share of significant series.
TEST(PlanEvaluator, SettledConditionsMatchTheProgramsGridRun) {
    ScratchDirectory dir;
    const std::string zelkor = ZELKOR_BINARY;
    const auto sh = [&](const std::string& command) {
        const int status = std::system(("cd '" + dir.directory().string() + "' && " + command).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(0, sh(zelkor + " grid expand --option 1 --n-a 5 --n-b 6,9 --level 1 --ar1 0.3 -o design.csv"));
    ASSERT_EQ(0, sh(zelkor + " grid run design.csv --seed-mode per-condition --seed 20240611 "
                             "--replications 2000 --per-series series.csv --threads 2 -o results.csv"));

    std::vector<Settled> kept;
    SimulationEvaluator evaluator(settingsFor(baseCondition()), 2, keepInto(kept));
    for (const int length : {6, 9}) {
        evaluator.rejections(length, 1000);
        evaluator.rejections(length, 2000);
        evaluator.settle(settledAt(length, 2000));
    }
    ASSERT_EQ(2u, kept.size());

    const auto results = csvRows(dir.read("results.csv"));
    std::map<std::string, std::size_t> column;
    for (std::size_t k = 0; k < results[0].size(); ++k) column[results[0][k]] = k;
    const auto series = csvRows(dir.read("series.csv"));
    std::size_t resultLine = 1, seriesLine = 1;
    for (const Settled& s : kept) {
        for (const StatisticRow& row : s.rows) {
            const auto& r = results[resultLine++];
            SCOPED_TRACE(testing::Message() << "n_b " << s.condition.model.nB << " " << r[column["statistic"]]);
            EXPECT_EQ(std::to_string(s.condition.model.nB), r[column["n_b"]]);
            EXPECT_EQ(std::to_string(s.seed), r[column["seed"]]);
            EXPECT_EQ("2000", r[column["n_sim"]]);
            EXPECT_EQ(static_cast<double>(row.sum) / 2000, std::strtod(r[column["mean"]].c_str(), nullptr));
            if (!row.pValues.empty()) {
                EXPECT_EQ(static_cast<double>(row.significant) / 2000,
                          std::strtod(r[column["p_sig"]].c_str(), nullptr));
            }
            for (std::size_t i = 0; i < row.values.size(); ++i) {
                const auto& line = series[seriesLine++];
                ASSERT_EQ(5u, line.size());
                ASSERT_EQ(bitsOf(row.values[i]), bitsOf(std::strtof(line[3].c_str(), nullptr))) << i;
                if (!row.pValues.empty()) {
                    ASSERT_EQ(bitsOf(row.pValues[i]), bitsOf(std::strtof(line[4].c_str(), nullptr))) << i;
                }
            }
        }
    }
    EXPECT_EQ(results.size(), resultLine);
    EXPECT_EQ(series.size(), seriesLine);
}
#endif
