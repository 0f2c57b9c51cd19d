// The planning search against fake evaluators whose rejection rate is a
// chosen function of the length: the lengths it evaluates and in which
// order, the counts it spends on each, its answer and neighbour, and every
// way a search can end.
//
// The fakes return round(rate * n) rejections of n series.  Against a target
// of 0.8 at confidence 0.99 (R's pbeta, see certainty_test.cpp):
//   0.3 and 0.95 are decided at the first look (1000 series);
//   0.8 is never decided (P(above) stays near 0.5);
//   0.81 is decided above, and 0.79 below, at the fifth look (16000).
#include "powersearch.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

namespace {

class FakeEvaluator : public LengthEvaluator {
public:
    explicit FakeEvaluator(std::function<double(int)> rate) : rate_(std::move(rate)) {}

    long long rejections(int length, int replications) override {
        // One length at a time, growing, never revisited once settled.
        if (!asked.empty() && asked.back().first == length) {
            EXPECT_GT(replications, asked.back().second);
        }
        for (const EvaluatedPoint& p : settled) EXPECT_NE(length, p.length);
        asked.emplace_back(length, replications);
        return std::llround(rate_(length) * replications);
    }
    void settle(const EvaluatedPoint& point) override {
        EXPECT_EQ(point.length, asked.back().first);
        EXPECT_EQ(point.replications, asked.back().second);
        settled.push_back(point);
    }

    std::vector<std::pair<int, int>> asked;  // (length, count), in order
    std::vector<EvaluatedPoint> settled;

private:
    std::function<double(int)> rate_;
};

SearchQuestion question(int from, int to, int cap = 100000) {
    SearchQuestion q;
    q.from = from;
    q.to = to;
    q.goal = Goal::AtLeast;
    q.target = 0.8;
    q.confidence = 0.99;
    q.maxReplications = cap;
    return q;
}

std::vector<int> lengthsOf(const PlanResult& r) {
    std::vector<int> lengths;
    for (const EvaluatedPoint& p : r.points) lengths.push_back(p.length);
    return lengths;
}

std::vector<int> countsOf(const PlanResult& r) {
    std::vector<int> counts;
    for (const EvaluatedPoint& p : r.points) counts.push_back(p.replications);
    return counts;
}

// Power 0.3 below `step`, 0.95 from it on.
std::function<double(int)> stepAt(int step) {
    return [step](int length) { return length < step ? 0.3 : 0.95; };
}

}  // namespace

TEST(PowerSearch, LadderThenBisectionFindsTheStep) {
    FakeEvaluator fake(stepAt(17));
    const PlanResult r = searchLength(question(3, 60), fake);
    // Ladder 3 4 6 10 18 34 60; bisection of (10, 18): 14, 16, 17.
    EXPECT_EQ((std::vector<int>{3, 4, 6, 10, 18, 34, 60, 14, 16, 17}), lengthsOf(r));
    EXPECT_EQ(std::vector<int>(10, 1000), countsOf(r));
    EXPECT_EQ(Outcome::Found, r.outcome);
    ASSERT_TRUE(r.answer && r.below);
    EXPECT_EQ(17, r.answer->length);
    EXPECT_EQ(950, r.answer->rejections);
    EXPECT_EQ(Verdict::Good, r.answer->verdict);
    EXPECT_EQ(Side::Above, r.answer->judgement.side);
    EXPECT_EQ(16, r.below->length);
    EXPECT_EQ(Verdict::Bad, r.below->verdict);
    EXPECT_EQ(17, r.estimate->length);
    EXPECT_TRUE(r.undecidable.empty());
    EXPECT_TRUE(r.violations.empty());
    EXPECT_EQ(10000, r.totalSeries);
    EXPECT_EQ(10u, fake.settled.size());
    EXPECT_EQ(0, exitStatus(r.outcome));
}

TEST(PowerSearch, BisectionTakesTheLowerMidpoint) {
    // Steps at every length of a ladder gap give the same first probe, and the
    // answer is always the step.
    for (int step = 11; step <= 18; ++step) {
        FakeEvaluator fake(stepAt(step));
        const PlanResult r = searchLength(question(3, 60), fake);
        ASSERT_EQ(Outcome::Found, r.outcome) << step;
        EXPECT_EQ(step, r.answer->length);
        EXPECT_EQ(step - 1, r.below->length);
        EXPECT_EQ(14, r.points[7].length);
    }
}

