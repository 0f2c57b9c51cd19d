#include "gridplan.h"

#include <algorithm>
#include <limits>

#include "boundedread.h"
#include "memorybudget.h"
#include "messagetext.h"
#include "outputlock.h"
#include "runs.h"
#include "version.h"

namespace {

const char* const kWhere = "zelkor: grid run: ";

// The option values that make no run; empty when there is none.
std::string settingsProblem(const RunOptions& o) {
    if (o.output.empty()) return "an output file (-o) is required";
    if (o.shards < 1 || o.shard < 1 || o.shard > o.shards) return "--shard needs 1 <= K <= N";
    if (o.replications < 0) return "--replications must be at least 1";
    if (!(o.alpha > 0.0 && o.alpha < 1.0)) return "--alpha must lie between 0 and 1";
    return "";
}

// The memory this shard's largest condition needs for its per-series
// arrays, refused when it cannot fit; empty when it fits.
std::string memoryProblem(const RunPlan& plan) {
    std::uint64_t need = 0;
    for (const Option option : {Option::EffectSizes, Option::Varden}) {
        int replications = 0;
        for (const Condition& c : plan.part)
            if (c.option == option) replications = std::max(replications, plan.replicationsOf(c));
        if (replications == 0) continue;
        RunShape shape;
        for (const Statistic s : plan.statistics(option)) {
            ++shape.statistics;
            if (statisticInfo(s).hasTest) ++shape.tests;
        }
        shape.perSeries = plan.perSeries;
        const std::optional<std::uint64_t> bytes = runMemory(shape, static_cast<std::uint64_t>(replications));
        need = std::max(need, bytes.value_or(std::numeric_limits<std::uint64_t>::max()));
    }
    MemoryCeiling ceiling = memoryCeiling();
    if (plan.options.maxMemory > 0 && plan.options.maxMemory < ceiling.bytes)
        ceiling = {plan.options.maxMemory, "--max-memory"};
    return memoryRefusal(need, ceiling);
}

// The first few problems, each cut short and escaped, and how many more.
void reportDesignErrors(std::ostream& err, const std::string& path, const std::vector<DesignError>& errors) {
    ErrorReport report(err);
    for (const DesignError& e : errors)
        report.add(path + ":" + std::to_string(e.line) + ":" + std::to_string(e.column) + ": " + e.message);
    report.finish(path + ": ");
    if (errors.size() >= kDesignProblemLimit)
        err << printableText(path) << ": reading stopped after " << kDesignProblemLimit << " problems\n";
}

// This shard's conditions: interleaved rows of the file, run by identifier.
std::vector<Condition> shardOf(const std::vector<Condition>& design, int shard, int shards) {
    std::vector<Condition> part;
    for (std::size_t i = 0; i < design.size(); ++i)
        if (static_cast<int>(i % static_cast<std::size_t>(shards)) == shard - 1) part.push_back(design[i]);
    std::sort(part.begin(), part.end(), [](const Condition& a, const Condition& b) { return a.id < b.id; });
    return part;
}

Sidecar sidecarOf(const RunOptions& o, const std::vector<Condition>& design, const std::vector<Condition>& part) {
    Sidecar s;
    s.programVersion = programVersion();
    s.designHash = designHash(design);
    s.designConditions = static_cast<long long>(design.size());
    s.shard = o.shard;
    s.shards = o.shards;
    for (const Condition& c : part) s.conditions.push_back(c.id);
    s.seedMode = seedModeName(o.seedMode);
    s.seed = o.seed;
    s.replications = o.replications;
    s.alpha = o.alpha;
    s.perSeries = o.perSeries;
    for (const Statistic statistic : o.statistics) s.statistics.emplace_back(statisticInfo(statistic).label);
    s.commandLine = o.commandLine;
    return s;
}

}  // namespace

const char* seedModeName(SeedMode mode) { return mode == SeedMode::Fixed ? "fixed" : "per-condition"; }

int RunPlan::replicationsOf(const Condition& c) const {
    return options.replications > 0 ? options.replications : iterationsOf(c.option);
}

std::uint32_t RunPlan::seedOf(const Condition& c) const {
    return options.seedMode == SeedMode::Fixed ? options.seed : conditionSeed(options.seed, c);
}

std::vector<NamedPath> RunPlan::outputs() const {
    std::vector<NamedPath> paths = {{options.output, "the results file"},
                                    {partialPath, "the partial results file"},
                                    {sidecarPath, "the sidecar"},
                                    {partialSidecarPath, "the partial sidecar"},
                                    {OutputLock::lockPathOf(options.output), "the lock file"}};
    if (perSeries) {
        paths.push_back({options.perSeries, "the per-series file"});
        paths.push_back({seriesPartialPath, "the partial per-series file"});
        paths.push_back({OutputLock::lockPathOf(options.perSeries), "the per-series lock file"});
    }
    return paths;
}

int planRun(const RunOptions& options, RunPlan& plan, std::ostream& err) {
    if (const std::string problem = settingsProblem(options); !problem.empty()) {
        err << kWhere << problem << "\n";
        return kExitInput;
    }
    plan.options = options;
    plan.partialPath = options.output + ".partial";
    plan.partialSidecarPath = plan.partialPath + ".json";
    plan.sidecarPath = options.output + ".json";
    plan.perSeries = !options.perSeries.empty();
    plan.seriesPartialPath = options.perSeries + ".partial";
    // No file the run writes may be the design or another of them, nor
    // anything but a regular file: known before the design is even read.
    if (const std::string problem = checkOutputPaths({{options.design, "the design"}}, plan.outputs());
        !problem.empty()) {
        err << kWhere << problem << "\n";
        return kExitInput;
    }
    // The whole design is read and checked before anything is simulated.
    std::string text;
    std::string error;
    if (!readBoundedFile(options.design, kInputFileLimit, text, error, kInputLineLimit)) {
        err << "zelkor: " << options.design << ": " << error << "\n";
        return kExitInput;
    }
    std::vector<Condition> design;
    std::string note;
    if (const std::vector<DesignError> problems = parseDesign(text, design, {}, &note); !problems.empty()) {
        reportDesignErrors(err, options.design, problems);
        return kExitInput;
    }
    // --statistics names at least one statistic of every option the design runs.
    for (const Condition& c : design)
        if (chosenStatistics(options.statistics, c.option).empty()) {
            err << kWhere << "--statistics names no statistic of option " << static_cast<int>(c.option)
                << ", which condition " << c.id << " runs\n";
            return kExitInput;
        }
    if (!note.empty()) err << kWhere << options.design << ": note: " << note << "\n";
    const std::vector<Statistic> chosen = options.statistics;
    plan.statistics = [chosen](Option option) { return chosenStatistics(chosen, option); };
    plan.part = shardOf(design, options.shard, options.shards);
    warnModelSlips(plan.part, kWhere + options.design + ": ", err);
    plan.sidecar = sidecarOf(options, design, plan.part);
    if (const std::string problem = memoryProblem(plan); !problem.empty()) {
        err << kWhere << problem << "\n";
        return kExitInput;
    }
    return 0;
}
