#include "plan.h"

#include <algorithm>
#include <chrono>
#include <ostream>
#include <vector>

#include "atomicfile.h"
#include "gridplan.h"
#include "gridsimulation.h"
#include "outputlock.h"
#include "outputpaths.h"
#include "summary.h"
#include "planevaluator.h"
#include "plansummary.h"
#include "progress.h"
#include "sidecar.h"
#include "version.h"

namespace {

const char* const kWhere = "zelkor: plan: ";

// The question in the search's and the evaluator's terms.
struct PlanSetup {
    SearchQuestion question;
    EvaluatorSettings settings;
    PlanDescription description;
};

// The phase lengths the search sets, and what the others are fixed to.
class FactorSettler {
public:
    FactorSettler(const PlanOptions& o, std::ostream& err) : o_(o), err_(err) {}

    // Fills setup.settings.base and the description's factors; false after a message.
    bool settle(PlanSetup& setup) {
        SearchedFactor& factor = setup.settings.factor;
        factor = o_.search == "n_a" ? SearchedFactor::NA : o_.search == "both" ? SearchedFactor::Both : SearchedFactor::NB;
        const bool searchesA = factor != SearchedFactor::NB;
        const bool searchesB = factor != SearchedFactor::NA;
        if ((searchesA && o_.factors.nA) || (searchesB && o_.factors.nB))
            return refuse(std::string(searchesA && o_.factors.nA ? "--n-a" : "--n-b") +
                          " is the searched length: give its range with --from and --to");
        if ((!searchesA && !o_.factors.nA) || (!searchesB && !o_.factors.nB))
            return refuse(std::string(searchesA ? "--n-b" : "--n-a") + " is required: only " + o_.search +
                          " is searched");
        FactorLists f;
        if (!readFactorLists(o_.factors, f, err_, kWhere)) return false;
        // The searched length gets its place holder; conditionAtLength sets it.
        if (f.nA.empty()) f.nA = {1};
        if (f.nB.empty()) f.nB = {1};
        if (!single("--n-a", f.nA.size()) || !single("--n-b", f.nB.size()) || !single("--trend", f.trend.size()) ||
            !single("--level", f.level.size()) || !single("--slope", f.slope.size()) ||
            !single("--sd-a", f.sdA.size()) || !single("--sd-b", f.sdB.size()) || !single("--ar1", f.ar1.size()) ||
            !single("--ma1", f.ma1.size()))
            return false;
        Condition& c = setup.settings.base;
        c.option = f.option;
        c.model = ModelParameters{f.nA[0], f.nB[0], f.trend[0], f.level[0], f.slope[0],
                                  f.sdA[0], f.sdB[0], f.ar1[0], f.ma1[0]};
        setup.description.factor = factor == SearchedFactor::Both ? "n_a = n_b" : o_.search;
        setup.description.fixed = fixedText(c, searchesA, searchesB);
        return true;
    }

private:
    bool single(const char* name, std::size_t values) {
        return values == 1 || refuse(std::string(name) + " takes one value here, not a list of " +
                                     std::to_string(values));
    }

    bool refuse(const std::string& message) {
        err_ << kWhere << message << "\n";
        return false;
    }

    // "option 1, n_a 5, level 1, ar1 0.3; others 0, SDs 1": the design's
    // columns but the searched ones, those at the dialogue's values left out.
    static std::string fixedText(const Condition& c, bool searchesA, bool searchesB) {
        Condition dialogue;
        dialogue.model.fSA = dialogue.model.fSB = 1.0f;
        std::string text;
        for (const TableColumn<Condition>& column : designColumns()) {
            const std::string name = column.name;
            if (name == "condition_id" || (searchesA && name == "n_a") || (searchesB && name == "n_b")) continue;
            std::string value, usual;
            column.write(c, value);
            column.write(dialogue, usual);
            if (value == usual && name != "option" && name != "n_a" && name != "n_b") continue;
            if (!text.empty()) text += ", ";
            text += name + " " + value;
        }
        return text + "; others 0, SDs 1";
    }

    const PlanOptions& o_;
    std::ostream& err_;
};

// Checks the options and fills setup; 0, or 2 after a message.
int settleOptions(const PlanOptions& o, PlanSetup& setup, std::ostream& err) {
    const auto refuse = [&err](const std::string& message) {
        err << kWhere << message << "\n";
        return kExitInput;
    };
    const std::optional<Statistic> statistic = statisticNamed(o.statistic);
    if (!statistic) return refuse("--statistic: unknown statistic '" + o.statistic + "'");
    const StatisticInfo& info = statisticInfo(*statistic);
    if (!info.hasTest) return refuse("--statistic: " + o.statistic + " has no test, so no rejection rate");
    PlanOptions options = o;
    if (options.factors.option == 0) options.factors.option = static_cast<int>(info.option);
    const std::vector<Statistic> rows = defaultStatistics(static_cast<Option>(options.factors.option));
    if (std::find(rows.begin(), rows.end(), *statistic) == rows.end())
        return refuse("--statistic: the runs of option " + std::to_string(options.factors.option) +
                      " do not compute " + o.statistic);
    if (!(o.alpha > 0.0 && o.alpha < 1.0)) return refuse("--alpha must lie between 0 and 1");
    if (!FactorSettler(options, err).settle(setup)) return kExitInput;

    SearchQuestion& q = setup.question;
    q.from = o.from;
    q.to = o.to;
    q.goal = o.typeOneAtMost ? Goal::AtMost : Goal::AtLeast;
    q.target = o.typeOneAtMost ? *o.typeOneAtMost : o.power.value_or(kDefaultPower);
    q.confidence = o.confidence;
    q.maxReplications = o.maxReplications;
    if (const std::string problem = searchProblem(q); !problem.empty()) return refuse(problem);
    setup.settings.statistic = *statistic;
    setup.settings.baseSeed = o.seed;
    setup.settings.alpha = o.alpha;
    if (const std::string problem = evaluatorProblem(setup.settings, q.from, q.to); !problem.empty())
        return refuse(problem);
    setup.description.statistic = info.label;
    setup.description.alpha = o.alpha;
    setup.description.question = q;
    return 0;
}

// The results file and its sidecar, begun before the search so that a path
// that cannot be written is refused at once, and finished after it.
class PlanFiles {
public:
    explicit PlanFiles(const std::string& output) : output_(output), lock_(output) {}