TEST(PowerSearch, ReachedAtFrom) {
    FakeEvaluator fake([](int) { return 0.95; });
    const PlanResult r = searchLength(question(5, 20), fake);
    EXPECT_EQ((std::vector<int>{5, 6, 8, 12, 20}), lengthsOf(r));
    EXPECT_EQ(Outcome::ReachedAtFrom, r.outcome);
    EXPECT_EQ(5, r.answer->length);
    EXPECT_FALSE(r.below);
    EXPECT_EQ(3, exitStatus(r.outcome));
}

TEST(PowerSearch, NotReachedByTo) {
    FakeEvaluator fake([](int) { return 0.3; });
    const PlanResult r = searchLength(question(5, 20), fake);
    EXPECT_EQ((std::vector<int>{5, 6, 8, 12, 20}), lengthsOf(r));
    EXPECT_EQ(Outcome::NotReached, r.outcome);
    EXPECT_FALSE(r.answer);
    EXPECT_FALSE(r.estimate);
    ASSERT_TRUE(r.below);
    EXPECT_EQ(20, r.below->length);
    EXPECT_EQ(4, exitStatus(r.outcome));
}

TEST(PowerSearch, FlatAtTheTargetIsUndecidableEverywhere) {
    FakeEvaluator fake([](int) { return 0.8; });
    const PlanResult r = searchLength(question(3, 10, 4000), fake);
    EXPECT_EQ((std::vector<int>{3, 4, 6, 10}), lengthsOf(r));
    // Every length is looked at up to the cap.
    const std::vector<std::pair<int, int>> looks = {{3, 1000}, {3, 2000}, {3, 4000}, {4, 1000},
                                                    {4, 2000}, {4, 4000}, {6, 1000}, {6, 2000},
                                                    {6, 4000}, {10, 1000}, {10, 2000}, {10, 4000}};
    EXPECT_EQ(looks, fake.asked);
    EXPECT_EQ(Outcome::Undecidable, r.outcome);
    EXPECT_FALSE(r.answer);
    EXPECT_FALSE(r.below);
    EXPECT_EQ((std::vector<int>{3, 4, 6, 10}), r.undecidable);
    EXPECT_EQ(3, r.estimate->length);  // rate 0.8 meets the target
    for (const EvaluatedPoint& p : r.points) {
        EXPECT_EQ(Verdict::Undecidable, p.verdict);
        EXPECT_LT(p.judgement.lower, 0.8);
        EXPECT_GT(p.judgement.upper, 0.8);
    }
    EXPECT_EQ(16000, r.totalSeries);
    EXPECT_EQ(5, exitStatus(r.outcome));
}

// An undecidable zone 13..15 between bad 12 and good 16: the search bounds
// it from both sides with decided neighbours.
TEST(PowerSearch, UndecidableZoneIsBoundedByDecidedNeighbours) {
    FakeEvaluator fake([](int length) { return length <= 12 ? 0.3 : length <= 15 ? 0.8 : 0.95; });
    const PlanResult r = searchLength(question(3, 40, 4000), fake);
    // Ladder 3 4 6 10 18 34 40; 14 undecidable; below it 12 (bad) and 13
    // (undecidable); above it 16 (good) and 15 (undecidable).
    EXPECT_EQ((std::vector<int>{3, 4, 6, 10, 18, 34, 40, 14, 12, 13, 16, 15}), lengthsOf(r));
    EXPECT_EQ((std::vector<int>{1000, 1000, 1000, 1000, 1000, 1000, 1000, 4000, 1000, 4000, 1000, 4000}),
              countsOf(r));
    EXPECT_EQ(Outcome::Undecidable, r.outcome);
    EXPECT_EQ((std::vector<int>{13, 14, 15}), r.undecidable);
    EXPECT_EQ(16, r.answer->length);
    EXPECT_EQ(12, r.below->length);
    EXPECT_EQ(13, r.estimate->length);
    EXPECT_EQ(21000, r.totalSeries);
}

