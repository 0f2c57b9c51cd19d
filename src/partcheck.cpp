#include "partcheck.h"

#include <nettle/sha2.h>

#include <cstdint>
#include <cstdio>
#include <map>

#include "boundedread.h"
#include "numbertext.h"
#include "runs.h"

namespace {

// Where the rows begin: just past the header line (after a byte-order mark
// the reader passes over); the text's end when it has no line end.
std::size_t rowsBegin(std::string_view text) {
    CsvReader reader(text);
    CsvRecord header;
    if (!reader.next(header) || !header.terminated) return text.size();
    return header.end;
}

std::string settingsText(const Sidecar& s) {
    return "zelkor-rows-digest-1\nformat_version=" + std::to_string(s.formatVersion) +
           "\ndesign_hash=" + s.designHash + "\ndesign_conditions=" + std::to_string(s.designConditions) +
           "\nshard=" + std::to_string(s.shard) + "/" + std::to_string(s.shards) + "\nseed_mode=" + s.seedMode +
           "\nseed=" + std::to_string(s.seed) + "\nreplications=" + std::to_string(s.replications) +
           "\nalpha=" + doubleText(s.alpha) + "\nrows\n";
}

int replicationsOf(const Sidecar& s, const Condition& c) {
    return s.replications > 0 ? s.replications : iterationsOf(c.option);
}

std::uint32_t seedOf(const Sidecar& s, const Condition& c) {
    return s.seedMode == "per-condition" ? conditionSeed(s.seed, c) : s.seed;
}

}  // namespace

std::string rowsDigest(const Sidecar& s, std::string_view resultsText) {
    const std::string settings = settingsText(s);
    const std::string_view rows = resultsText.substr(rowsBegin(resultsText));
    sha256_ctx context;
    sha256_init(&context);
    sha256_update(&context, settings.size(), reinterpret_cast<const std::uint8_t*>(settings.data()));
    sha256_update(&context, rows.size(), reinterpret_cast<const std::uint8_t*>(rows.data()));
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, SHA256_DIGEST_SIZE, digest);
    std::string text = "sha256:";
    for (const std::uint8_t byte : digest) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned>(byte));
        text += hex;
    }
    return text;
}

bool sealSidecar(const std::string& resultsPath, Sidecar& s, std::string& error) {
    std::string text;
    if (!readBoundedFile(resultsPath, kInputFileLimit, text, error)) {
        error = resultsPath + ": " + error;
        return false;
    }
    s.rowsDigest = rowsDigest(s, text);
    return true;
}

std::optional<TableProblem> rowsProblem(const std::vector<ResultBlock>& blocks, const Sidecar& s) {
    for (std::size_t k = 0; k < blocks.size(); ++k) {
        const ResultBlock& block = blocks[k];
        const ResultRow& row = block.rows.front();
        const Condition& c = row.condition;
        const int line = block.lines.front();
        if (k >= s.conditions.size() || s.conditions[k] != c.id)
            return TableProblem{line, 1,
                                "condition " + std::to_string(c.id) + " is not the one its sidecar lists here" +
                                    (k < s.conditions.size() ? " (" + std::to_string(s.conditions[k]) + ")" : "")};
        if (const int n = replicationsOf(s, c); row.nSim != n)
            return TableProblem{line, 1,
                                "n_sim " + std::to_string(row.nSim) + " of condition " + std::to_string(c.id) +
                                    " is not the " + std::to_string(n) + " replications its sidecar records"};
        if (const std::uint32_t seed = seedOf(s, c); row.seed != seed)
            return TableProblem{line, 1,
                                "seed " + std::to_string(row.seed) + " of condition " + std::to_string(c.id) +
                                    " is not the seed " + std::to_string(seed) + " its sidecar's " + s.seedMode +
                                    " seed " + std::to_string(s.seed) + " gives it"};
    }
    if (blocks.size() != s.conditions.size())
        return TableProblem{blocks.empty() ? 2 : blocks.back().lines.back() + 1, 1,
                            "its sidecar lists " + std::to_string(s.conditions.size()) + " conditions, the file holds " +
                                std::to_string(blocks.size())};
    return std::nullopt;
}

std::optional<TableProblem> conditionsProblem(const std::vector<ResultBlock>& blocks,
                                              const std::vector<Condition>& design, const std::string& designName) {
    std::map<int, const Condition*> byId;
    for (const Condition& c : design) byId.emplace(c.id, &c);
    for (const ResultBlock& block : blocks) {
        const Condition& c = block.rows.front().condition;
        const auto it = byId.find(c.id);
        if (it == byId.end())
            return TableProblem{block.lines.front(), 1,
                                "condition " + std::to_string(c.id) + " is not in " + designName};
        if (!sameCondition(c, *it->second))
            return TableProblem{block.lines.front(), 1,
                                "the design columns of condition " + std::to_string(c.id) + " differ from " +
                                    designName + "'s"};
    }
    return std::nullopt;
}

std::string designProblem(const std::vector<Condition>& conditions, const Sidecar& s) {
    if (static_cast<long long>(conditions.size()) != s.designConditions)
        return "the parts hold " + std::to_string(conditions.size()) + " of the design's " +
               std::to_string(s.designConditions) + " conditions";
    if (const std::string hash = designHash(conditions); hash != s.designHash)
        return "the conditions the rows hold hash to " + hash + ", not to the design_hash " + s.designHash +
               " of the sidecars: design columns or condition ids were changed, or the rows come from another "
               "design";
    return {};
}
