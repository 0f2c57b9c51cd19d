#include "plotfigure.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "numbertext.h"

namespace plot {

const std::vector<ResultColumn>& factorColumns() {
    static const std::vector<ResultColumn> columns = {
        ResultColumn::Option, ResultColumn::NA,  ResultColumn::NB,  ResultColumn::Trend, ResultColumn::Level,
        ResultColumn::Slope,  ResultColumn::SdA, ResultColumn::SdB, ResultColumn::Ar1,   ResultColumn::Ma1};
    return columns;
}

const char* columnName(ResultColumn column) { return resultColumn(column).name; }

std::string factorTitle(ResultColumn column) {
    const TableColumn<ResultRow>& c = resultColumn(column);
    return std::string(c.title) + (column == ResultColumn::Option ? "" : std::string(" (") + c.name + ")");
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
    int product = 1;
    for (const int n : valueCounts) product *= n;
    if (valueCounts.size() >= 2 && product == panels && product / valueCounts.front() <= 4) {
        rows = valueCounts.front();
        columns = product / valueCounts.front();
        return;
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
