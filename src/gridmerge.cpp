// grid merge: the parts of a sharded study checked against each other and
// written as the one results file the unsharded run writes.
#include <map>
#include <ostream>

#include "atomicfile.h"
#include "boundedread.h"
#include "grid.h"
#include "messagetext.h"
#include "partcheck.h"
#include "resultsread.h"
#include "sidecar.h"

namespace {

const std::string kWhere = "zelkor: grid merge: ";

struct Part {
    std::string path;
    Sidecar sidecar;
    int formatVersion = kResultsFormatVersion;  // of the results file, as its header tells
    std::vector<ResultBlock> blocks;
};

// "PATH: message" and friends, escaped for the terminal.
int refuse(std::ostream& err, const std::string& message) {
    err << printableText(message) << "\n";
    return kExitInput;
}

// Reads one part and its sidecar and checks the part's rows against the
// sidecar: each condition the one it lists, with the series count and seed
// its settings give, and (when the sidecar has one) the digest of the rows
// and settings the run recorded.  0 or the exit status after a message.
int readPart(const std::string& path, Part& p, std::ostream& err) {
    p.path = path;
    std::string text;
    std::string error;
    if (!readBoundedFile(path, kInputFileLimit, text, error, kInputLineLimit))
        return refuse(err, kWhere + path + ": " + error);
    std::string sidecarText;
    if (!readBoundedFile(path + ".json", kSidecarFileLimit, sidecarText, error))
        return refuse(err, kWhere + path + ".json: " + error + " (every part needs its sidecar)");
    if (!parseSidecar(sidecarText, p.sidecar, error)) return refuse(err, kWhere + path + ".json: " + error);
    std::vector<Statistic> chosen;
    for (const std::string& label : p.sidecar.statistics) {
        const std::optional<Statistic> s = statisticNamed(label);
        if (!s) return refuse(err, kWhere + path + ".json: unknown statistic " + quotedExcerpt(label));
        chosen.push_back(*s);
    }
    ResultsReading reading =
        readResults(text, [&chosen](Option option) { return chosenStatistics(chosen, option); });
    p.formatVersion = reading.formatVersion;
    const auto at = [&](const TableProblem& e) {
        return kWhere + path + ":" + std::to_string(e.line) + ":" + std::to_string(e.column) + ": ";
    };
    if (reading.error) return refuse(err, at(*reading.error) + reading.error->message);
    if (reading.tornTail)
        return refuse(err, kWhere + path + ": the file ends inside a condition; it is not a finished part");
    // A file of another format than its sidecar says: checkFormats names that, before any row is checked.
    if (p.formatVersion != p.sidecar.formatVersion) {
        p.blocks = std::move(reading.blocks);
        return 0;
    }
    if (const std::optional<TableProblem> problem = rowsProblem(reading.blocks, p.sidecar))
        return refuse(err, at(*problem) + problem->message + " (" + path + ".json)");
    if (p.sidecar.rowsDigest.empty()) {
        err << printableText(kWhere + std::string("note: ") + path +
                             ".json records no digest of the rows (a part of version 0.1): its rows are "
                             "checked against its settings and the design's hash only")
            << "\n";
    } else if (rowsDigest(p.sidecar, text) != p.sidecar.rowsDigest) {
        return refuse(err, kWhere + path + ": the rows (from line 2) or the settings of " + path +
                               ".json differ from those its run recorded in rows_digest: the part was changed "
                               "after its run, or the sidecar belongs to another run");
    }
    p.blocks = std::move(reading.blocks);
    return 0;
}

// Whether the parts share one results format (and their sidecars say so):
// a merged file has one header.  0 or the exit status after a message.
int checkFormats(const std::vector<Part>& parts, std::ostream& err) {
    const auto columns = [](int version) { return version == 1 ? " (column se)" : " (columns sd, mean_mcse)"; };
    for (const Part& p : parts)
        if (p.formatVersion != p.sidecar.formatVersion) {
            err << kWhere << p.path << " is a results file of format version " << p.formatVersion
                << columns(p.formatVersion) << ", but its sidecar says version " << p.sidecar.formatVersion << "\n";
            return kExitInput;
        }
    const Part& first = parts.front();
    for (const Part& p : parts)
        if (p.formatVersion != first.formatVersion) {
            err << kWhere << "cannot mix results format versions: " << first.path << " is version "
                << first.formatVersion << columns(first.formatVersion) << ", " << p.path << " version "
                << p.formatVersion << columns(p.formatVersion)
                << "; run the parts again with one program version\n";
            return kExitInput;
        }
    return 0;
}

// Whether the parts are the shards of one study, each once; 0 or the exit
// status after a message.
int checkShards(const std::vector<Part>& parts, std::ostream& err) {
    const Sidecar& first = parts.front().sidecar;
    std::map<int, std::string> shardOwner;
    for (const Part& p : parts) {
        if (const std::string field = studyDifference(first, p.sidecar); !field.empty()) {
            err << kWhere << parts.front().path << " and " << p.path << " differ in " << field
                << "; they are not parts of one study\n";
            return kExitInput;
        }
        if (const auto [it, inserted] = shardOwner.emplace(p.sidecar.shard, p.path); !inserted) {
            err << kWhere << it->second << " and " << p.path << " are both shard " << p.sidecar.shard << "/"
                << p.sidecar.shards << "\n";
            return kExitInput;
        }
    }
    for (int k = 1; k <= first.shards; ++k)
        if (shardOwner.count(k) == 0) {
            err << kWhere << "shard " << k << "/" << first.shards << " is missing\n";
            return kExitInput;
        }
    return 0;
}

// Every condition of the parts by id, each from one part only; 0 or the
// exit status after a message.
int collectConditions(const std::vector<Part>& parts, std::map<int, std::pair<const ResultBlock*, const Part*>>& byId,
                      std::ostream& err) {
    for (const Part& p : parts)
        for (const ResultBlock& b : p.blocks)
            if (const auto [it, inserted] = byId.emplace(b.id(), std::make_pair(&b, &p)); !inserted) {
                err << kWhere << "condition " << b.id() << " is in both " << it->second.second->path << " and "
                    << p.path << "\n";
                return kExitInput;
            }
    // The rows' conditions must be the design the sidecars name.
    std::vector<Condition> design;
    design.reserve(byId.size());
    for (const auto& [id, entry] : byId) design.push_back(entry.first->rows.front().condition);
    if (const std::string problem = designProblem(design, parts.front().sidecar); !problem.empty()) {
        err << kWhere << problem << "\n";
        return kExitInput;
    }
    return 0;
}

// With --design: the design read, the one the sidecars name, and every
// part's rows its conditions.  0 or the exit status after a message.
int checkDesign(const std::string& path, const std::vector<Part>& parts, std::ostream& err) {
    std::string text;
    std::string error;
    if (!readBoundedFile(path, kInputFileLimit, text, error, kInputLineLimit))
        return refuse(err, kWhere + path + ": " + error);
    std::vector<Condition> design;
    if (const std::vector<DesignError> problems = parseDesign(text, design); !problems.empty())
        return refuse(err, kWhere + path + ":" + std::to_string(problems.front().line) + ":" +
                               std::to_string(problems.front().column) + ": " + problems.front().message);
    const Sidecar& first = parts.front().sidecar;
    if (const std::string hash = designHash(design); hash != first.designHash)
        return refuse(err, kWhere + path + " is not the design the parts were run from (its hash is " + hash +
                               ", the sidecars name " + first.designHash + ")");
    for (const Part& p : parts)
        if (const std::optional<TableProblem> problem = conditionsProblem(p.blocks, design, path))
            return refuse(err, kWhere + p.path + ":" + std::to_string(problem->line) + ":" +
                                   std::to_string(problem->column) + ": " + problem->message);
    return 0;
}

}  // namespace