    // 0, or the exit status after a message.
    int begin(std::ostream& err) {
        const std::string problem = checkOutputPaths(
            {}, {{output_, "the results file"}, {output_ + ".json", "the sidecar"},
                 {OutputLock::lockPathOf(output_), "the lock file"}});
        if (!problem.empty()) {
            err << kWhere << problem << "\n";
            return kExitInput;
        }
        switch (lock_.state()) {
        case OutputLock::State::Busy: err << kWhere << lock_.message() << "\n"; return kExitInput;
        case OutputLock::State::Unsupported: err << kWhere << "warning: " << lock_.message() << "\n"; break;
        case OutputLock::State::Held: break;
        default: err << kWhere << lock_.message() << "\n"; return kExitFailure;
        }
        std::string error;
        if (std::optional<PendingFile> f = PendingFile::beside(output_, error)) results_.emplace(std::move(*f));
        if (std::optional<PendingFile> f = results_ ? PendingFile::beside(output_ + ".json", error) : std::nullopt)
            sidecar_.emplace(std::move(*f));
        if (!sidecar_) {
            err << kWhere << error << "\n";
            return kExitFailure;
        }
        return 0;
    }

    // Writes and commits both files; 0, or 1 after a message.
    int finish(const std::string& results, const std::string& sidecar, std::ostream& err) {
        std::string error;
        if (!results_->write(results, error) || !sidecar_->write(sidecar, error) || !results_->commit(error) ||
            !sidecar_->commit(error)) {
            err << kWhere << error << "\n";
            return kExitFailure;
        }
        lock_.release();
        return 0;
    }

private:
    std::string output_;
    OutputLock lock_;
    std::optional<PendingFile> results_;
    std::optional<PendingFile> sidecar_;
};

// The rows of one evaluated condition.
struct EvaluatedCondition {
    int length = 0;
    std::vector<ResultRow> rows;
};

// Numbers the conditions 1, 2, ... by ascending length; the rows in that order.
std::vector<ResultRow> numberedRows(std::vector<EvaluatedCondition> conditions) {
    std::sort(conditions.begin(), conditions.end(),
              [](const EvaluatedCondition& a, const EvaluatedCondition& b) { return a.length < b.length; });
    std::vector<ResultRow> rows;
    int id = 0;
    for (EvaluatedCondition& c : conditions) {
        ++id;
        for (ResultRow& row : c.rows) {
            row.condition.id = id;
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

Sidecar sidecarOf(const PlanOptions& o, const std::vector<ResultRow>& rows) {
    std::vector<Condition> design;
    for (const ResultRow& row : rows)
        if (design.empty() || design.back().id != row.condition.id) design.push_back(row.condition);
    Sidecar s;
    s.programVersion = programVersion();
    s.designHash = designHash(design);
    s.designConditions = static_cast<long long>(design.size());
    for (const Condition& c : design) s.conditions.push_back(c.id);
    s.seedMode = seedModeName(SeedMode::PerCondition);
    s.seed = o.seed;
    s.replications = o.maxReplications;
    s.alpha = o.alpha;
    s.commandLine = o.commandLine;
    return s;
}

}  // namespace

int runPlan(const PlanOptions& options, int threads, Output& out, std::ostream& err) {
    PlanSetup setup;
    if (const int status = settleOptions(options, setup, err)) return status;
    std::optional<PlanFiles> files;
    if (!options.output.empty()) {
        files.emplace(options.output);
        if (const int status = files->begin(err)) return status;
    }

    const auto start = std::chrono::steady_clock::now();
    Progress progress(err, options.progress, 0, 0, "plan");
    std::vector<EvaluatedCondition> evaluated;
    const auto settled = [&](const Condition& c, std::uint32_t seed, const std::vector<StatisticRow>& rows) {
        const int replications = static_cast<int>(rows.front().values.size());
        evaluated.push_back({setup.settings.factor == SearchedFactor::NA ? c.model.nA : c.model.nB,
                             resultRows(c, seed, conditionOutcome(rows, replications, summarizeRows(rows)))});
        progress.step();
    };
    const auto look = [&](int length, int replications, const RateJudgement&) {
        progress.detail(setup.description.factor + " = " + std::to_string(length) + " at " +
                        std::to_string(replications) + " series");
    };
    PlanResult result;
    try {
        SimulationEvaluator evaluator(setup.settings, threads, settled);
        result = searchLength(setup.question, evaluator, look);
    } catch (const std::exception& e) {
        progress.finish();
        err << kWhere << e.what() << "\n";
        return kExitFailure;
    }
    progress.detail("");
    progress.finish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (files) {
        const std::vector<ResultRow> rows = numberedRows(std::move(evaluated));
        if (const int status =
                files->finish(resultsHeader() + resultLines(rows), sidecarJson(sidecarOf(options, rows)), err))
            return status;
    }
    writeText(out, planSummary(setup.description, result, seconds));
    out.flush();
    return exitStatus(result.outcome);
}