// Where certainty runs out, the estimate is the first undecidable length
// whose rate meets the target: 0.7995 at 11 does not, 0.8005 at 12 does.
TEST(PowerSearch, EstimateAtTheCapReadsTheRates) {
    FakeEvaluator fake([](int length) {
        return length <= 10 ? 0.3 : length == 11 ? 0.7995 : length == 12 ? 0.8005 : 0.95;
    });
    const PlanResult r = searchLength(question(3, 14, 2000), fake);
    // Ladder 3 4 6 10 14; bisection 12 (undecidable), 11 (undecidable), 13.
    EXPECT_EQ((std::vector<int>{3, 4, 6, 10, 14, 12, 11, 13}), lengthsOf(r));
    EXPECT_EQ(Outcome::Undecidable, r.outcome);
    EXPECT_EQ((std::vector<int>{11, 12}), r.undecidable);
    EXPECT_EQ(13, r.answer->length);
    EXPECT_EQ(10, r.below->length);
    EXPECT_EQ(12, r.estimate->length);
}

TEST(PowerSearch, UndecidableAtTheTopWithoutAGoodLength) {
    FakeEvaluator fake([](int length) { return length < 9 ? 0.3 : 0.8; });
    const PlanResult r = searchLength(question(1, 16, 2000), fake);
    // Ladder 1 2 4 8 16; 16 undecidable; bisection below it: 12, 10, 9.
    EXPECT_EQ((std::vector<int>{1, 2, 4, 8, 16, 12, 10, 9}), lengthsOf(r));
    EXPECT_EQ(Outcome::Undecidable, r.outcome);
    EXPECT_FALSE(r.answer);
    EXPECT_EQ(8, r.below->length);
    EXPECT_EQ((std::vector<int>{9, 10, 12, 16}), r.undecidable);
    EXPECT_EQ(9, r.estimate->length);
}

// A rate near the target takes several looks: 0.81 and 0.79 at 16000.
TEST(PowerSearch, LooksGrowUntilDecided) {
    FakeEvaluator fake([](int length) { return length < 7 ? 0.3 : length == 7 ? 0.79 : length == 8 ? 0.81 : 0.95; });
    std::vector<std::pair<int, int>> seen;
    const PlanResult r = searchLength(question(3, 10), fake, [&seen](int length, int n, const RateJudgement&) {
        seen.emplace_back(length, n);
    });
    // Ladder 3 4 6 10; bisection 8 then 7.
    EXPECT_EQ((std::vector<int>{3, 4, 6, 10, 8, 7}), lengthsOf(r));
    EXPECT_EQ((std::vector<int>{1000, 1000, 1000, 1000, 16000, 16000}), countsOf(r));
    EXPECT_EQ(fake.asked, seen);
    EXPECT_EQ(Outcome::Found, r.outcome);
    EXPECT_EQ(8, r.answer->length);
    EXPECT_EQ(7, r.below->length);
    EXPECT_EQ(36000, r.totalSeries);
}

TEST(PowerSearch, ViolationsAreReportedWithTheFirstCrossing) {
    // Good only from 10 to 20.
    FakeEvaluator fake([](int length) { return length >= 10 && length <= 20 ? 0.95 : 0.3; });
    const PlanResult r = searchLength(question(3, 60), fake);
    EXPECT_EQ((std::vector<int>{3, 4, 6, 10, 18, 34, 60, 8, 9}), lengthsOf(r));
    EXPECT_EQ(Outcome::MonotonicityViolated, r.outcome);
    EXPECT_EQ(10, r.answer->length);
    EXPECT_EQ(9, r.below->length);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{10, 34}, {10, 60}}), r.violations);
    EXPECT_EQ(6, exitStatus(r.outcome));
}

