#include "plansummary.h"

#include <cstdio>

namespace {

std::string format(const char* pattern, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, pattern, value);
    return buf;
}

std::string listed(const std::vector<int>& lengths) {
    std::string text;
    for (const int l : lengths) text += (text.empty() ? "" : ", ") + std::to_string(l);
    return text;
}

class Summary {
public:
    Summary(const PlanDescription& d, const PlanResult& r) : d_(d), r_(r) {}

    std::string text(double seconds) {
        question();
        outcome();
        std::vector<int> order;
        for (const EvaluatedPoint& p : r_.points) order.push_back(p.length);
        line("Evaluated: " + std::to_string(order.size()) + " lengths, in this order: " + listed(order));
        line("Series:    " + std::to_string(r_.totalSeries));
        line("Time:      " + format("%.1f", seconds) + " s");
        return text_;
    }

private:
    void line(const std::string& s) { text_ += s + "\n"; }

    std::string at(int length) const { return d_.factor + " = " + std::to_string(length); }

    void question() {
        const SearchQuestion& q = d_.question;
        line("Statistic: " + d_.statistic + " at alpha " + format("%g", d_.alpha));
        line("Fixed:     " + d_.fixed);
        line("Searched:  " + d_.factor + " from " + std::to_string(q.from) + " to " + std::to_string(q.to) +
             " for a rejection rate of at " + (q.goal == Goal::AtLeast ? "least " : "most ") +
             format("%g", q.target));
        line("Certainty: " + format("%g", q.confidence) + ", at most " + std::to_string(q.maxReplications) +
             " series a length;");
        line("           an interval's ends are one-sided " + format("%g", 100.0 * q.confidence) + "% bounds");
    }

    // "  n_b = 17: rate 0.8123 in [0.8012, 0.8230], 12997 of 16000 series: meets"
    void point(const EvaluatedPoint& p) {
        const RateJudgement& j = p.judgement;
        const char* verdict = p.verdict == Verdict::Good  ? "meets"
                              : p.verdict == Verdict::Bad ? "misses"
                                                          : "undecided";
        line("  " + at(p.length) + ": rate " + format("%.4f", j.rate) + " in [" + format("%.4f", j.lower) + ", " +
             format("%.4f", j.upper) + "], " + std::to_string(p.rejections) + " of " +
             std::to_string(p.replications) + " series: " + verdict);
    }

    void outcome() {
        const std::string status = " (exit status " + std::to_string(exitStatus(r_.outcome)) + ")";
        switch (r_.outcome) {
        case Outcome::Found:
            line("Answer:    " + at(r_.answer->length) + status);
            line("           the shortest length that meets the target; the one below misses it:");
            break;
        case Outcome::ReachedAtFrom:
            line("Answer:    " + at(r_.answer->length) + ", the start of the range" + status);
            line("           already meets the target; a shorter length may too:");
            break;
        case Outcome::NotReached:
            line("Answer:    none: not reached by " + at(d_.question.to) + status);
            line("           no length of the range meets the target:");
            break;
        case Outcome::Undecidable:
            undecidable(status);
            return;
        case Outcome::MonotonicityViolated:
            violated(status);
            break;
        }
        if (r_.answer) point(*r_.answer);
        if (r_.below) point(*r_.below);
    }

    void undecidable(const std::string& status) {
        line("Answer:    undecidable at the cap" + status);
        line("           the interval of " + d_.factor + " = " + listed(r_.undecidable) +
             " still holds the target;");
        if (r_.estimate)
            line("           estimate " + at(r_.estimate->length) + ", the shortest whose rate meets it:");
        else
            line("           no rate of an evaluated length meets it:");
        if (r_.below) point(*r_.below);
        for (const EvaluatedPoint& p : r_.points)
            if (p.verdict == Verdict::Undecidable && (!r_.below || p.length > r_.below->length) &&
                (!r_.answer || p.length < r_.answer->length))
                point(p);
        if (r_.answer) point(*r_.answer);
    }

    void violated(const std::string& status) {
        line("Answer:    " + (r_.answer ? at(r_.answer->length) : std::string("none")) +
             " at the first crossing, but monotonicity is violated" + status);
        for (const auto& [good, bad] : r_.violations)
            line("           " + at(bad) + " misses the target though the shorter " + std::to_string(good) +
                 " meets it");
    }

    const PlanDescription& d_;
    const PlanResult& r_;
    std::string text_;
};

}  // namespace

std::string planSummary(const PlanDescription& d, const PlanResult& r, double seconds) {
    return Summary(d, r).text(seconds);
}
