#include "grid.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <ostream>
#include <set>

#include "runs.h"
#include "sidecar.h"

#ifndef ZELKOR_VERSION
#error "ZELKOR_VERSION must name the program's version"
#endif

namespace {

namespace fs = std::filesystem;

constexpr int kExitFailure = 1;
constexpr int kExitInput = 2;
constexpr std::size_t kMaxDesignMessages = 50;

std::string errnoText() { return std::strerror(errno); }

// The whole file; false with a message (strerror text) when it cannot be read.
bool readFile(const std::string& path, std::string& text, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        error = errnoText();
        return false;
    }
    text.clear();
    char buf[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    if (failed) error = errnoText();
    std::fclose(f);
    return !failed;
}

// An output file written piece by piece; every failure is remembered with its
// strerror text.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() {
        if (f_ != nullptr) std::fclose(f_);
    }

    bool open(const std::string& path, const char* mode) {
        path_ = path;
        f_ = std::fopen(path.c_str(), mode);
        if (f_ == nullptr) error_ = errnoText();
        return f_ != nullptr;
    }

    bool write(const std::string& text) {
        if (f_ == nullptr || !error_.empty()) return false;
        if (std::fwrite(text.data(), 1, text.size(), f_) != text.size()) error_ = errnoText();
        return error_.empty();
    }

    bool flush() {
        if (f_ == nullptr || !error_.empty()) return false;
        if (std::fflush(f_) != 0) error_ = errnoText();
        return error_.empty();
    }

    bool close() {
        if (f_ == nullptr) return error_.empty();
        const bool flushed = std::fflush(f_) == 0;
        if (!flushed && error_.empty()) error_ = errnoText();
        if (std::fclose(f_) != 0 && error_.empty()) error_ = errnoText();
        f_ = nullptr;
        return error_.empty();
    }

    bool isOpen() const { return f_ != nullptr; }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    std::FILE* f_ = nullptr;
    std::string path_;
    std::string error_;
};

// Writes text to path through a temporary name beside it.
bool writeAtomically(const std::string& path, const std::string& text, std::string& error) {
    const std::string temp = path + ".tmp";
    OutputFile f;
    if (!f.open(temp, "wb") || !f.write(text) || !f.close()) {
        error = temp + ": " + f.error();
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + temp + " to " + path + ": " + errnoText();
        return false;
    }
    return true;
}

bool renameFile(const std::string& from, const std::string& to, std::string& error) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    error = "cannot rename " + from + " to " + to + ": " + errnoText();
    return false;
}

const char* seedModeName(SeedMode mode) { return mode == SeedMode::Fixed ? "fixed" : "per-condition"; }

int replicationsFor(const RunOptions& options, const Condition& c) {
    return options.replications > 0 ? options.replications : iterationsOf(c.option);
}

std::uint32_t seedFor(const RunOptions& options, const Condition& c) {
    return options.seedMode == SeedMode::Fixed ? options.seed : conditionSeed(options.seed, c);
}

// The text every result line of a condition starts with.
std::string linePrefix(const RunOptions& options, const Condition& c) {
    return conditionText(c) + "," + std::to_string(replicationsFor(options, c)) + "," +
           std::to_string(seedFor(options, c)) + ",";
}

std::string clockText(double seconds) {
    const auto s = static_cast<long long>(seconds + 0.5);
    char buf[32];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%lld:%02lld", s / 60, s % 60);
    return buf;
}

// The progress line: conditions done, time elapsed and an estimate of what
// remains from the pace of the conditions this process has run.
class Progress {
public:
    Progress(std::ostream& err, bool enabled, std::size_t total, std::size_t done)
        : err_(err), enabled_(enabled), total_(total), done_(done), resumed_(done),
          start_(std::chrono::steady_clock::now()) {
        show();
    }

    void step() {
        ++done_;
        show();
    }

