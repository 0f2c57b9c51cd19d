// Runs one planning search on the program's simulation and prints what it
// found, for bench/plan_vs_grid.sh: every evaluated length, then the outcome,
// the answer, its estimate where certainty ran out, the decided neighbour
// below, the series simulated and the wall time.
//
//   zelkor_plan_search [--option 1] [--n-a 5] [--n-b 0] [--level 1] [--ar1 0.3] ...
//                      [--search n_b|n_a|both] --from 3 --to 60 [--statistic PL-Tau]
//                      [--power 0.8 | --type-one-at-most 0.05] [--confidence 0.99]
//                      [--max-replications 100000] [--seed 7487] [--alpha 0.05] [--threads N]
//
// Output, one item per line, fields separated by blanks:
//   point LENGTH REPLICATIONS REJECTIONS RATE LOWER UPPER good|bad|undecidable
//   outcome NAME        (NAME with blanks replaced by '-')
//   answer L|none   estimate L|none   below L|none
//   series N        seconds S
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <string>

#include "planevaluator.h"
#include "report.h"

namespace {

const char* verdictName(Verdict v) {
    return v == Verdict::Good ? "good" : v == Verdict::Bad ? "bad" : "undecidable";
}

void printLength(const char* what, const std::optional<EvaluatedPoint>& p) {
    if (p)
        std::printf("%s %d\n", what, p->length);
    else
        std::printf("%s none\n", what);
}

bool statisticByLabel(const std::string& label, Statistic& out) {
    for (int k = 0; k <= static_cast<int>(Statistic::SimR); ++k)
        if (label == statisticInfo(static_cast<Statistic>(k)).label) {
            out = static_cast<Statistic>(k);
            return true;
        }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app("One planning search, for the benchmark against a full grid");
    int option = 1, threads = 0;
    EvaluatorSettings settings;
    settings.base.model.fSA = settings.base.model.fSB = 1.0f;
    SearchQuestion q;
    std::string search = "n_b", statistic = "PL-Tau";
    double power = 0.0, typeOne = 0.0;
    app.add_option("--option", option);
    app.add_option("--n-a", settings.base.model.nA);
    app.add_option("--n-b", settings.base.model.nB);
    app.add_option("--trend", settings.base.model.fB1);
    app.add_option("--level", settings.base.model.fB2);
    app.add_option("--slope", settings.base.model.fB3);
    app.add_option("--sd-a", settings.base.model.fSA);
    app.add_option("--sd-b", settings.base.model.fSB);
    app.add_option("--ar1", settings.base.model.fAR1);
    app.add_option("--ma1", settings.base.model.fMA1);
    app.add_option("--search", search)->check(CLI::IsMember({"n_b", "n_a", "both"}));
    app.add_option("--from", q.from)->required();
    app.add_option("--to", q.to)->required();
    app.add_option("--statistic", statistic);
    auto* powerOption = app.add_option("--power", power);
    auto* typeOneOption = app.add_option("--type-one-at-most", typeOne)->excludes(powerOption);
    app.add_option("--confidence", q.confidence);
    app.add_option("--max-replications", q.maxReplications);
    app.add_option("--seed", settings.baseSeed);
    app.add_option("--alpha", settings.alpha);
    app.add_option("--threads", threads);
    CLI11_PARSE(app, argc, argv);

    settings.base.option = option == 2 ? Option::Varden : Option::EffectSizes;
    settings.factor = search == "n_a" ? SearchedFactor::NA : search == "both" ? SearchedFactor::Both : SearchedFactor::NB;
    q.goal = typeOneOption->count() > 0 ? Goal::AtMost : Goal::AtLeast;
    q.target = typeOneOption->count() > 0 ? typeOne : powerOption->count() > 0 ? power : 0.8;
    std::string problem = searchProblem(q);
    if (problem.empty()) problem = evaluatorProblem(settings, q.from, q.to);
    if (problem.empty() && !statisticByLabel(statistic, settings.statistic)) problem = "unknown statistic " + statistic;
    if (!problem.empty()) {
        std::fprintf(stderr, "zelkor_plan_search: %s\n", problem.c_str());
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    SimulationEvaluator evaluator(settings, threads);
    const PlanResult r = searchLength(q, evaluator);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    for (const EvaluatedPoint& p : r.points)
        std::printf("point %d %d %lld %.17g %.6f %.6f %s\n", p.length, p.replications, p.rejections,
                    p.judgement.rate, p.judgement.lower, p.judgement.upper, verdictName(p.verdict));
    std::string outcome = outcomeName(r.outcome);
    for (char& c : outcome)
        if (c == ' ') c = '-';
    std::printf("outcome %s\n", outcome.c_str());
    printLength("answer", r.answer);
    printLength("estimate", r.estimate);
    printLength("below", r.below);
    std::printf("series %lld\nseconds %.2f\n", r.totalSeries, elapsed.count());
    return 0;
}
