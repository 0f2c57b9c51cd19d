#include "distributionfigure.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

#include "messagetext.h"

namespace plot {

namespace {

constexpr ResultColumn kQuantiles[5] = {ResultColumn::Q0, ResultColumn::Q25, ResultColumn::Q50, ResultColumn::Q75,
                                        ResultColumn::Q100};

// The table's conditions and which one each row belongs to.
struct Conditions {
    std::vector<ResultColumn> factors;         // the table's factor columns
    std::vector<std::vector<double>> values;   // per condition: its factors' values
    std::vector<std::optional<int>> ids;       // per condition: its condition_id, when the table has it
    std::vector<std::size_t> ofRow;            // per row: its condition
    std::vector<std::vector<double>> distinct;  // per factor: its values, ascending
};

Conditions conditionsOf(const ResultsTable& table) {
    Conditions c;
    for (const ResultColumn f : factorColumns())
        if (table.has(f)) c.factors.push_back(f);
    const bool byId = table.has(ResultColumn::ConditionId);
    std::map<std::vector<double>, std::size_t, KeyLess> index;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const ResultRow& row = table.rows[r];
        std::vector<double> values;
        for (const ResultColumn f : c.factors) values.push_back(factorValue(row, f));
        const std::optional<int> id = byId ? std::optional<int>(row.condition.id) : std::nullopt;
        const auto [it, added] = index.emplace(byId ? std::vector<double>{static_cast<double>(*id)} : values,
                                               c.values.size());
        if (added) {
            c.values.push_back(values);
            c.ids.push_back(id);
        } else if (!std::equal(values.begin(), values.end(), c.values[it->second].begin(), sameValue)) {
            throw InputError(table.name + ":" + std::to_string(table.lines[r]) + ": condition " +
                             std::to_string(*id) + " appears with other design values on an earlier line");
        }
        c.ofRow.push_back(it->second);
    }
    for (std::size_t f = 0; f < c.factors.size(); ++f) {
        std::vector<double> values;
        for (const auto& v : c.values) values.push_back(v[f]);
        c.distinct.push_back(distinctValues(values));
    }
    return c;
}

// A side of the panel grid: nothing, the statistic, or a factor.
struct Side {
    enum Kind { None, ByStatistic, ByFactor } kind = None;
    std::size_t factor = 0;  // index into Conditions::factors
};

std::string sideChoices(const Conditions& c) {
    std::vector<std::string> names = {"statistic"};
    for (std::size_t f = 0; f < c.factors.size(); ++f)
        if (c.distinct[f].size() > 1) names.emplace_back(columnName(c.factors[f]));
    return join(names, ", ");
}

Side sideOf(const ResultsTable& table, const Conditions& c, const std::string& name, const char* option) {
    if (name.empty()) return {};
    if (name == "statistic") return {Side::ByStatistic, 0};
    const std::optional<ResultColumn> column = factorNamed(name);
    for (std::size_t f = 0; column && f < c.factors.size(); ++f)
        if (c.factors[f] == *column) return {Side::ByFactor, f};
    throw InputError(table.name + ": unknown " + option + " " + quotedExcerpt(name) + "; choose one of " +
                     sideChoices(c));
}

// The statistics of the panels, in order.
std::vector<std::string> statisticsOf(const ResultsTable& table, const DistributionRequest& request) {
    std::vector<std::string> inFile;
    for (const ResultRow& row : table.rows)
        if (std::find(inFile.begin(), inFile.end(), row.statistic) == inFile.end()) inFile.push_back(row.statistic);
    const std::vector<std::string> chosen = chosenStatistics(request.statistics, false, table.name);
    for (const std::string& name : chosen)
        if (std::find(inFile.begin(), inFile.end(), name) == inFile.end())
            throw InputError(table.name + ": no " + name + " row for --statistics");
    return chosen.empty() ? inFile : chosen;
}

// The grid: which side is what, and how each condition finds its box row.
struct Layout {
    Side rows, columns;
    bool wrap = false;                  // neither named: the statistics' panels wrap, three to a row
    std::vector<std::size_t> inner;     // factors that vary within a panel: they label the box rows
    std::vector<std::size_t> fixed;     // factors with one value
    std::vector<int> lineOf;            // per condition: its box row
};

Layout layoutOf(const ResultsTable& table, const Conditions& c, const DistributionRequest& request,
                std::size_t statistics) {
    Layout l;
    l.rows = sideOf(table, c, request.rows, "--rows");
    l.columns = sideOf(table, c, request.columns, "--columns");
    if (l.rows.kind != Side::None && l.rows.kind == l.columns.kind && l.rows.factor == l.columns.factor)
        throw InputError(table.name + ": --rows and --columns both name " + request.rows);
    l.wrap = l.rows.kind == Side::None && l.columns.kind == Side::None;
    if (!l.wrap && l.rows.kind == Side::None && l.columns.kind == Side::ByFactor) l.rows.kind = Side::ByStatistic;
    if (!l.wrap && l.columns.kind == Side::None && l.rows.kind == Side::ByFactor) l.columns.kind = Side::ByStatistic;
    if (l.rows.kind == Side::ByFactor && l.columns.kind == Side::ByFactor && statistics > 1)
        throw InputError(table.name + ": --rows and --columns both name design columns, which leaves " +
                         std::to_string(statistics) +
                         " statistics to place; choose one with --statistics, or name statistic in --rows or "
                         "--columns");
    for (std::size_t f = 0; f < c.factors.size(); ++f) {
        const bool side = (l.rows.kind == Side::ByFactor && l.rows.factor == f) ||
                          (l.columns.kind == Side::ByFactor && l.columns.factor == f);
        if (c.distinct[f].size() <= 1)
            l.fixed.push_back(f);
        else if (!side)
            l.inner.push_back(f);
    }
    return l;
}

std::vector<double> valuesAt(const std::vector<double>& values, const std::vector<std::size_t>& which) {
    std::vector<double> out;
    for (const std::size_t f : which) out.push_back(values[f]);
    return out;
}

// One box row per set of inner values, in the order of first appearance; a
// repeated condition (the same design values in one cell) gets a row of its
// own, named by its condition.
void labelLines(DistributionFigure& figure, Layout& l, const Conditions& c, const std::vector<std::string>& labels) {
    std::vector<std::size_t> cellFactors;
    if (l.rows.kind == Side::ByFactor) cellFactors.push_back(l.rows.factor);
    if (l.columns.kind == Side::ByFactor) cellFactors.push_back(l.columns.factor);
    std::map<std::vector<double>, int, KeyLess> copies;  // cell and inner values -> conditions so far
    std::map<std::vector<double>, int, KeyLess> lines;   // inner values and copy -> box row
    std::vector<std::vector<std::size_t>> members;
    std::vector<int> copyOf;
    for (std::size_t k = 0; k < c.values.size(); ++k) {
        std::vector<double> inner = valuesAt(c.values[k], l.inner);
        std::vector<double> cell = valuesAt(c.values[k], cellFactors);
        cell.insert(cell.end(), inner.begin(), inner.end());
        const int copy = copies[cell]++;
        inner.push_back(copy);
        const auto [it, added] = lines.emplace(inner, static_cast<int>(lines.size()));
        if (added) {
            std::vector<std::string> parts;
            for (const std::size_t f : l.inner) parts.push_back(assignment(labels[f], c.values[k][f]));
            figure.conditions.push_back(join(parts, ", "));
            members.emplace_back();
            copyOf.push_back(copy);
        }
        members[static_cast<std::size_t>(it->second)].push_back(k);
        l.lineOf.push_back(it->second);
    }
    const bool repeats = std::any_of(copyOf.begin(), copyOf.end(), [](int n) { return n > 0; });
    for (std::size_t line = 0; line < figure.conditions.size(); ++line) {
        std::string& label = figure.conditions[line];
        const std::size_t k = members[line].front();
        const std::string name = "condition " + (c.ids[k] ? std::to_string(*c.ids[k]) : std::to_string(k + 1));
        if (members[line].size() == 1 && (label.empty() || repeats))
            label += label.empty() ? name : " (" + name + ")";
        else if (repeats)
            label += " (copy " + std::to_string(copyOf[line] + 1) + ")";
        else if (label.empty())
            label = "each condition";
    }
}

// The index of a value along a side, and its part of a panel title.
int indexAlong(const Side& side, const Conditions& c, std::size_t condition, int statistic) {
    if (side.kind == Side::ByStatistic) return statistic;
    if (side.kind == Side::None) return 0;
    const auto& values = c.distinct[side.factor];
    const double v = c.values[condition][side.factor];
    return static_cast<int>(std::find_if(values.begin(), values.end(), [v](double x) { return sameValue(x, v); }) -
                            values.begin());
}

int extent(const Side& side, const Conditions& c, std::size_t statistics) {
    if (side.kind == Side::ByStatistic) return static_cast<int>(statistics);
    if (side.kind == Side::None) return 1;
    return static_cast<int>(c.distinct[side.factor].size());
}

// One box per row, in the panel of its statistic and cell.
void fillPanels(DistributionFigure& figure, const ResultsTable& table, const Conditions& c, const Layout& l,
                const std::vector<std::string>& statistics, const std::vector<std::string>& labels) {
    std::map<std::pair<int, int>, std::size_t> panelAt;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const ResultRow& row = table.rows[r];
        const auto st = std::find(statistics.begin(), statistics.end(), row.statistic);
        if (st == statistics.end()) continue;
        const int s = static_cast<int>(st - statistics.begin());
        const std::size_t k = c.ofRow[r];
        const std::pair<int, int> cell =
            l.wrap ? std::pair<int, int>{s / 3, s % 3}
                   : std::pair<int, int>{indexAlong(l.rows, c, k, s), indexAlong(l.columns, c, k, s)};
        const auto [it, added] = panelAt.emplace(cell, figure.panels.size());
        if (added) {
            std::vector<std::string> parts;
            if (statistics.size() > 1) parts.push_back(row.statistic);
            for (const Side& side : {l.rows, l.columns})
                if (side.kind == Side::ByFactor)
                    parts.push_back(assignment(labels[side.factor], c.values[k][side.factor]));
            figure.panels.push_back({row.statistic, join(parts, ", "), cell.first, cell.second, {}, {}, 1.0});
        }
        DistributionPanel& panel = figure.panels[it->second];
        const int box = l.lineOf[k];
        if (std::find(panel.rows.begin(), panel.rows.end(), box) != panel.rows.end())
            throw InputError(table.name + ":" + std::to_string(table.lines[r]) + ": a second " + row.statistic +
                             " row for " + figure.conditions[static_cast<std::size_t>(box)]);
        Spread spread;
        for (int i = 0; i < 5; ++i) spread.q[i] = row.quantiles[static_cast<std::size_t>(i)];
        spread.mean = row.mean;
        for (const double v : {spread.q[0], spread.q[1], spread.q[2], spread.q[3], spread.q[4], spread.mean})
            if (!std::isfinite(v)) figure.nonFinite = true;
        panel.rows.push_back(box);
        panel.spreads.push_back(spread);
    }
    std::sort(figure.panels.begin(), figure.panels.end(), [](const DistributionPanel& a, const DistributionPanel& b) {
        return std::pair(a.row, a.column) < std::pair(b.row, b.column);
    });
    for (auto& panel : figure.panels) {
        double largest = 0.0;
        for (const auto& spread : panel.spreads)
            for (const double v : {spread.q[0], spread.q[4], spread.mean})
                if (std::isfinite(v)) largest = std::max(largest, std::fabs(v));
        panel.scale = valueScale(largest);
    }
}

}  // namespace