int gridMerge(const MergeOptions& options, std::ostream& err) {
    if (options.output.empty()) {
        err << kWhere << "an output file (-o) is required\n";
        return kExitInput;
    }
    if (options.parts.empty()) {
        err << kWhere << "no parts given\n";
        return kExitInput;
    }
    std::vector<Part> parts(options.parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (const int status = readPart(options.parts[i], parts[i], err)) return status;
    if (const int status = checkFormats(parts, err)) return status;
    if (const int status = checkShards(parts, err)) return status;
    if (!options.design.empty())
        if (const int status = checkDesign(options.design, parts, err)) return status;
    std::map<int, std::pair<const ResultBlock*, const Part*>> byId;
    if (const int status = collectConditions(parts, byId, err)) return status;

    // Parts of an older format merge in that format, as that program merged them.
    const int version = parts.front().formatVersion;
    std::string merged = resultsHeader(version);
    Sidecar sidecar = parts.front().sidecar;
    sidecar.shard = 1;
    sidecar.shards = 1;
    sidecar.conditions.clear();
    sidecar.perSeries.clear();
    sidecar.commandLine = options.commandLine;
    for (const auto& [id, entry] : byId) {
        merged += resultLines(entry.first->rows, version);
        sidecar.conditions.push_back(id);
    }
    sidecar.rowsDigest = rowsDigest(sidecar, merged);
    std::string error;
    for (const auto& [path, text] : {std::pair{options.output, merged},
                                     std::pair{options.output + ".json", sidecarJson(sidecar)}})
        if (!writeFileAtomically(path, text, error)) {
            err << "zelkor: grid merge: " << error << "\n";
            return kExitFailure;
        }
    return 0;
}
