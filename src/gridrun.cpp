// grid run: plan, resume, open the partial files, run the conditions, and
// commit the finished files under their names.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "atomicfile.h"
#include "grid.h"
#include "gridplan.h"
#include "gridresume.h"
#include "outputfile.h"
#include "progress.h"

namespace {

const char* const kWhere = "zelkor: grid run: ";

// Why a file cannot be made at path because its directory is missing or is
// no directory; empty otherwise.
std::string missingDirectory(const std::string& path) {
    const std::filesystem::path directory = std::filesystem::path(path).parent_path();
    if (directory.empty()) return {};
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(directory, ec);
    if (!std::filesystem::exists(status)) return std::strerror(ENOENT);
    if (!std::filesystem::is_directory(status)) return std::strerror(ENOTDIR);
    return {};
}

// The partial files a run writes, and those this run began (removed again
// when the run fails before its first condition).
struct RunFiles {
    OutputFile results;
    OutputFile series;
    std::vector<std::string> begun;

    void removeBegun() {
        for (const std::string& path : begun) std::remove(path.c_str());
        begun.clear();
    }
};

class RunFilesOpener {
public:
    RunFilesOpener(const RunPlan& plan, const ResumePoint& point, RunFiles& files, std::ostream& err)
        : plan_(plan), point_(point), files_(files), err_(err) {}

    // 0, or 1 after a message naming the user's file; nothing this run began is left then.
    int open() {
        const int status = openAll();
        if (status != 0 && point_.done == 0) files_.removeBegun();
        return status;
    }

private:
    int openAll() {
        const std::string& output = plan_.options.output;
        // A missing directory named as the user gave the file, before anything is written.
        for (const std::string* path : {&output, &plan_.options.perSeries})
            if (const std::string why = missingDirectory(*path); !why.empty()) return report(*path, why) ? 0 : 1;
        std::string error;
        if (!writeFileAtomically(plan_.partialSidecarPath, sidecarJson(plan_.sidecar), error)) {
            err_ << "zelkor: " << error << "\n";
            return 1;
        }
        if (!point_.resuming) files_.begun.push_back(plan_.partialSidecarPath);
        if (!openPart(files_.results, plan_.partialPath, point_.keepResults, resultsHeader(), output)) return 1;
        if (plan_.perSeries && !openPart(files_.series, plan_.seriesPartialPath, point_.keepSeries,
                                         perSeriesHeader(), plan_.options.perSeries))
            return 1;
        return 0;
    }

    // Writes the message; false.
    bool report(const std::string& path, const std::string& error) {
        err_ << "zelkor: " << path << ": " << error << "\n";
        return false;
    }

    // A partial file cut back to what the resumed run keeps, or begun with its header.
    bool openPart(OutputFile& file, const std::string& path, std::size_t keep, const std::string& header,
                  const std::string& userPath) {
        if (point_.resuming && keep > 0) {
            std::error_code ec;
            std::filesystem::resize_file(path, keep, ec);
            if (ec) return report(path, ec.message());
            return file.open(path, "ab") || report(path, file.error());
        }
        if (!file.open(path, "wb")) return report(userPath, file.error());
        files_.begun.push_back(path);
        return (file.write(header) && file.flush()) || report(path, file.error());
    }

    const RunPlan& plan_;
    const ResumePoint& point_;
    RunFiles& files_;
    std::ostream& err_;
};

// Whether an outcome has the shape the results and the reader of them need.
bool fits(const ConditionOutcome& outcome, const std::vector<Statistic>& expected, int replications) {
    if (outcome.nSim != replications || outcome.statistics.size() != expected.size()) return false;
    for (std::size_t s = 0; s < expected.size(); ++s) {
        const StatisticOutcome& st = outcome.statistics[s];
        if (st.statistic != expected[s] || st.values.size() != static_cast<std::size_t>(replications)) return false;
        if (statisticInfo(st.statistic).hasTest && st.pValues.size() != st.values.size()) return false;
    }
    return true;
}

// Runs the conditions from the resume point on, each written once complete.
int runConditions(const RunPlan& plan, const ResumePoint& point, const ConditionRunner& runner, RunFiles& files,
                  std::ostream& err) {
    Progress progress(err, plan.options.progress, plan.part.size(), point.done);
    const auto stop = [&](const std::string& message) {
        progress.finish();
        err << message << "\n";
        return kExitFailure;
    };
    for (std::size_t k = point.done; k < plan.part.size(); ++k) {
        const Condition& c = plan.part[k];
        const std::uint32_t seed = plan.seedOf(c);
        const int replications = plan.replicationsOf(c);
        ConditionOutcome outcome;
        try {
            outcome = runner.run(c, seed, replications, plan.options.alpha);
        } catch (const std::exception& e) {
            return stop(kWhere + std::string("condition ") + std::to_string(c.id) + ": " + e.what());
        }
        // Guards the seam: a row the reader would not take back must not be written.
        if (!fits(outcome, plan.statistics(c.option), replications))
            return stop(kWhere + std::string("condition ") + std::to_string(c.id) +
                        ": the simulation returned an unexpected shape");
        // Series first: a condition counts as done once its result lines are written.
        if (plan.perSeries && (!files.series.write(perSeriesLines(c, outcome)) || !files.series.flush()))
            return stop("zelkor: write error: " + files.series.path() + ": " + files.series.error());
        if (!files.results.write(resultLines(resultRows(c, seed, outcome))) || !files.results.flush())
            return stop("zelkor: write error: " + files.results.path() + ": " + files.results.error());
        progress.step();
    }
    progress.finish();
    return 0;
}

// Closes the partial files and gives them and the sidecar their names,
// each flushed to disk before it replaces anything.
int commitRun(const RunPlan& plan, RunFiles& files, std::ostream& err) {
    const auto writeError = [&](const OutputFile& f) {
        err << "zelkor: write error: " << f.path() << ": " << f.error() << "\n";
        return kExitFailure;
    };
    if (!files.results.close()) return writeError(files.results);
    if (plan.perSeries && !files.series.close()) return writeError(files.series);
    std::string error;
    if ((plan.perSeries && !finishFile(plan.seriesPartialPath, plan.options.perSeries, error)) ||
        !finishFile(plan.partialPath, plan.options.output, error) ||
        !writeFileAtomically(plan.sidecarPath, sidecarJson(plan.sidecar), error)) {
        err << "zelkor: " << error << "\n";
        return kExitFailure;
    }
    std::remove(plan.partialSidecarPath.c_str());
    return 0;
}

}  // namespace

int gridRun(const RunOptions& options, const ConditionRunner& runner, std::ostream& err) {
    RunPlan plan;
    if (const int status = planRun(options, plan, err)) return status;
    ResumePoint point;
    if (const int status = findResumePoint(plan, point, err)) return status;
    if (point.complete) return 0;
    RunFiles files;
    if (const int status = RunFilesOpener(plan, point, files, err).open()) return status;
    if (const int status = runConditions(plan, point, runner, files, err)) return status;
    return commitRun(plan, files, err);
}
