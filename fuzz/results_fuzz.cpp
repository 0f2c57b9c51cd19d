// The results reader as resuming and merging use it, on hostile bytes.  The
// input is a results file, optionally followed by "\0SIDECAR\0" and a sidecar
// and by "\0SERIES\0" and a per-series file.  For any input:
// - readResults gives whole conditions in ascending id order, each with its
//   option's statistics, rows on ascending lines, offsets inside the text;
//   an error is one printable, short message; the whole conditions written
//   again read back as the same rows;
// - a sidecar that parses holds only values a run writes, and writes back to
//   itself; the merge's checks of rows against it (rowsProblem, rowsDigest)
//   run without fault, and a part that passes them lists its conditions;
// - keptSeries keeps a prefix of the per-series text, never past its end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "messagetext.h"
#include "partcheck.h"
#include "resultsread.h"
#include "sidecar.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "invariant failed: %s\n", what);
    std::abort();
}

// Cuts text at marker: what follows it goes to rest.
std::string_view cut(std::string_view& text, std::string_view marker) {
    const std::size_t at = text.find(marker);
    if (at == std::string_view::npos) return {};
    const std::string_view rest = text.substr(at + marker.size());
    text = text.substr(0, at);
    return rest;
}

void checkBlocks(const ResultsReading& r, std::string_view text) {
    int lastId = 0;
    int lastLine = 0;
    std::size_t lastEnd = r.headerEnd;
    check(r.headerEnd <= text.size(), "the header ends inside the text");
    for (const ResultBlock& b : r.blocks) {
        check(b.id() > lastId, "ids ascend");
        lastId = b.id();
        const auto expected = defaultStatistics(b.rows.front().condition.option);
        check(b.rows.size() == expected.size() && b.lines.size() == b.rows.size(), "a whole condition");
        for (std::size_t k = 0; k < b.rows.size(); ++k) {
            check(b.rows[k].statistic == statisticInfo(expected[k]).label, "the option's statistics in order");
            check(b.lines[k] > lastLine, "rows on ascending lines");
            lastLine = b.lines[k];
        }
        check(b.end > lastEnd && b.end <= text.size(), "blocks end in order inside the text");
        lastEnd = b.end;
    }
}

void checkRoundTrip(const ResultsReading& r) {
    std::string again = resultsHeader();
    for (const ResultBlock& b : r.blocks) again += resultLines(b.rows);
    const ResultsReading back = readResults(again);
    check(!back.error && !back.tornTail && back.blocks.size() == r.blocks.size(), "written rows read back");
    for (std::size_t k = 0; k < r.blocks.size(); ++k)
        check(resultLines(back.blocks[k].rows) == resultLines(r.blocks[k].rows), "as the same rows");
}

void checkSidecar(std::string_view json, const ResultsReading& r, std::string_view text) {
    Sidecar s;
    std::string error;
    if (!parseSidecar(std::string(json), s, error)) {
        check(!error.empty(), "a refusal says why");
        return;
    }
    Sidecar back;
    check(parseSidecar(sidecarJson(s), back, error), "a sidecar written reads back");
    check(sidecarJson(back) == sidecarJson(s), "as itself");
    check(s.replications >= 0 && s.shard >= 1 && s.shard <= s.shards, "only values a run writes");
    const std::optional<TableProblem> problem = rowsProblem(r.blocks, s);
    if (problem) {
        check(printableText(problem->message) == problem->message, "a problem is printable");
    } else {
        check(r.blocks.size() == s.conditions.size(), "a part that passes lists its conditions");
        for (std::size_t k = 0; k < r.blocks.size(); ++k) check(r.blocks[k].id() == s.conditions[k], "in order");
    }
    const std::string digest = rowsDigest(s, text);
    check(digest.size() == 71 && digest == rowsDigest(s, text), "a digest is sha256 and repeatable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace std::string_view_literals;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string_view series = cut(text, "\0SERIES\0"sv);
    const std::string_view sidecar = cut(text, "\0SIDECAR\0"sv);

    const ResultsReading r = readResults(text);
    if (r.error) {
        check(printableText(r.error->message) == r.error->message, "an error is printable");
        check(r.error->message.size() <= 400, "an error is short");
        check(r.error->line >= 1 && r.error->column >= 1, "an error has a place");
    }
    checkBlocks(r, text);
    checkRoundTrip(r);
    checkSidecar(sidecar, r, text);

    std::size_t keep = 0;
    std::string error;
    if (keptSeries(series, r.blocks, keep, error)) check(keep <= series.size(), "the kept part is inside the file");
    return 0;
}