    void finish() {
        if (enabled_) err_ << "\n" << std::flush;
    }

private:
    void show() {
        if (!enabled_) return;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        std::string line = "grid: " + std::to_string(done_) + "/" + std::to_string(total_) +
                           " conditions, " + clockText(elapsed) + " elapsed";
        const std::size_t ran = done_ - resumed_;
        if (ran > 0 && done_ < total_)
            line += ", about " +
                    clockText(elapsed / static_cast<double>(ran) * static_cast<double>(total_ - done_)) +
                    " left";
        const std::size_t width = std::max(line.size(), width_);
        width_ = line.size();
        line.resize(width, ' ');
        err_ << "\r" << line << std::flush;
    }

    std::ostream& err_;
    bool enabled_;
    std::size_t total_;
    std::size_t done_;
    std::size_t resumed_;
    std::size_t width_ = 0;
    std::chrono::steady_clock::time_point start_;
};

// Whether the complete conditions of an interrupted per-series file cover
// exactly the kept conditions; sets the length to keep.
bool keptPerSeries(const std::string& text, const std::vector<ResultBlock>& kept,
                   const std::vector<std::size_t>& rowsOf, std::size_t& keep, std::string& error) {
    const std::string header = perSeriesHeader();
    if (text.compare(0, header.size(), header) != 0) {
        if (kept.empty()) {
            keep = 0;
            return true;
        }
        error = "its header differs";
        return false;
    }
    std::size_t pos = header.size();
    for (std::size_t k = 0; k < kept.size(); ++k) {
        const std::string id = std::to_string(kept[k].id) + ",";
        for (std::size_t row = 0; row < rowsOf[k]; ++row) {
            const auto end = text.find('\n', pos);
            if (end == std::string::npos || text.compare(pos, id.size(), id) != 0) {
                error = "it does not hold every series of condition " + std::to_string(kept[k].id);
                return false;
            }
            pos = end + 1;
        }
    }
    keep = pos;
    return true;
}

void reportDesignErrors(std::ostream& err, const std::string& path, const std::vector<DesignError>& errors) {
    for (std::size_t i = 0; i < errors.size() && i < kMaxDesignMessages; ++i)
        err << path << ":" << errors[i].line << ":" << errors[i].column << ": " << errors[i].message << "\n";
    if (errors.size() > kMaxDesignMessages)
        err << path << ": " << errors.size() - kMaxDesignMessages << " more problems not shown\n";
}

}  // namespace

const char* gridProgramVersion() { return ZELKOR_VERSION; }

bool parseShard(const std::string& text, int& shard, int& shards, std::string& error) {
    const auto slash = text.find('/');
    const auto whole = [](const std::string& s, int& v) {
        if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
        v = std::stoi(s);
        return true;
    };
    int k = 0;
    int n = 0;
    if (slash == std::string::npos || !whole(text.substr(0, slash), k) || !whole(text.substr(slash + 1), n)) {
        error = "'" + text + "' is not of the form K/N";
        return false;
    }
    if (n < 1 || k < 1 || k > n) {
        error = "'" + text + "' needs 1 <= K <= N";
        return false;
    }
    shard = k;
    shards = n;
    return true;
}

bool parseSeedMode(const std::string& text, SeedMode& mode) {
    if (text == "fixed") {
        mode = SeedMode::Fixed;
        return true;
    }
    if (text == "per-condition") {
        mode = SeedMode::PerCondition;
        return true;
    }
    return false;
}

// ---- expand ------------------------------------------------------------------

