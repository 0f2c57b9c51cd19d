#include "plansummary.h"

#include <cstdio>

namespace {

std::string format(const char* pattern, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, pattern, value);
    return buf;
}

class Summary {
public:
    Summary(const PlanDescription& d, const PlanResult& r) : d_(d), r_(r) {}

    std::string text(double seconds) {
        question();
        outcome();
        evaluated();
        line("Time: " + format("%.1f", seconds) + " s");
        return text_;
    }

private:
    void line(const std::string& s) { text_ += s + "\n"; }

    std::string at(int length) const { return d_.factor + " = " + std::to_string(length); }

    std::string target() const {
        return std::string(d_.question.goal == Goal::AtLeast ? "at least " : "at most ") +
               format("%g", d_.question.target);
    }

    void question() {
        const SearchQuestion& q = d_.question;
        line(d_.statistic + " at alpha " + format("%g", d_.alpha) + "; " + d_.fixed);
        line("Question: the shortest " + d_.factor + " from " + std::to_string(q.from) + " to " +
             std::to_string(q.to) + " whose rejection rate is " + target() + ", judged at confidence " +
             format("%g", q.confidence) + " with at most " + std::to_string(q.maxReplications) +
             " series a length");
    }

    // "  n_b = 17: rejection rate 0.8123, 99% interval [0.8012, 0.8230], 12997 of 16000 series: meets the target"
    void point(const EvaluatedPoint& p) {
        const RateJudgement& j = p.judgement;
        const char* verdict = p.verdict == Verdict::Good  ? "meets the target"
                              : p.verdict == Verdict::Bad ? "misses the target"
                                                          : "undecided: the interval holds the target";
        line("  " + at(p.length) + ": rejection rate " + format("%.4f", j.rate) + ", " +
             format("%g", 100.0 * d_.question.confidence) + "% interval [" + format("%.4f", j.lower) + ", " +
             format("%.4f", j.upper) + "], " + std::to_string(p.rejections) + " of " +
             std::to_string(p.replications) + " series: " + verdict);
    }

    void outcome() {
        switch (r_.outcome) {
        case Outcome::Found:
            line("Answer: " + at(r_.answer->length) + ", the shortest length that meets the target;");
            line("the length below it misses the target:");
            break;
        case Outcome::ReachedAtFrom:
            line("Reached at the start of the range: " + at(r_.answer->length) +
                 " (--from) already meets the target; a shorter length may too:");
            break;
        case Outcome::NotReached:
            line("Not reached: no length up to " + at(d_.question.to) + " (--to) meets the target:");
            break;
        case Outcome::Undecidable:
            undecidable();
            break;
        case Outcome::MonotonicityViolated:
            violated();
            break;
        }
        if (r_.answer && r_.outcome != Outcome::Undecidable) point(*r_.answer);
        if (r_.below) point(*r_.below);
    }

    void undecidable() {
        std::string lengths;
        for (const int l : r_.undecidable) lengths += (lengths.empty() ? "" : ", ") + std::to_string(l);
        line("Undecidable at the cap: the interval of " + d_.factor + " = " + lengths +
             " still holds the target after " + std::to_string(d_.question.maxReplications) + " series.");
        if (r_.estimate && (!r_.answer || r_.estimate->length != r_.answer->length))
            line("Estimate: " + at(r_.estimate->length) + ", the shortest whose rate itself meets the target.");
        else if (r_.estimate)
            line("Estimate: " + at(r_.estimate->length) + ", the shortest that meets the target; no undecided rate does.");
        else
            line("Estimate: none; no length evaluated meets the target.");
        for (const EvaluatedPoint& p : r_.points)
            if (p.verdict == Verdict::Undecidable && (!r_.below || p.length > r_.below->length) &&
                (!r_.answer || p.length < r_.answer->length))
                point(p);
        if (r_.answer) point(*r_.answer);
    }

    void violated() {
        for (const auto& [good, bad] : r_.violations)
            line("Monotonicity violated: " + at(bad) + " misses the target though the shorter " + at(good) +
                 " meets it.");
        line("Answer at the first crossing, assuming the rate " +
             std::string(d_.question.goal == Goal::AtLeast ? "grows" : "falls") + " with length:" +
             (r_.answer ? "" : " none"));
    }

    void evaluated() {
        std::string lengths;
        for (const EvaluatedPoint& p : r_.points) lengths += (lengths.empty() ? "" : ", ") + std::to_string(p.length);
        line("Evaluated " + std::to_string(r_.points.size()) + " lengths, in this order: " + lengths + "; " +
             std::to_string(r_.totalSeries) + " series in all");
    }

    const PlanDescription& d_;
    const PlanResult& r_;
    std::string text_;
};

}  // namespace

std::string planSummary(const PlanDescription& d, const PlanResult& r, double seconds) {
    return Summary(d, r).text(seconds);
}
