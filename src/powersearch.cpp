#include "powersearch.h"

#include <algorithm>
#include <map>

namespace {

Verdict verdictOf(Side side, Goal goal) {
    if (side == Side::Undecided) return Verdict::Undecidable;
    const bool above = side == Side::Above;
    return above == (goal == Goal::AtLeast) ? Verdict::Good : Verdict::Bad;
}

// Where the first crossing stands among the lengths evaluated so far.
struct Frontier {
    std::optional<int> hi;        // the shortest good length
    std::optional<int> lo;        // the longest bad length below hi (below to + 1 without hi)
    std::vector<int> undecidable; // undecidable lengths between lo and hi, ascending
};

class Search {
public:
    Search(const SearchQuestion& q, LengthEvaluator& evaluator, const LookFn& look)
        : q_(q), evaluator_(evaluator), look_(look) {}

    PlanResult run() {
        for (int length : ladder()) evaluate(length);
        while (const std::optional<int> next = nextProbe()) evaluate(*next);
        return conclude();
    }

private:
    // from, from + 1, from + 3, from + 7, ..., to.
    std::vector<int> ladder() const {
        std::vector<int> lengths;
        long long length = q_.from;
        for (long long step = 1;; step *= 2) {
            lengths.push_back(static_cast<int>(length));
            if (length == q_.to) break;
            length = std::min<long long>(length + step, q_.to);
        }
        return lengths;
    }

    // Grows the length's series look by look until its rate is judged or
    // the cap is reached, then settles it.
    void evaluate(int length) {
        EvaluatedPoint p;
        p.length = length;
        do {
            p.replications = nextLook(p.replications, q_.maxReplications);
            p.rejections = evaluator_.rejections(length, p.replications);
            p.judgement = judgeRate(p.rejections, p.replications, q_.target, q_.confidence);
            if (look_) look_(length, p.replications, p.judgement);
        } while (p.judgement.side == Side::Undecided && p.replications < q_.maxReplications);
        p.verdict = verdictOf(p.judgement.side, q_.goal);
        evaluator_.settle(p);
        points_.push_back(p);
        verdicts_[length] = p.verdict;
    }

    Frontier frontier() const {
        Frontier f;
        for (const auto& [length, verdict] : verdicts_)
            if (verdict == Verdict::Good) {
                f.hi = length;
                break;
            }
        const auto belowHi = [&f](int length) { return !f.hi || length < *f.hi; };
        for (const auto& [length, verdict] : verdicts_)
            if (belowHi(length) && verdict == Verdict::Bad) f.lo = length;
        for (const auto& [length, verdict] : verdicts_)
            if (length > f.lo.value_or(q_.from - 1) && belowHi(length) && verdict == Verdict::Undecidable)
                f.undecidable.push_back(length);
        return f;
    }

    // The midpoint of the first gap at the crossing that still has a length
    // inside: below the undecidable zone first, then above it.
    std::optional<int> nextProbe() const {
        const Frontier f = frontier();
        const int lo = f.lo.value_or(q_.from - 1);
        const auto inside = [](int a, int b) -> std::optional<int> {
            if (b - a >= 2) return a + (b - a) / 2;
            return std::nullopt;
        };
        if (f.undecidable.empty()) return f.hi ? inside(lo, *f.hi) : std::nullopt;
        if (auto m = inside(lo, f.undecidable.front())) return m;
        return f.hi ? inside(f.undecidable.back(), *f.hi) : std::nullopt;
    }

    const EvaluatedPoint& pointAt(int length) const {
        return *std::find_if(points_.begin(), points_.end(),
                             [length](const EvaluatedPoint& p) { return p.length == length; });
    }

    bool meetsTarget(double rate) const { return q_.goal == Goal::AtLeast ? rate >= q_.target : rate <= q_.target; }

    std::vector<std::pair<int, int>> violations() const {
        std::vector<std::pair<int, int>> pairs;
        std::optional<int> firstGood;
        for (const auto& [length, verdict] : verdicts_) {
            if (verdict == Verdict::Good && !firstGood) firstGood = length;
            if (verdict == Verdict::Bad && firstGood) pairs.emplace_back(*firstGood, length);
        }
        return pairs;
    }

    PlanResult conclude() const {
        const Frontier f = frontier();
        PlanResult r;
        if (f.hi) r.answer = pointAt(*f.hi);
        if (f.lo) r.below = pointAt(*f.lo);
        r.undecidable = f.undecidable;
        r.estimate = r.answer;
        for (const int length : f.undecidable)
            if (meetsTarget(pointAt(length).judgement.rate)) {
                r.estimate = pointAt(length);
                break;
            }
        r.points = points_;
        r.violations = violations();
        for (const EvaluatedPoint& p : points_) r.totalSeries += p.replications;
        if (!r.violations.empty())
            r.outcome = Outcome::MonotonicityViolated;
        else if (f.hi && *f.hi == q_.from)
            r.outcome = Outcome::ReachedAtFrom;
        else if (!f.undecidable.empty())
            r.outcome = Outcome::Undecidable;
        else
            r.outcome = f.hi ? Outcome::Found : Outcome::NotReached;
        return r;
    }

    const SearchQuestion& q_;
    LengthEvaluator& evaluator_;
    const LookFn& look_;
    std::vector<EvaluatedPoint> points_;  // in evaluation order
    std::map<int, Verdict> verdicts_;     // by length
};

}  // namespace

std::string searchProblem(const SearchQuestion& q) {
    if (q.from < 1) return "the range must start at 1 or above";
    if (q.to < q.from) return "the range's end must not lie below its start";
    if (q.maxReplications < 1) return "the replication cap must be at least 1";
    return certaintyProblem(q.target, q.confidence);
}

int exitStatus(Outcome outcome) {
    switch (outcome) {
    case Outcome::Found: return 0;
    case Outcome::ReachedAtFrom: return 3;
    case Outcome::NotReached: return 4;
    case Outcome::Undecidable: return 5;
    case Outcome::MonotonicityViolated: return 6;
    }
    return 1;
}

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Found: return "found";
    case Outcome::ReachedAtFrom: return "reached at from";
    case Outcome::NotReached: return "not reached by to";
    case Outcome::Undecidable: return "undecidable at the cap";
    case Outcome::MonotonicityViolated: return "monotonicity violated";
    }
    return "?";
}

PlanResult searchLength(const SearchQuestion& q, LengthEvaluator& evaluator, const LookFn& look) {
    return Search(q, evaluator, look).run();
}