int gridExpand(const ExpandOptions& options, Output& out, std::ostream& err) {
    const char* const where = "zelkor: grid expand: ";
    if (options.option != 1 && options.option != 2) {
        err << where << "--option must be 1 or 2\n";
        return kExitInput;
    }
    if (!options.nA || !options.nB) {
        err << where << "--n-a and --n-b are required\n";
        return kExitInput;
    }
    FactorLists f;
    f.option = static_cast<Option>(options.option);
    std::string error;
    const auto ints = [&](const char* name, const std::optional<std::string>& list, std::vector<int>& values) {
        if (!parseIntList(*list, values, error)) {
            err << where << name << ": " << error << "\n";
            return false;
        }
        const int limit = maxPhaseLength(f.option);
        for (int v : values)
            if (v < 1 || v > limit) {
                err << where << name << ": " << v << " is outside 1.." << limit << " for option "
                    << options.option << "\n";
                return false;
            }
        return true;
    };
    const auto floats = [&](const char* name, const std::optional<std::string>& list, std::vector<float>& values) {
        if (list && !parseFloatList(*list, values, error)) {
            err << where << name << ": " << error << "\n";
            return false;
        }
        return true;
    };
    if (!ints("--n-a", options.nA, f.nA) || !ints("--n-b", options.nB, f.nB) ||
        !floats("--trend", options.trend, f.trend) || !floats("--level", options.level, f.level) ||
        !floats("--slope", options.slope, f.slope) || !floats("--sd-a", options.sdA, f.sdA) ||
        !floats("--sd-b", options.sdB, f.sdB) || !floats("--ar1", options.ar1, f.ar1) ||
        !floats("--ma1", options.ma1, f.ma1))
        return kExitInput;

    long long skipped = 0;
    const std::vector<Condition> design = expandDesign(f, skipped);
    if (design.empty()) {
        err << where
            << (skipped > 0 ? "every combination has both ar1 and ma1 non-zero; no conditions\n"
                            : "too many conditions\n");
        return kExitInput;
    }
    if (skipped > 0)
        err << where << "left out " << skipped
            << " combinations with both --ar1 and --ma1 non-zero (a condition has one or the other)\n";

    const std::string text = designText(design);
    if (options.output.empty()) {
        writeText(out, text);
        out.flush();
        return 0;
    }
    if (!writeAtomically(options.output, text, error)) {
        err << "zelkor: " << error << "\n";
        return kExitFailure;
    }
    return 0;
}

// ---- run ---------------------------------------------------------------------

