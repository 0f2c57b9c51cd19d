#include "gridresume.h"

#include <filesystem>
#include <limits>

#include "boundedread.h"

namespace {

const char* const kWhere = "zelkor: grid run: ";

// Which sidecar field says that an earlier run is not this one; empty when
// none does.
std::string mismatch(const Sidecar& expected, const Sidecar& found) {
    std::string field = studyDifference(expected, found);
    if (field.empty() && found.shard != expected.shard) field = "shard";
    if (field.empty() && found.conditions != expected.conditions) field = "conditions";
    if (field.empty() && found.perSeries != expected.perSeries) field = "per_series";
    return field;
}

bool readSidecarFile(const std::string& path, Sidecar& s, std::string& error) {
    std::string text;
    return readBoundedFile(path, kSidecarFileLimit, text, error) && parseSidecar(text, s, error);
}

// Whether a finished run of this study is in place.
bool finishedHere(const RunPlan& plan) {
    std::error_code ec;
    Sidecar finished;
    std::string error;
    return std::filesystem::exists(plan.options.output, ec) && readSidecarFile(plan.sidecarPath, finished, error) &&
           mismatch(plan.sidecar, finished).empty() &&
           (!plan.perSeries || std::filesystem::exists(plan.options.perSeries, ec));
}

class Resumer {
public:
    Resumer(const RunPlan& plan, ResumePoint& point, std::ostream& err) : plan_(plan), point_(point), err_(err) {}

    int resume() {
        Sidecar found;
        std::string error;
        if (!readSidecarFile(plan_.partialSidecarPath, found, error)) return refuse(plan_.partialSidecarPath, error);
        if (const std::string field = mismatch(plan_.sidecar, found); !field.empty()) {
            err_ << kWhere << "cannot resume: " << plan_.partialPath << " was written with another " << field
                 << "; remove it or run without --resume\n";
            return kExitInput;
        }
        std::string text;
        if (!readBoundedFile(plan_.partialPath, kInputFileLimit, text, error)) return refuse(plan_.partialPath, error);
        const ResultsReading reading = readResults(text, plan_.statistics);
        if (reading.error) {
            err_ << plan_.partialPath << ":" << reading.error->line << ":" << reading.error->column << ": "
                 << reading.error->message << "\n";
            return kExitInput;
        }
        if (reading.formatVersion != kResultsFormatVersion)
            return refuse(plan_.partialPath, "a results file of format version " +
                                                 std::to_string(reading.formatVersion) + "; this run writes version " +
                                                 std::to_string(kResultsFormatVersion));
        for (std::size_t k = 0; k < reading.blocks.size(); ++k)
            if (!belongs(reading.blocks[k], k)) {
                err_ << kWhere << "cannot resume: condition " << reading.blocks[k].id() << " in " << plan_.partialPath
                     << " does not belong to this run; remove it or run without --resume\n";
                return kExitInput;
            }
        point_.done = reading.blocks.size();
        point_.keepResults = reading.blocks.empty() ? reading.headerEnd : reading.blocks.back().end;
        if (plan_.perSeries)
            if (const int status = keepSeries(reading.blocks)) return status;
        point_.resuming = true;
        return 0;
    }

private:
    int refuse(const std::string& path, const std::string& error) {
        err_ << kWhere << "cannot resume: " << path << ": " << error << "\n";
        return kExitInput;
    }

    // Whether the k-th kept condition is the k-th of this run, with its
    // series count and seed.
    bool belongs(const ResultBlock& block, std::size_t k) const {
        if (k >= plan_.part.size()) return false;
        const Condition& c = plan_.part[k];
        const ResultRow& row = block.rows.front();
        return sameCondition(row.condition, c) && row.nSim == plan_.replicationsOf(c) && row.seed == plan_.seedOf(c);
    }

    // How much of the per-series file to keep: every series of the kept
    // conditions.  Without a file there is nothing to keep, which is right
    // when no condition is kept.
    int keepSeries(const std::vector<ResultBlock>& kept) {
        std::string text;
        std::string error;
        // Every series of a long study: no ceiling below what the run wrote.
        if (!readBoundedFile(plan_.seriesPartialPath, std::numeric_limits<std::uint64_t>::max(), text, error)) {
            if (!kept.empty()) return refuse(plan_.seriesPartialPath, error);
            text.clear();
        }
        if (!keptSeries(text, kept, point_.keepSeries, error)) return refuse(plan_.seriesPartialPath, error);
        return 0;
    }

    const RunPlan& plan_;
    ResumePoint& point_;
    std::ostream& err_;
};

}  // namespace

int findResumePoint(const RunPlan& plan, ResumePoint& point, std::ostream& err) {
    point = ResumePoint{};
    if (!plan.options.resume) return 0;
    std::error_code ec;
    if (std::filesystem::exists(plan.partialPath, ec)) return Resumer(plan, point, err).resume();
    // Nothing interrupted: a finished run of the same study stays as it is.
    if (finishedHere(plan)) {
        err << kWhere << plan.options.output << " is already complete\n";
        point.complete = true;
        return 0;
    }
    err << kWhere << "no interrupted run of " << plan.options.output << " to resume; starting afresh\n";
    return 0;
}