TEST(PowerSearch, ViolationOutranksReachedAtFrom) {
    FakeEvaluator fake([](int length) { return length == 50 ? 0.3 : 0.95; });
    const PlanResult r = searchLength(question(43, 50), fake);
    EXPECT_EQ((std::vector<int>{43, 44, 46, 50}), lengthsOf(r));
    EXPECT_EQ(Outcome::MonotonicityViolated, r.outcome);
    EXPECT_EQ(43, r.answer->length);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{43, 50}}), r.violations);
}

// --type-one-at-most: good is a rate judged below the bound.
TEST(PowerSearch, TypeOneBoundSearchesForARateBelow) {
    FakeEvaluator fake([](int length) { return length < 8 ? 0.2 : 0.01; });
    SearchQuestion q = question(2, 30);
    q.goal = Goal::AtMost;
    q.target = 0.05;
    const PlanResult r = searchLength(q, fake);
    EXPECT_EQ((std::vector<int>{2, 3, 5, 9, 17, 30, 7, 8}), lengthsOf(r));
    EXPECT_EQ(Outcome::Found, r.outcome);
    EXPECT_EQ(8, r.answer->length);
    EXPECT_EQ(Side::Below, r.answer->judgement.side);
    EXPECT_EQ(Verdict::Good, r.answer->verdict);
    EXPECT_EQ(7, r.below->length);
    EXPECT_EQ(Side::Above, r.below->judgement.side);
}

TEST(PowerSearch, OneLengthRange) {
    FakeEvaluator good([](int) { return 0.95; });
    EXPECT_EQ(Outcome::ReachedAtFrom, searchLength(question(7, 7), good).outcome);
    FakeEvaluator bad([](int) { return 0.3; });
    const PlanResult r = searchLength(question(7, 7), bad);
    EXPECT_EQ(Outcome::NotReached, r.outcome);
    EXPECT_EQ(std::vector<int>{7}, lengthsOf(r));
}

TEST(PowerSearch, WidestRangeStaysInRange) {
    FakeEvaluator fake(stepAt(INT_MAX - 5));
    const PlanResult r = searchLength(question(1, INT_MAX, 1000), fake);
    EXPECT_EQ(Outcome::Found, r.outcome);
    EXPECT_EQ(INT_MAX - 5, r.answer->length);
    for (const EvaluatedPoint& p : r.points) {
        EXPECT_GE(p.length, 1);
        EXPECT_LE(p.length, INT_MAX);
    }
    EXPECT_EQ(INT_MAX, r.points[31].length);  // the ladder's 32nd rung is `to`
}

TEST(PowerSearch, SameQuestionSameSearch) {
    const auto rate = [](int length) { return 0.5 + 0.01 * length; };
    FakeEvaluator a(rate), b(rate);
    const PlanResult ra = searchLength(question(1, 40), a);
    const PlanResult rb = searchLength(question(1, 40), b);
    EXPECT_EQ(a.asked, b.asked);
    EXPECT_EQ(lengthsOf(ra), lengthsOf(rb));
    EXPECT_EQ(ra.answer->length, rb.answer->length);
}

TEST(PowerSearch, ProblemsOfAQuestion) {
    EXPECT_EQ("", searchProblem(question(3, 60)));
    EXPECT_EQ("the range must start at 1 or above", searchProblem(question(0, 60)));
    EXPECT_EQ("the range's end must not lie below its start", searchProblem(question(9, 8)));
    EXPECT_EQ("the replication cap must be at least 1", searchProblem(question(3, 60, 0)));
    SearchQuestion q = question(3, 60);
    q.confidence = 0.5;
    EXPECT_EQ("the confidence must lie strictly between 0.5 and 1", searchProblem(q));
}

TEST(PowerSearch, OutcomeNamesAndStatusesAreDistinct) {
    const Outcome all[] = {Outcome::Found, Outcome::ReachedAtFrom, Outcome::NotReached, Outcome::Undecidable,
                           Outcome::MonotonicityViolated};
    for (const Outcome a : all)
        for (const Outcome b : all)
            if (a != b) {
                EXPECT_NE(exitStatus(a), exitStatus(b));
                EXPECT_STRNE(outcomeName(a), outcomeName(b));
            }
    for (const Outcome a : all) {
        EXPECT_NE(1, exitStatus(a));
        EXPECT_NE(2, exitStatus(a));
    }
}
