// How sure simulated evidence makes us of a rejection rate's side of a
// target, and the replication counts at which a condition is judged.
//
// The rule.  With x rejections among n simulated series, the rate's posterior
// under the Jeffreys prior Beta(1/2, 1/2) is Beta(x + 1/2, n - x + 1/2).  At
// confidence c (0.5 < c < 1) the rate is judged
//   above the target  when P(rate > target | x, n) >= c,
//   below the target  when P(rate > target | x, n) <= 1 - c,
//   undecided         otherwise.
// The interval reported with it is the equal-tailed credible interval whose
// ends are the one-sided c bounds: the (1 - c) and c quantiles of the
// posterior.  "Above" is the same as "the lower end is at or above the
// target", and "below" the same as "the upper end is at or below it", so a
// decided rate is one whose interval leaves the target out.
//
// A posterior probability stays what it says however often the evidence is
// looked at, so a condition may be judged after every batch of series.  (As a
// frequency over repeated searches the error of a rate very near the target
// grows with the number of looks; the schedule below keeps the looks few.)
//
// The incomplete beta function and its inverse come from Boost.Math.
#pragma once

#include <string>

enum class Side { Below, Above, Undecided };

struct RateJudgement {
    double rate = 0.0;              // x / n, as a results file's p_sig holds it
    double lower = 0.0;             // the (1 - c) quantile of the posterior
    double upper = 0.0;             // the c quantile
    double probabilityAbove = 0.0;  // P(rate > target | x, n)
    Side side = Side::Undecided;
};

// Requires 0 <= rejections <= replications, replications >= 1,
// 0 < target < 1 and 0.5 < confidence < 1 (see certaintyProblem).
RateJudgement judgeRate(long long rejections, long long replications, double target,
                        double confidence);

// What is wrong with a target or a confidence, or empty when both are usable:
// a target strictly between 0 and 1, a confidence strictly between 0.5 and 1.
std::string certaintyProblem(double target, double confidence);

// ---- The batch schedule ------------------------------------------------------

// The first look at a condition is after this many series.
inline constexpr int kFirstLook = 1000;

// The replication count of the next look at a condition that has had
// `current` series (0 before the first): kFirstLook, then doubling (2000,
// 4000, ...), never beyond cap; the last look is at cap itself.  With the
// default cap of 100000 the looks fall at 1000, 2000, 4000, 8000, 16000,
// 32000, 64000 and 100000 series.  Requires 0 <= current < cap.
int nextLook(int current, int cap);