DistributionFigure buildDistributionFigure(const ResultsTable& table, const DistributionRequest& request) {
    requireColumn(table, ResultColumn::Statistic, "the statistic of each row");
    requireColumn(table, ResultColumn::Mean, "the mean of each statistic");
    for (const ResultColumn q : kQuantiles) requireColumn(table, q, "the quantiles of each statistic");
    if (table.rows.empty()) throw InputError(table.name + ": no result rows below the header");

    const Conditions conditions = conditionsOf(table);
    const std::vector<std::string> statistics = statisticsOf(table, request);
    Layout layout = layoutOf(table, conditions, request, statistics.size());
    std::vector<std::string> labels;
    for (const ResultColumn f : conditions.factors) labels.push_back(factorLabel(f, request.greek));

    DistributionFigure figure;
    labelLines(figure, layout, conditions, labels);
    if (static_cast<int>(figure.conditions.size()) > kMostBoxRows) {
        std::string advice = "spread them over a grid with --rows and --columns (" + sideChoices(conditions) + ")";
        throw InputError(table.name + ": each panel would hold " + std::to_string(figure.conditions.size()) +
                         " rows of boxes, more than the " + std::to_string(kMostBoxRows) +
                         " that print legibly; " + advice);
    }
    fillPanels(figure, table, conditions, layout, statistics, labels);
    if (layout.wrap) {
        const int panels = static_cast<int>(statistics.size());
        figure.columns = std::min(panels, 3);
        figure.rows = (panels + figure.columns - 1) / figure.columns;
    } else {
        figure.rows = extent(layout.rows, conditions, statistics.size());
        figure.columns = extent(layout.columns, conditions, statistics.size());
    }

    figure.title = request.title.empty()
                       ? (statistics.size() == 1 ? "Distribution of " + statistics.front() + " per condition"
                                                 : "Distribution of each statistic per condition")
                       : request.title;
    figure.notes = fixedFactorLines(labels, conditions.distinct, layout.fixed);
    std::vector<std::string> about;
    std::vector<std::size_t> all(table.rows.size());
    for (std::size_t r = 0; r < all.size(); ++r) all[r] = r;
    const std::string series = seriesNote(table, all);
    if (!series.empty()) about.push_back(series);
    if (figure.nonFinite) about.push_back("values that are NA, NaN or infinite are not drawn");
    if (!about.empty()) figure.notes.push_back(join(about, "; "));
    return figure;
}

}  // namespace plot
