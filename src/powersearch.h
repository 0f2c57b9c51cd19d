// The planning search: the shortest phase length in [from, to] whose
// rejection rate is judged, at the stated certainty, to lie on the good side
// of a target, spending simulated series near the answer.
//
// What it promises.
// - Each length is one condition, grown in looks (certainty.h: 1000, 2000,
//   4000, ... series, the last at the cap) until its rate is judged on one
//   side of the target, or the cap is reached with the interval still holding
//   the target (the length is then undecidable).  A length is evaluated once,
//   to its end, and never revisited; its final count is settled with the
//   evaluator before the next length starts.
// - The order of evaluation:
//   1. The ladder from, from + 1, from + 3, from + 7, ... (steps doubling),
//      always ending with `to`: the whole range is seen at widening spacing,
//      and the assumption that the rate moves towards the good side with
//      length is checked on it.
//   2. Bisection at the first crossing: between the longest length judged
//      bad below the shortest judged good (or from - 1 when there is none),
//      halving the gap, the lower half's midpoint taken when it is uneven
//      (a + (b - a) / 2).  Undecidable lengths inside that gap split it: the
//      search then bisects between the longest bad length and the shortest
//      undecidable one, and between the longest undecidable one and the
//      shortest good length, so the undecidable zone is bounded on both
//      sides by decided neighbours.
//   The search stops when no gap has a length left inside.
// - The answer depends only on the question and the evaluator's counts: the
//   same inputs give the same lengths, in the same order, at the same counts.
//
// "Good" means: for a power target (Goal::AtLeast) the rate judged above it,
// for a Type-I bound (Goal::AtMost) the rate judged below it.  The search
// assumes power does not fall, and a Type-I rate does not rise, with length.
// A longer length judged bad while a shorter one was judged good breaks that
// assumption; every such pair found is reported.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "certainty.h"

enum class Goal {
    AtLeast,  // --power t: the smallest length whose rate is at least t
    AtMost,   // --type-one-at-most b: the smallest length whose rate is at most b
};

struct SearchQuestion {
    int from = 1;
    int to = 1;
    Goal goal = Goal::AtLeast;
    double target = 0.8;
    double confidence = 0.99;
    int maxReplications = 100000;
};

// What is wrong with a question, or empty when it can be searched:
// 1 <= from <= to, a usable target and confidence, maxReplications >= 1.
// (The option's phase-length limit on to is the caller's to check.)
std::string searchProblem(const SearchQuestion& q);

// A length's verdict against the goal at its final count.
enum class Verdict { Good, Bad, Undecidable };

struct EvaluatedPoint {
    int length = 0;
    int replications = 0;     // the final count: the series its row is formed from
    long long rejections = 0; // series with p < alpha among them
    RateJudgement judgement;  // at the final count
    Verdict verdict = Verdict::Undecidable;
};

// How a search ended; the command maps each to its exit status.
enum class Outcome {
    Found,                  // the shortest good length, with its bad neighbour one below
    ReachedAtFrom,          // `from` itself is good
    NotReached,             // no good length up to `to`; `to` is judged bad
    Undecidable,            // lengths at the boundary whose intervals hold the target at the cap
    MonotonicityViolated,   // a longer length judged bad above a shorter one judged good
};

// 0 for Found, then 3 (reached at from), 4 (not reached by to),
// 5 (undecidable at the cap) and 6 (monotonicity violated); 1 and 2 stay the
// program's failure and usage statuses.
int exitStatus(Outcome outcome);

// A short lower-case name: "found", "reached at from", "not reached by to",
// "undecidable at the cap", "monotonicity violated".
const char* outcomeName(Outcome outcome);

struct PlanResult {
    Outcome outcome = Outcome::NotReached;
    // The shortest length judged good, when there is one.  With a violation
    // it is still the first crossing's good end.
    std::optional<EvaluatedPoint> answer;
    // The longest length judged bad below the answer (below `to` + 1 when
    // there is no answer), when there is one.
    std::optional<EvaluatedPoint> below;
    // Undecidable lengths between `below` and `answer`, ascending.
    std::vector<int> undecidable;
    // The answer by the estimates where certainty ran out: the shortest
    // undecidable length above `below` whose rate x / n meets the target
    // (>= for a power, <= for a bound), else the answer.  At the cap this is
    // the length a full grid at the cap would name among the evaluated
    // lengths.  Equal to the answer when nothing is undecidable.
    std::optional<EvaluatedPoint> estimate;
    // Every evaluated length, in evaluation order.
    std::vector<EvaluatedPoint> points;
    // (shorter good length, longer bad length) for every bad length above a
    // good one, paired with the shortest good length below it; ascending by
    // the bad length.
    std::vector<std::pair<int, int>> violations;
    // Series simulated in all: the sum of the final counts.
    long long totalSeries = 0;
};

// The simulation behind the search.
class LengthEvaluator {
public:
    virtual ~LengthEvaluator() = default;
    // Rejections among the first `replications` series of the condition at
    // `length`.  The search asks for one length at a time with growing
    // counts, then settles it, and never comes back to it.
    virtual long long rejections(int length, int replications) = 0;
    // The search is done with point.length; its final count is
    // point.replications.
    virtual void settle(const EvaluatedPoint& point) { (void)point; }
};

// Called after every look: the length, its count so far and the judgement.
using LookFn = std::function<void(int length, int replications, const RateJudgement& judgement)>;

// Runs the search.  Requires searchProblem(q) to be empty.
PlanResult searchLength(const SearchQuestion& q, LengthEvaluator& evaluator, const LookFn& look = {});
