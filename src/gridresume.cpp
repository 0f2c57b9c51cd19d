#include "gridresume.h"

#include <filesystem>
#include <limits>

#include "boundedread.h"
#include "messagetext.h"

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
    Resumer(RunPlan& plan, ResumePoint& point, std::ostream& err) : plan_(plan), point_(point), err_(err) {}

    int resume() {
        Sidecar found;
        std::string error;
        if (!readSidecarFile(plan_.partialSidecarPath, found, error)) return refuse(plan_.partialSidecarPath, error);
        if (const std::string field = mismatch(plan_.sidecar, found); !field.empty()) {
            err_ << kWhere << "cannot resume: " << plan_.partialPath << " was written with another " << field
                 << "; remove it or run without --resume\n";
            return kExitInput;
        }
        plan_.sidecar.commandLine = found.commandLine;
        std::string text;
        if (!readBoundedFile(plan_.partialPath, kInputFileLimit, text, error, kInputLineLimit)) return refuse(plan_.partialPath, error);
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

    // An interrupted commit: the partial sidecar is this run's, the results
    // file holds every condition of this run and the per-series file (still
    // partial or already renamed) every series of them.  True when so: the
    // commit can be completed.
    bool committed() {
        Sidecar found;
        std::string error;
        if (!readSidecarFile(plan_.partialSidecarPath, found, error) || !mismatch(plan_.sidecar, found).empty())
            return false;
        std::string text;
        if (!readBoundedFile(plan_.options.output, kInputFileLimit, text, error)) return false;
        const ResultsReading reading = readResults(text, plan_.statistics);
        const std::size_t end = reading.blocks.empty() ? reading.headerEnd : reading.blocks.back().end;
        if (reading.error || reading.headerEnd == 0 || reading.blocks.size() != plan_.part.size() ||
            end != text.size())
            return false;
        for (std::size_t k = 0; k < reading.blocks.size(); ++k)
            if (!belongs(reading.blocks[k], k)) return false;
        if (plan_.perSeries) {
            std::error_code ec;
            const std::string& series = std::filesystem::exists(plan_.seriesPartialPath, ec)
                                            ? plan_.seriesPartialPath
                                            : plan_.options.perSeries;
            std::size_t keep = 0;
            if (!readBoundedFile(series, std::numeric_limits<std::uint64_t>::max(), text, error) ||
                !keptSeries(text, reading.blocks, keep, error) || keep != text.size())
                return false;
        }
        plan_.sidecar.commandLine = found.commandLine;
        point_.done = plan_.part.size();
        point_.committing = true;
        return true;
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
        if (!readBoundedFile(plan_.seriesPartialPath, std::numeric_limits<std::uint64_t>::max(), text, error,
                             kInputLineLimit)) {
            if (!kept.empty()) return refuse(plan_.seriesPartialPath, error);
            text.clear();
        }
        if (!keptSeries(text, kept, point_.keepSeries, error)) return refuse(plan_.seriesPartialPath, error);
        return 0;
    }

    RunPlan& plan_;
    ResumePoint& point_;
    std::ostream& err_;
};

}  // namespace

int findResumePoint(RunPlan& plan, ResumePoint& point, std::ostream& err) {
    point = ResumePoint{};
    if (!plan.options.resume) return 0;
    std::error_code ec;
    if (std::filesystem::exists(plan.partialPath, ec)) return Resumer(plan, point, err).resume();
    if (std::filesystem::exists(plan.partialSidecarPath, ec) && Resumer(plan, point, err).committed()) {
        err << kWhere << "completing the interrupted commit of " << printableText(plan.options.output) << "\n";
        return 0;
    }
    // Nothing interrupted: a finished run of the same study stays as it is.
    if (finishedHere(plan)) {
        err << kWhere << plan.options.output << " is already complete\n";
        point.complete = true;
        return 0;
    }
    // A run killed before its first condition: begun again, under the
    // command line it recorded.
    Sidecar begun;
    std::string error;
    if (readSidecarFile(plan.partialSidecarPath, begun, error) && mismatch(plan.sidecar, begun).empty())
        plan.sidecar.commandLine = begun.commandLine;
    err << kWhere << "no interrupted run of " << plan.options.output << " to resume; starting afresh\n";
    return 0;
}