int gridRun(const RunOptions& options, const ConditionRunner& runner, std::ostream& err) {
    const std::string where = "zelkor: grid run: ";
    if (options.output.empty()) {
        err << where << "an output file (-o) is required\n";
        return kExitInput;
    }
    if (options.shards < 1 || options.shard < 1 || options.shard > options.shards) {
        err << where << "--shard needs 1 <= K <= N\n";
        return kExitInput;
    }
    if (options.replications < 0) {
        err << where << "--replications must be at least 1\n";
        return kExitInput;
    }
    if (!(options.alpha > 0.0 && options.alpha < 1.0)) {
        err << where << "--alpha must lie between 0 and 1\n";
        return kExitInput;
    }
    if (options.output == options.design) {
        err << where << "-o names the design file\n";
        return kExitInput;
    }
    if (!options.perSeries.empty() && (options.perSeries == options.output || options.perSeries == options.design)) {
        err << where << "--per-series names the results or the design file\n";
        return kExitInput;
    }

    // The whole design is read and checked before anything is simulated.
    std::string text;
    std::string error;
    if (!readFile(options.design, text, error)) {
        err << "zelkor: " << options.design << ": " << error << "\n";
        return kExitInput;
    }
    std::vector<Condition> design;
    const std::vector<DesignError> problems = parseDesign(text, design);
    if (!problems.empty()) {
        reportDesignErrors(err, options.design, problems);
        return kExitInput;
    }

    // This shard's conditions: interleaved rows of the file, run by identifier.
    std::vector<Condition> part;
    for (std::size_t i = 0; i < design.size(); ++i)
        if (static_cast<int>(i % static_cast<std::size_t>(options.shards)) == options.shard - 1)
            part.push_back(design[i]);
    std::sort(part.begin(), part.end(), [](const Condition& a, const Condition& b) { return a.id < b.id; });

    Sidecar sidecar;
    sidecar.programVersion = gridProgramVersion();
    sidecar.designHash = designHash(design);
    sidecar.designConditions = static_cast<long long>(design.size());
    sidecar.shard = options.shard;
    sidecar.shards = options.shards;
    for (const Condition& c : part) sidecar.conditions.push_back(c.id);
    sidecar.seedMode = seedModeName(options.seedMode);
    sidecar.seed = options.seed;
    sidecar.replications = options.replications;
    sidecar.alpha = options.alpha;
    sidecar.perSeries = options.perSeries;
    sidecar.commandLine = options.commandLine;

    const std::string partialPath = options.output + ".partial";
    const std::string partialSidecarPath = partialPath + ".json";
    const std::string sidecarPath = options.output + ".json";
    const std::string seriesPartialPath = options.perSeries + ".partial";
    const bool perSeries = !options.perSeries.empty();

    // Which sidecar field says that an earlier run is not this one.
    const auto mismatch = [&](const Sidecar& found) {
        std::string field = studyDifference(sidecar, found);
        if (field.empty() && (found.shard != sidecar.shard)) field = "shard";
        if (field.empty() && found.conditions != sidecar.conditions) field = "conditions";
        if (field.empty() && found.perSeries != sidecar.perSeries) field = "per_series";
        return field;
    };

    std::size_t done = 0;  // conditions kept from an interrupted run
    std::size_t keepResults = 0;
    std::size_t keepSeries = 0;
    bool resuming = false;
    if (options.resume) {
        std::error_code ec;
        if (!fs::exists(partialPath, ec)) {
            // Nothing interrupted: a finished run of the same study stays as it is.
            Sidecar finished;
            std::string finishedText;
            if (fs::exists(options.output, ec) && readFile(sidecarPath, finishedText, error) &&
                parseSidecar(finishedText, finished, error) && mismatch(finished).empty() &&
                (!perSeries || fs::exists(options.perSeries, ec))) {
                err << where << options.output << " is already complete\n";
                return 0;
            }
            err << where << "no interrupted run of " << options.output << " to resume; starting afresh\n";
        } else {
            Sidecar found;
            std::string foundText;
            if (!readFile(partialSidecarPath, foundText, error)) {
                err << where << "cannot resume: " << partialSidecarPath << ": " << error << "\n";
                return kExitInput;
            }
            if (!parseSidecar(foundText, found, error)) {
                err << where << "cannot resume: " << partialSidecarPath << ": " << error << "\n";
                return kExitInput;
            }
            if (const std::string field = mismatch(found); !field.empty()) {
                err << where << "cannot resume: " << partialPath << " was written with another "
                    << field << "; remove it or run without --resume\n";
                return kExitInput;
            }
            std::string partialText;
            if (!readFile(partialPath, partialText, error)) {
                err << where << "cannot resume: " << partialPath << ": " << error << "\n";
                return kExitInput;
            }
            const ResultsReading reading = readResults(partialText, runner.labels);
            if (reading.errorLine > 0) {
                err << partialPath << ":" << reading.errorLine << ":1: " << reading.error << "\n";
                return kExitInput;
            }
            std::vector<std::size_t> seriesRows;
            for (std::size_t k = 0; k < reading.blocks.size(); ++k) {
                const ResultBlock& b = reading.blocks[k];
                const std::string prefix = k < part.size() ? linePrefix(options, part[k]) : std::string();
                const bool belongs = k < part.size() && b.id == part[k].id &&
                                     std::all_of(b.lines.begin(), b.lines.end(), [&](const std::string& l) {
                                         return l.compare(0, prefix.size(), prefix) == 0;
                                     });
                if (!belongs) {
                    err << where << "cannot resume: condition " << b.id << " in " << partialPath
                        << " does not belong to this run; remove it or run without --resume\n";
                    return kExitInput;
                }
                seriesRows.push_back(b.lines.size() * static_cast<std::size_t>(replicationsFor(options, part[k])));
            }
            done = reading.blocks.size();
            keepResults = reading.blocks.empty() ? 0 : reading.blocks.back().end;
            if (keepResults == 0 && partialText.size() >= resultsHeader().size())
                keepResults = resultsHeader().size();
            if (perSeries) {
                std::string seriesText;
                if (!readFile(seriesPartialPath, seriesText, error)) {
                    if (done > 0) {
                        err << where << "cannot resume: " << seriesPartialPath << ": " << error << "\n";
                        return kExitInput;
                    }
                    seriesText.clear();
                }
                if (!keptPerSeries(seriesText, reading.blocks, seriesRows, keepSeries, error)) {
                    err << where << "cannot resume: " << seriesPartialPath << ": " << error << "\n";
                    return kExitInput;
                }
            }
            resuming = true;
        }
    }

    // Open the partial files: cut back to the kept conditions, or new.
    OutputFile results;
    OutputFile series;
    const auto openPart = [&](OutputFile& file, const std::string& path, std::size_t keep,
                              const std::string& header) {
        std::error_code ec;
        if (resuming && keep > 0) {
            fs::resize_file(path, keep, ec);
            if (ec) {
                err << "zelkor: " << path << ": " << ec.message() << "\n";
                return false;
            }
            if (!file.open(path, "ab")) {
                err << "zelkor: " << path << ": " << file.error() << "\n";
                return false;
            }
            return true;
        }
        if (!file.open(path, "wb") || !file.write(header) || !file.flush()) {
            err << "zelkor: " << path << ": " << file.error() << "\n";
            return false;
        }
        return true;
    };
    if (!writeAtomically(partialSidecarPath, sidecarJson(sidecar), error)) {
        err << "zelkor: " << error << "\n";
        return kExitFailure;
    }
    if (!openPart(results, partialPath, keepResults, resultsHeader())) return kExitFailure;
    if (perSeries && !openPart(series, seriesPartialPath, keepSeries, perSeriesHeader())) return kExitFailure;

    Progress progress(err, options.progress, part.size(), done);
    for (std::size_t k = done; k < part.size(); ++k) {
        const Condition& c = part[k];
        const std::uint32_t seed = seedFor(options, c);
        const int replications = replicationsFor(options, c);
        ConditionOutcome outcome;
        try {
            outcome = runner.run(c, seed, replications, options.alpha);
        } catch (const std::exception& e) {
            progress.finish();
            err << where << "condition " << c.id << ": " << e.what() << "\n";
            return kExitFailure;
        }
        // Guards the seam: a row the reader would not take back must not be written.
        const std::vector<std::string> labels = runner.labels(c.option);
        bool fits = outcome.nSim == replications && outcome.statistics.size() == labels.size();
        for (std::size_t s = 0; fits && s < labels.size(); ++s) {
            const StatisticOutcome& st = outcome.statistics[s];
            fits = st.label == labels[s] && st.values.size() == static_cast<std::size_t>(replications) &&
                   (!st.hasTest || st.pValues.size() == st.values.size());
        }
        if (!fits) {
            progress.finish();
            err << where << "condition " << c.id << ": the simulation returned an unexpected shape\n";
            return kExitFailure;
        }
        // Series first: a condition counts as done once its result lines are written.
        if (perSeries && (!series.write(perSeriesLines(c, outcome)) || !series.flush())) {
            progress.finish();
            err << "zelkor: write error: " << series.path() << ": " << series.error() << "\n";
            return kExitFailure;
        }
        if (!results.write(resultLines(c, seed, outcome)) || !results.flush()) {
            progress.finish();
            err << "zelkor: write error: " << results.path() << ": " << results.error() << "\n";
            return kExitFailure;
        }
        progress.step();
    }
    progress.finish();

    if (!results.close()) {
        err << "zelkor: write error: " << results.path() << ": " << results.error() << "\n";
        return kExitFailure;
    }
    if (perSeries && !series.close()) {
        err << "zelkor: write error: " << series.path() << ": " << series.error() << "\n";
        return kExitFailure;
    }
    const std::string sidecarTemp = sidecarPath + ".tmp";
    OutputFile side;
    if (!side.open(sidecarTemp, "wb") || !side.write(sidecarJson(sidecar)) || !side.close()) {
        err << "zelkor: write error: " << sidecarTemp << ": " << side.error() << "\n";
        return kExitFailure;
    }
    if ((perSeries && !renameFile(seriesPartialPath, options.perSeries, error)) ||
        !renameFile(partialPath, options.output, error) || !renameFile(sidecarTemp, sidecarPath, error)) {
        err << "zelkor: " << error << "\n";
        return kExitFailure;
    }
    std::remove(partialSidecarPath.c_str());
    return 0;
}

