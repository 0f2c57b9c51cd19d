// grid run: plan, lock the outputs, resume, open the partial files, run the
// conditions, and commit the finished files under their names.
//
// The commit, in this order, each step flushed to disk before the next:
//   1. the old sidecar FILE.json is removed (a results file never stands
//      beside a sidecar that describes another one);
//   2. FILE.partial becomes FILE;
//   3. the per-series file's partial becomes its name;
//   4. the sidecar FILE.json is written;
//   5. FILE.partial.json is removed.
// FILE.partial.json stands from the start of a run to the end of its commit.
// So a run killed at any instant leaves one of: FILE.partial (everything
// still partial: --resume keeps its complete conditions), or FILE.partial.json
// beside a complete FILE (the commit began: --resume checks FILE, and the
// per-series file under whichever name it has, and does the remaining
// steps), or the finished files.  Every state completes to the bytes of an
// uninterrupted run.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>

#include "atomicfile.h"
#include "grid.h"
#include "gridplan.h"
#include "gridresume.h"
#include "messagetext.h"
#include "outputfile.h"
#include "outputlock.h"
#include "partcheck.h"
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

// The run's locks: the results file's, and the per-series file's when
// there is one, held until the run has committed or failed.
struct RunLocks {
    std::optional<OutputLock> results;
    std::optional<OutputLock> series;
};

// Takes one output's lock; 0, or the exit status after a message.  A file
// system without locks gets a warning and the run goes on.
int lock(std::optional<OutputLock>& held, const std::string& output, std::ostream& err) {
    held.emplace(output);
    switch (held->state()) {
        case OutputLock::State::Held: return 0;
        case OutputLock::State::Unsupported:
            err << kWhere << "warning: " << held->message() << "; nothing stops another run on "
                << printableText(output) << "\n";
            return 0;
        case OutputLock::State::Busy: err << kWhere << held->message() << "\n"; return kExitInput;
        default: err << kWhere << held->message() << "\n"; return kExitFailure;
    }
}

int lockOutputs(const RunPlan& plan, RunLocks& locks, std::ostream& err) {
    if (const int status = lock(locks.results, plan.options.output, err)) return status;
    return plan.perSeries ? lock(locks.series, plan.options.perSeries, err) : 0;
}

// A file's directory missing or no directory: named as the user gave the
// file, exit status 1, before anything is created.
int checkDirectories(const RunPlan& plan, std::ostream& err) {
    for (const std::string* path : {&plan.options.output, &plan.options.perSeries}) {
        if (const std::string why = missingDirectory(*path); !why.empty()) {
            err << "zelkor: " << printableText(*path) << ": " << why << "\n";
            return kExitFailure;
        }
    }
    return 0;
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
            if (std::filesystem::is_symlink(path, ec))
                return report(path, "a symbolic link, not the partial file a run writes; remove it");
            std::filesystem::resize_file(path, keep, ec);
            if (ec) return report(path, ec.message());
            return file.open(path, "ab") || report(path, file.error());
        }
        // Made new, never opened through an old name (a symbolic link planted there).
        std::remove(path.c_str());
        if (!file.open(path, "wbx")) return report(userPath, file.error());
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

// Removes a file if it is there, and flushes its directory; false with a
// message when it is there and stays.
bool removeFile(const std::string& path, std::string& error) {
    if (std::remove(path.c_str()) != 0 && errno != ENOENT) {
        error = "cannot remove " + printableText(path) + ": " + std::strerror(errno);
        return false;
    }
    return syncDirectoryOf(path, error);
}

// Closes the partial files and gives the finished files their names, in the
// order the head of this file describes; a resumed commit does the steps
// that are left (a partial file that is gone was renamed already).
int commitRun(const RunPlan& plan, const ResumePoint& point, RunFiles& files, std::ostream& err) {
    const auto writeError = [&](const OutputFile& f) {
        err << "zelkor: write error: " << f.path() << ": " << f.error() << "\n";
        return kExitFailure;
    };
    if (!files.results.close()) return writeError(files.results);
    if (plan.perSeries && !files.series.close()) return writeError(files.series);
    std::error_code ec;
    const auto partialThere = [&](const std::string& path) {
        return !point.committing || std::filesystem::exists(std::filesystem::symlink_status(path, ec));
    };
    std::string error;
    // The rows' digest, for merge to check, from wherever the results are now.
    Sidecar finished = plan.sidecar;
    const bool committed =
        sealSidecar(partialThere(plan.partialPath) ? plan.partialPath : plan.options.output, finished, error) &&
        removeFile(plan.sidecarPath, error) &&
        (!partialThere(plan.partialPath) || finishFile(plan.partialPath, plan.options.output, error)) &&
        (!plan.perSeries || !partialThere(plan.seriesPartialPath) ||
         finishFile(plan.seriesPartialPath, plan.options.perSeries, error)) &&
        writeFileAtomically(plan.sidecarPath, sidecarJson(finished), error) &&
        removeFile(plan.partialSidecarPath, error);
    if (!committed) {
        err << "zelkor: " << error << "\n";
        return kExitFailure;
    }
    return 0;
}

}  // namespace

int gridRun(const RunOptions& options, const ConditionRunner& runner, std::ostream& err) {
    RunPlan plan;
    if (const int status = planRun(options, plan, err)) return status;
    if (const int status = checkDirectories(plan, err)) return status;
    // Held until every file is committed (or the run fails): a second run on
    // the same output is refused instead of writing into this one's files.
    RunLocks locks;
    if (const int status = lockOutputs(plan, locks, err)) return status;
    // The lock makes this run the sidecars' one writer: a temporary of
    // theirs can only be left by a run that was killed.
    if (locks.results->held()) {
        removeStaleTemporaries(plan.sidecarPath);
        removeStaleTemporaries(plan.partialSidecarPath);
    }
    ResumePoint point;
    if (const int status = findResumePoint(plan, point, err)) return status;
    if (point.complete) return 0;
    RunFiles files;
    if (!point.committing) {
        if (const int status = RunFilesOpener(plan, point, files, err).open()) return status;
        if (const int status = runConditions(plan, point, runner, files, err)) return status;
    }
    return commitRun(plan, point, files, err);
}
