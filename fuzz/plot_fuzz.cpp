// A hostile results file drawn: the bytes are read as a results table and,
// when they are one, drawn as a power figure (wrapped and as a grid) and as
// a distribution figure, in both formats.  For any bytes:
// - building a figure either succeeds or raises InputError, never faults;
// - every string of a script holds no line break;
// - the script's commands, read as gnuplot reads them, are the same as for
//   the same table with every statistic named by a plain label of the same
//   length: text from the file changes the text of strings and nothing
//   else, so it can add no command.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>

#include "distributionfigure.h"
#include "powerfigure.h"
#include "resultstable.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "invariant failed: %s\n", what);
    std::abort();
}

// The table with each statistic renamed to a plain label of the same byte
// length ("Sx", "S1x", ...); false when the names are too short to keep
// them apart.
bool plainNames(ResultsTable& table) {
    std::map<std::string, std::string> renamed;
    std::map<std::size_t, int> taken;  // per length: labels handed out
    for (ResultRow& row : table.rows) {
        auto [it, added] = renamed.emplace(row.statistic, "");
        if (added) {
            const std::size_t length = row.statistic.size();
            std::string label = "S" + std::to_string(taken[length]++);
            if (label.size() > length) return false;
            label.append(length - label.size(), 'x');
            it->second = label;
        }
        row.statistic = it->second;
    }
    return true;
}

void compare(const std::string& hostile, const std::string& plain) {
    const plot::ScriptStrings h = plot::splitStrings(hostile);
    const plot::ScriptStrings p = plot::splitStrings(plain);
    check(h.commands == p.commands, "a file's text changes only the text of strings");
    for (const std::string& text : h.texts) check(text.find_first_of("\r\n") == std::string::npos, "strings hold no line break");
}

template <class Build, class Script>
void both(const ResultsTable& hostile, const ResultsTable& plain, Build build, Script script) {
    bool hostileBuilt = true;
    bool plainBuilt = true;
    decltype(build(hostile)) h, p;
    try {
        h = build(hostile);
    } catch (const plot::InputError&) {
        hostileBuilt = false;
    }
    try {
        p = build(plain);
    } catch (const plot::InputError&) {
        plainBuilt = false;
    }
    check(hostileBuilt == plainBuilt, "statistic names do not decide whether a figure is drawn");
    if (!hostileBuilt) return;
    for (const auto format : {plot::ImageFormat::Svg, plot::ImageFormat::Png})
        compare(script(h, format), script(p, format));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ResultsTable table;
    std::string error;
    if (!readResultsTable(bytes, "f.csv", table, error)) return 0;
    ResultsTable plain = table;
    if (!plainNames(plain)) return 0;
    if (table.rows.size() > 400) return 0;  // each figure costs time in proportion

    std::vector<std::string> factors;
    for (const ResultColumn c : plot::factorColumns())
        if (c != ResultColumn::Option && table.has(c)) factors.emplace_back(plot::columnName(c));
    const auto powerScript = [](const plot::PowerFigure& f, plot::ImageFormat format) {
        (void)plot::powerFitProblem(f, format, {});
        return plot::powerScript(f, format, "/dev/fd/3");
    };
    const auto distributionScript = [](const plot::DistributionFigure& f, plot::ImageFormat format) {
        (void)plot::distributionFitProblem(f, format, {});
        return plot::distributionScript(f, format, "/dev/fd/3");
    };
    if (!factors.empty()) {
        both(table, plain, [&](const ResultsTable& t) { return plot::buildPowerFigure(t, {factors.front()}); },
             powerScript);
        if (factors.size() >= 2) {
            plot::PowerRequest grid{factors.front()};
            grid.rows = factors[1];
            both(table, plain, [&](const ResultsTable& t) { return plot::buildPowerFigure(t, grid); }, powerScript);
        }
    }
    both(table, plain, [](const ResultsTable& t) { return plot::buildDistributionFigure(t); }, distributionScript);
    plot::DistributionRequest byStatistic;
    byStatistic.columns = "statistic";
    both(table, plain, [&](const ResultsTable& t) { return plot::buildDistributionFigure(t, byStatistic); },
         distributionScript);
    return 0;
}
