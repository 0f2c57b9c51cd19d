// The plan's summary for the outcomes the program's simulation does not
// readily give: a violated monotonicity and an undecidable boundary.
#include "plansummary.h"

#include <gtest/gtest.h>

namespace {

EvaluatedPoint pointAt(int length, int replications, long long rejections, Verdict verdict) {
    EvaluatedPoint p;
    p.length = length;
    p.replications = replications;
    p.rejections = rejections;
    p.judgement = judgeRate(rejections, replications, 0.8, 0.99);
    p.verdict = verdict;
    return p;
}

PlanDescription description() {
    PlanDescription d;
    d.statistic = "Tau-U";
    d.factor = "n_a = n_b";
    d.fixed = "option 1, level 1; others 0, SDs 1";
    d.question.from = 3;
    d.question.to = 40;
    return d;
}

}  // namespace

TEST(PlanSummary, ViolationsNameEveryPairAndTheFirstCrossing) {
    PlanResult r;
    r.outcome = Outcome::MonotonicityViolated;
    r.points = {pointAt(3, 1000, 500, Verdict::Bad), pointAt(10, 1000, 900, Verdict::Good),
                pointAt(17, 1000, 500, Verdict::Bad), pointAt(40, 1000, 950, Verdict::Good),
                pointAt(6, 1000, 600, Verdict::Bad)};
    r.answer = r.points[1];
    r.below = r.points[4];
    r.violations = {{10, 17}};
    r.totalSeries = 5000;
    const std::string text = planSummary(description(), r, 1.25);
    EXPECT_NE(text.find("Answer:    n_a = n_b = 10 at the first crossing, but monotonicity is violated (exit "
                        "status 6)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("n_a = n_b = 17 misses the target though the shorter 10 meets it"), std::string::npos) << text;
    EXPECT_NE(text.find("  n_a = n_b = 10: rate 0.9000 in ["), std::string::npos) << text;
    EXPECT_NE(text.find("  n_a = n_b = 6: rate 0.6000 in ["), std::string::npos) << text;
    EXPECT_NE(text.find("Evaluated: 5 lengths, in this order: 3, 10, 17, 40, 6\nSeries:    5000\nTime:      1.2 s\n"),
              std::string::npos)
        << text;
}

TEST(PlanSummary, UndecidableLengthsStandBetweenTheirDecidedNeighbours) {
    PlanResult r;
    r.outcome = Outcome::Undecidable;
    r.points = {pointAt(3, 1000, 100, Verdict::Bad), pointAt(5, 100000, 80010, Verdict::Undecidable),
                pointAt(6, 1000, 950, Verdict::Good), pointAt(4, 64000, 50000, Verdict::Bad)};
    r.answer = r.points[2];
    r.below = r.points[3];
    r.estimate = r.points[1];
    r.undecidable = {5};
    const std::string text = planSummary(description(), r, 0.0);
    const std::size_t below = text.find("  n_a = n_b = 4:"), undecided = text.find("  n_a = n_b = 5:"),
                      answer = text.find("  n_a = n_b = 6:");
    ASSERT_NE(answer, std::string::npos) << text;
    EXPECT_LT(below, undecided);
    EXPECT_LT(undecided, answer);
    EXPECT_NE(text.find("80010 of 100000 series: undecided"), std::string::npos) << text;
    EXPECT_NE(text.find("estimate n_a = n_b = 5, the shortest whose rate meets it"), std::string::npos) << text;
    EXPECT_EQ(text.find("  n_a = n_b = 3:"), std::string::npos) << "only the lengths at the boundary";
}
