#include "gridplan.h"

#include <algorithm>

#include "boundedread.h"
#include "version.h"

namespace {

const char* const kWhere = "zelkor: grid run: ";
constexpr std::size_t kMaxDesignMessages = 50;

// The option values that make no run; empty when there is none.
std::string settingsProblem(const RunOptions& o) {
    if (o.output.empty()) return "an output file (-o) is required";
    if (o.shards < 1 || o.shard < 1 || o.shard > o.shards) return "--shard needs 1 <= K <= N";
    if (o.replications < 0) return "--replications must be at least 1";
    if (!(o.alpha > 0.0 && o.alpha < 1.0)) return "--alpha must lie between 0 and 1";
    if (o.output == o.design) return "-o names the design file";
    if (!o.perSeries.empty() && (o.perSeries == o.output || o.perSeries == o.design))
        return "--per-series names the results or the design file";
    return "";
}

void reportDesignErrors(std::ostream& err, const std::string& path, const std::vector<DesignError>& errors) {
    for (std::size_t i = 0; i < errors.size() && i < kMaxDesignMessages; ++i)
        err << path << ":" << errors[i].line << ":" << errors[i].column << ": " << errors[i].message << "\n";
    if (errors.size() > kMaxDesignMessages)
        err << path << ": " << errors.size() - kMaxDesignMessages << " more problems not shown\n";
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

int planRun(const RunOptions& options, RunPlan& plan, std::ostream& err) {
    if (const std::string problem = settingsProblem(options); !problem.empty()) {
        err << kWhere << problem << "\n";
        return kExitInput;
    }
    // The whole design is read and checked before anything is simulated.
    std::string text;
    std::string error;
    if (!readBoundedFile(options.design, kInputFileLimit, text, error)) {
        err << "zelkor: " << options.design << ": " << error << "\n";
        return kExitInput;
    }
    std::vector<Condition> design;
    std::string note;
    if (const std::vector<DesignError> problems = parseDesign(text, design, {}, &note); !problems.empty()) {
        reportDesignErrors(err, options.design, problems);
        return kExitInput;
    }
    if (!note.empty()) err << kWhere << options.design << ": note: " << note << "\n";
    plan.options = options;
    plan.part = shardOf(design, options.shard, options.shards);
    warnModelSlips(plan.part, kWhere + options.design + ": ", err);
    plan.sidecar = sidecarOf(options, design, plan.part);
    plan.partialPath = options.output + ".partial";
    plan.partialSidecarPath = plan.partialPath + ".json";
    plan.sidecarPath = options.output + ".json";
    plan.perSeries = !options.perSeries.empty();
    plan.seriesPartialPath = options.perSeries + ".partial";
    return 0;
}