// ---- merge -------------------------------------------------------------------

int gridMerge(const MergeOptions& options, const LabelsFn& labels, std::ostream& err) {
    const std::string where = "zelkor: grid merge: ";
    if (options.output.empty()) {
        err << where << "an output file (-o) is required\n";
        return kExitInput;
    }
    if (options.parts.empty()) {
        err << where << "no parts given\n";
        return kExitInput;
    }

    struct Part {
        std::string path;
        Sidecar sidecar;
        std::vector<ResultBlock> blocks;
        std::string text;
    };
    std::vector<Part> parts;
    std::string error;
    for (const std::string& path : options.parts) {
        Part p;
        p.path = path;
        if (!readFile(path, p.text, error)) {
            err << where << path << ": " << error << "\n";
            return kExitInput;
        }
        std::string sidecarText;
        if (!readFile(path + ".json", sidecarText, error)) {
            err << where << path << ".json: " << error << " (every part needs its sidecar)\n";
            return kExitInput;
        }
        if (!parseSidecar(sidecarText, p.sidecar, error)) {
            err << where << path << ".json: " << error << "\n";
            return kExitInput;
        }
        ResultsReading reading = readResults(p.text, labels);
        if (reading.errorLine > 0) {
            err << path << ":" << reading.errorLine << ":1: " << reading.error << "\n";
            return kExitInput;
        }
        if (reading.tornTail) {
            err << where << path << ": the file ends inside a condition; it is not a finished part\n";
            return kExitInput;
        }
        std::vector<int> ids;
        for (const ResultBlock& b : reading.blocks) ids.push_back(b.id);
        if (ids != p.sidecar.conditions) {
            err << where << path << ": its conditions differ from those its sidecar lists\n";
            return kExitInput;
        }
        p.blocks = std::move(reading.blocks);
        parts.push_back(std::move(p));
    }

    const Sidecar& first = parts.front().sidecar;
    std::map<int, std::string> shardOwner;
    for (const Part& p : parts) {
        if (const std::string field = studyDifference(first, p.sidecar); !field.empty()) {
            err << where << parts.front().path << " and " << p.path << " differ in " << field
                << "; they are not parts of one study\n";
            return kExitInput;
        }
        if (const auto [it, inserted] = shardOwner.emplace(p.sidecar.shard, p.path); !inserted) {
            err << where << it->second << " and " << p.path << " are both shard " << p.sidecar.shard << "/"
                << p.sidecar.shards << "\n";
            return kExitInput;
        }
    }
    for (int k = 1; k <= first.shards; ++k)
        if (shardOwner.count(k) == 0) {
            err << where << "shard " << k << "/" << first.shards << " is missing\n";
            return kExitInput;
        }

    std::map<int, std::pair<const ResultBlock*, const Part*>> byId;
    for (const Part& p : parts)
        for (const ResultBlock& b : p.blocks)
            if (const auto [it, inserted] = byId.emplace(b.id, std::make_pair(&b, &p)); !inserted) {
                err << where << "condition " << b.id << " is in both " << it->second.second->path << " and "
                    << p.path << "\n";
                return kExitInput;
            }
    if (static_cast<long long>(byId.size()) != first.designConditions) {
        err << where << "the parts hold " << byId.size() << " of the design's " << first.designConditions
            << " conditions\n";
        return kExitInput;
    }

    std::string merged = resultsHeader();
    Sidecar sidecar = first;
    sidecar.shard = 1;
    sidecar.shards = 1;
    sidecar.conditions.clear();
    sidecar.perSeries.clear();
    sidecar.commandLine = options.commandLine;
    for (const auto& [id, entry] : byId) {
        for (const std::string& line : entry.first->lines) merged += line + "\n";
        sidecar.conditions.push_back(id);
    }
    if (!writeAtomically(options.output, merged, error) ||
        !writeAtomically(options.output + ".json", sidecarJson(sidecar), error)) {
        err << "zelkor: write error: " << error << "\n";
        return kExitFailure;
    }
    return 0;
}
