#include "plotfigure.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "messagetext.h"
#include "numbertext.h"

namespace plot {

const std::vector<ResultColumn>& factorColumns() {
    static const std::vector<ResultColumn> columns = {
        ResultColumn::Option, ResultColumn::NA,  ResultColumn::NB,  ResultColumn::Trend, ResultColumn::Level,
        ResultColumn::Slope,  ResultColumn::SdA, ResultColumn::SdB, ResultColumn::Ar1,   ResultColumn::Ma1};
    return columns;
}

const char* columnName(ResultColumn column) { return resultColumn(column).name; }

namespace {

struct FactorNames {
    ResultColumn column;
    const char* label;  // in a panel title or a note
    const char* title;  // on an axis
    const char* greek;  // its letter in the model, UTF-8; empty when it has none
};

constexpr FactorNames kFactorNames[] = {
    {ResultColumn::Option, "option", "Option", ""},
    {ResultColumn::NA, "N_A", "N_A (length of phase A)", ""},
    {ResultColumn::NB, "N_B", "N_B (length of phase B)", ""},
    {ResultColumn::Trend, "baseline trend", "Baseline trend", "\xCE\xB2\xE2\x82\x81"},  // beta 1
    {ResultColumn::Level, "level change", "Level change", "\xCE\xB2\xE2\x82\x82"},      // beta 2
    {ResultColumn::Slope, "slope change", "Slope change", "\xCE\xB2\xE2\x82\x83"},      // beta 3
    {ResultColumn::SdA, "SD of A", "SD of A", ""},
    {ResultColumn::SdB, "SD of B", "SD of B", ""},
    {ResultColumn::Ar1, "AR(1)", "AR(1)", "\xCF\x86"},  // phi
    {ResultColumn::Ma1, "MA(1)", "MA(1)", "\xCE\xB8"},  // theta
};

const FactorNames& namesOf(ResultColumn column) {
    for (const FactorNames& n : kFactorNames)
        if (n.column == column) return n;
    return kFactorNames[0];
}

std::string withLetter(const char* text, const FactorNames& n, bool greek) {
    return greek && *n.greek != '\0' ? std::string(text) + " " + n.greek : std::string(text);
}

}  // namespace

std::string factorLabel(ResultColumn column, bool greek) {
    const FactorNames& n = namesOf(column);
    return withLetter(n.label, n, greek);
}

std::string factorTitle(ResultColumn column, bool greek) {
    const FactorNames& n = namesOf(column);
    return withLetter(n.title, n, greek);
}

std::vector<std::string> chosenStatistics(const std::vector<std::string>& names, bool needTest,
                                          const std::string& file) {
    std::vector<std::string> known;
    for (const StatisticInfo& info : allStatistics())
        if (!needTest || info.hasTest) known.emplace_back(info.label);
    std::vector<std::string> chosen;
    for (const std::string& name : names) {
        const std::optional<Statistic> s = statisticNamed(name);
        if (!s)
            throw InputError(file + ": unknown statistic " + quotedExcerpt(name) + " in --statistics; choose from " +
                             join(known, ", "));
        if (needTest && !statisticInfo(*s).hasTest)
            throw InputError(file + ": " + name + " in --statistics has no test, so no share of p < alpha; choose from " +
                             join(known, ", "));
        if (std::find(chosen.begin(), chosen.end(), name) != chosen.end())
            throw InputError(file + ": " + name + " is named twice in --statistics");
        chosen.push_back(name);
    }
    return chosen;
}

std::optional<ResultColumn> factorNamed(const std::string& name) {
    for (const ResultColumn c : factorColumns())
        if (name == columnName(c)) return c;
    return std::nullopt;
}

double factorValue(const ResultRow& row, ResultColumn column) {
    // The design's parameters are floats; their decimal is the double the file shows.
    const double value = resultColumn(column).number(row);
    if (!std::isfinite(value)) return value;
    return std::strtod(parameterText(static_cast<float>(value)).c_str(), nullptr);
}

std::string factorText(double value) {
    if (std::isfinite(value) && std::fabs(value) > static_cast<double>(std::numeric_limits<float>::max()))
        return doubleText(value);
    return parameterText(static_cast<float>(value));
}

std::string assignment(const std::string& name, double value) { return name + " = " + factorText(value); }

bool valueLess(double a, double b) {
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a < b;
}

bool sameValue(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

bool KeyLess::operator()(const std::vector<double>& a, const std::vector<double>& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), valueLess);
}

std::vector<double> distinctValues(std::vector<double> values) {
    std::sort(values.begin(), values.end(), valueLess);
    values.erase(std::unique(values.begin(), values.end(), sameValue), values.end());
    return values;
}

std::string join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += separator;
        out += parts[i];
    }
    return out;
}

std::vector<std::string> fixedFactorLines(const std::vector<std::string>& names,
                                          const std::vector<std::vector<double>>& values,
                                          const std::vector<std::size_t>& which) {
    constexpr std::size_t kLineLength = 70;
    std::vector<std::string> lines;
    std::string line = "Same in every condition: ";
    bool first = true;
    for (const std::size_t f : which) {
        const std::string part = assignment(names[f], values[f].front());
        if (!first && line.size() + part.size() + 2 > kLineLength) {
            lines.push_back(line + ",");
            line.clear();
        } else if (!first) {
            line += ", ";
        }
        line += part;
        first = false;
    }
    if (!first) lines.push_back(line);
    return lines;
}

std::string seriesNote(const ResultsTable& table, const std::vector<std::size_t>& rows) {
    if (!table.has(ResultColumn::NSim) || rows.empty()) return {};
    std::vector<double> counts;
    for (const std::size_t r : rows) counts.push_back(static_cast<double>(table.rows[r].nSim));
    counts = distinctValues(counts);
    if (counts.size() == 1) return factorText(counts.front()) + " series per condition";
    return factorText(counts.front()) + " to " + factorText(counts.back()) + " series per condition";
}

void layoutPanels(int panels, const std::vector<int>& valueCounts, int& rows, int& columns) {
    constexpr int kWidest = 6;
    int product = 1;
    for (const int n : valueCounts) product *= n;
    if (valueCounts.size() >= 2 && product == panels) {
        // The columns are the combinations of the last factors, as many of
        // them as fit: every row of panels then shares the values of the
        // factors before them.
        int across = 1;
        for (std::size_t f = valueCounts.size(); f-- > 1 && across * valueCounts[f] <= kWidest;)
            across *= valueCounts[f];
        if (across > 1) {
            columns = across;
            rows = product / across;
            return;
        }
    }
    if (panels <= 3) {
        columns = std::max(panels, 1);
    } else {
        columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(panels))));
    }
    rows = (panels + columns - 1) / columns;
}

void requireColumn(const ResultsTable& table, ResultColumn column, const std::string& purpose) {
    if (!table.has(column))
        throw InputError(table.name + ": no column '" + columnName(column) + "' in the header (" + purpose + ")");
}

}  // namespace plot
