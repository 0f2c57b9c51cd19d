// grid merge: the parts of a sharded study checked against each other and
// written as the one results file the unsharded run writes.
#include <map>
#include <ostream>

#include "atomicfile.h"
#include "boundedread.h"
#include "grid.h"
#include "resultsread.h"
#include "sidecar.h"

namespace {

const char* const kWhere = "zelkor: grid merge: ";

struct Part {
    std::string path;
    Sidecar sidecar;
    int formatVersion = kResultsFormatVersion;  // of the results file, as its header tells
    std::vector<ResultBlock> blocks;
};

// Reads one part and its sidecar; 0 or the exit status after a message.
int readPart(const std::string& path, Part& p, std::ostream& err) {
    p.path = path;
    std::string text;
    std::string error;
    if (!readBoundedFile(path, kInputFileLimit, text, error)) {
        err << kWhere << path << ": " << error << "\n";
        return kExitInput;
    }
    std::string sidecarText;
    if (!readBoundedFile(path + ".json", kSidecarFileLimit, sidecarText, error)) {
        err << kWhere << path << ".json: " << error << " (every part needs its sidecar)\n";
        return kExitInput;
    }
    if (!parseSidecar(sidecarText, p.sidecar, error)) {
        err << kWhere << path << ".json: " << error << "\n";
        return kExitInput;
    }
    std::vector<Statistic> chosen;
    for (const std::string& label : p.sidecar.statistics) {
        const std::optional<Statistic> s = statisticNamed(label);
        if (!s) {
            err << kWhere << path << ".json: unknown statistic '" << label << "'\n";
            return kExitInput;
        }
        chosen.push_back(*s);
    }
    ResultsReading reading =
        readResults(text, [&chosen](Option option) { return chosenStatistics(chosen, option); });
    p.formatVersion = reading.formatVersion;
    if (reading.error) {
        err << path << ":" << reading.error->line << ":" << reading.error->column << ": " << reading.error->message
            << "\n";
        return kExitInput;
    }
    if (reading.tornTail) {
        err << kWhere << path << ": the file ends inside a condition; it is not a finished part\n";
        return kExitInput;
    }
    std::vector<int> ids;
    for (const ResultBlock& b : reading.blocks) ids.push_back(b.id());
    if (ids != p.sidecar.conditions) {
        err << kWhere << path << ": its conditions differ from those its sidecar lists\n";
        return kExitInput;
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
    const long long expected = parts.front().sidecar.designConditions;
    if (static_cast<long long>(byId.size()) != expected) {
        err << kWhere << "the parts hold " << byId.size() << " of the design's " << expected << " conditions\n";
        return kExitInput;
    }
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
    std::string error;
    for (const auto& [path, text] : {std::pair{options.output, merged},
                                     std::pair{options.output + ".json", sidecarJson(sidecar)}})
        if (!writeFileAtomically(path, text, error)) {
            err << "zelkor: grid merge: " << error << "\n";
            return kExitFailure;
        }
    return 0;
}
