#include "powerfigure.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "messagetext.h"

namespace plot {

namespace {

// The factors of the x axis and of the panels.
struct PowerAxes {
    ResultColumn x;
    std::vector<ResultColumn> others;  // every other factor of the table, the --facet one first
    std::vector<std::string> labels;   // their labels in the picture
    int facet = -1;                    // positions in others of the factors named by the options
    int rows = -1;
    int columns = -1;
};

std::string allowedFactors() {
    std::vector<std::string> names;
    for (const ResultColumn c : factorColumns())
        if (c != ResultColumn::Option) names.emplace_back(columnName(c));
    return join(names, ", ");
}

// The factor an option names, if it names one; refused when unknown or
// already taken by another option.
std::optional<ResultColumn> namedFactor(const ResultsTable& table, const std::string& name, const std::string& option,
                                        std::vector<std::pair<ResultColumn, std::string>>& taken) {
    if (name.empty()) return std::nullopt;
    const std::optional<ResultColumn> c = factorNamed(name);
    if (!c || *c == ResultColumn::Option)
        throw InputError(table.name + ": unknown " + option + " column " + quotedExcerpt(name) + "; choose one of " +
                         allowedFactors());
    for (const auto& [other, otherOption] : taken)
        if (other == *c) throw InputError(table.name + ": " + option + " and " + otherOption + " both name " + name);
    requireColumn(table, *c, "named by " + option);
    taken.emplace_back(*c, option);
    return c;
}

PowerAxes axesOf(const ResultsTable& table, const PowerRequest& request) {
    if (!request.facet.empty() && (!request.rows.empty() || !request.columns.empty()))
        throw InputError(table.name + ": --facet orders wrapped panels; with --rows or --columns leave it out");
    std::vector<std::pair<ResultColumn, std::string>> taken;
    const std::optional<ResultColumn> x = namedFactor(table, request.x, "--x", taken);
    if (!x) throw InputError(table.name + ": no --x column given; choose one of " + allowedFactors());
    const std::optional<ResultColumn> facet = namedFactor(table, request.facet, "--facet", taken);
    const std::optional<ResultColumn> rows = namedFactor(table, request.rows, "--rows", taken);
    const std::optional<ResultColumn> columns = namedFactor(table, request.columns, "--columns", taken);
    requireColumn(table, ResultColumn::Statistic, "the statistic of each row");
    requireColumn(table, ResultColumn::PSig, "a power plot needs the share of p < alpha");
    if (table.rows.empty()) throw InputError(table.name + ": no result rows below the header");

    PowerAxes axes{*x, {}, {}};
    if (facet) axes.others.push_back(*facet);
    for (const ResultColumn c : factorColumns())
        if (table.has(c) && c != *x && c != facet) axes.others.push_back(c);
    for (std::size_t i = 0; i < axes.others.size(); ++i) {
        axes.labels.push_back(factorLabel(axes.others[i], request.greek));
        if (axes.others[i] == facet) axes.facet = static_cast<int>(i);
        if (axes.others[i] == rows) axes.rows = static_cast<int>(i);
        if (axes.others[i] == columns) axes.columns = static_cast<int>(i);
    }
    return axes;
}

// One row with a finite share at a finite x.
struct Sample {
    std::string statistic;
    double x, share, mcse, weight;
    std::vector<double> factors;  // the values of the axes' other factors
    bool noEffect;                // trend, level and slope are all zero
};

struct Samples {
    std::vector<Sample> drawn;
    std::vector<std::size_t> tested;  // rows with a test, drawn or not
};

bool noEffect(const ResultsTable& table, const ResultRow& row) {
    for (const ResultColumn c : {ResultColumn::Trend, ResultColumn::Level, ResultColumn::Slope})
        if (!table.has(c) || factorValue(row, c) != 0.0) return false;
    return true;
}

Samples samplesOf(const ResultsTable& table, const PowerAxes& axes, const std::vector<std::string>& chosen,
                  const std::string& xName) {
    Samples s;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const ResultRow& row = table.rows[r];
        if (!row.pSig) continue;  // no test
        if (!chosen.empty() && std::find(chosen.begin(), chosen.end(), row.statistic) == chosen.end()) continue;
        s.tested.push_back(r);
        const double x = factorValue(row, axes.x);
        if (!std::isfinite(*row.pSig) || !std::isfinite(x)) continue;
        Sample sample{row.statistic, x, *row.pSig, 0.0, 1.0, {}, noEffect(table, row)};
        if (table.has(ResultColumn::PSigMcse) && row.pSigMcse && std::isfinite(*row.pSigMcse))
            sample.mcse = *row.pSigMcse;
        if (table.has(ResultColumn::NSim) && row.nSim > 0) sample.weight = row.nSim;
        for (const ResultColumn c : axes.others) sample.factors.push_back(factorValue(row, c));
        s.drawn.push_back(std::move(sample));
    }
    if (s.tested.empty())
        throw InputError(table.name + (chosen.empty() ? ": no statistic has a test (p_sig is NA in every row)"
                                                      : ": no row of the statistics chosen has a p_sig"));
    if (s.drawn.empty()) throw InputError(table.name + ": no row has a finite p_sig and " + xName);
    return s;
}

// Which factors make the grid's rows and which its columns; the others
// that vary are refused when both are named.
struct Split {
    std::vector<std::size_t> rows, columns, fixed;
    bool grid = false;
};

Split splitOf(const ResultsTable& table, const PowerAxes& axes, const std::vector<std::vector<double>>& distinct) {
    Split split;
    split.grid = axes.rows >= 0 || axes.columns >= 0;
    std::vector<std::string> extra;
    for (std::size_t f = 0; f < axes.others.size(); ++f) {
        const int i = static_cast<int>(f);
        const bool varies = distinct[f].size() > 1;
        if (!split.grid) {
            (i == axes.facet || varies ? split.rows : split.fixed).push_back(f);
        } else if (i == axes.rows) {
            split.rows.push_back(f);
        } else if (i == axes.columns) {
            split.columns.push_back(f);
        } else if (!varies) {
            split.fixed.push_back(f);
        } else if (axes.rows < 0) {
            split.rows.push_back(f);
        } else if (axes.columns < 0) {
            split.columns.push_back(f);
        } else {
            extra.push_back(std::string(columnName(axes.others[f])) + " (" + std::to_string(distinct[f].size()) +
                            " values)");
        }
    }
    if (!extra.empty())
        throw InputError(table.name + ": besides --x, --rows and --columns, " + join(extra, " and ") +
                         (extra.size() == 1 ? " varies" : " vary") +
                         "; a grid shows two factors: give only --rows or only --columns (the others then "
                         "make the other side), or plot a results file cut down to one value of each");
    return split;
}

struct Pool {
    double weight = 0.0, weightedShare = 0.0, weightedVariance = 0.0;
};
struct PanelPool {
    std::map<std::string, std::map<double, Pool>> lines;
    bool noEffect = true;
};

std::vector<double> keyOf(const Sample& s, const std::vector<std::size_t>& factors) {
    std::vector<double> key;
    for (const std::size_t f : factors) key.push_back(s.factors[f]);
    return key;
}

// The panels, then one line per statistic, then points pooled by x; each
// panel at its cell of the grid.
void pool(PowerFigure& figure, const PowerAxes& axes, const Samples& samples, const Split& split) {
    std::vector<std::size_t> all = split.rows;
    all.insert(all.end(), split.columns.begin(), split.columns.end());
    std::map<std::vector<double>, PanelPool, KeyLess> panels;
    std::map<std::vector<double>, int, KeyLess> rowKeys, columnKeys;
    std::vector<double> xs;
    for (const auto& s : samples.drawn) {
        PanelPool& panel = panels[keyOf(s, all)];
        Pool& p = panel.lines[s.statistic][s.x];
        panel.noEffect = panel.noEffect && s.noEffect;
        p.weight += s.weight;
        p.weightedShare += s.weight * s.share;
        p.weightedVariance += (s.weight * s.mcse) * (s.weight * s.mcse);
        rowKeys.emplace(keyOf(s, split.rows), 0);
        columnKeys.emplace(keyOf(s, split.columns), 0);
        xs.push_back(s.x);
    }
    figure.xValues = distinctValues(xs);
    int n = 0;
    for (auto& [key, index] : rowKeys) index = n++;
    n = 0;
    for (auto& [key, index] : columnKeys) index = n++;
    if (split.grid) {
        figure.rows = static_cast<int>(rowKeys.size());
        figure.columns = static_cast<int>(columnKeys.size());
    }
    for (const auto& [key, pooled] : panels) {
        PowerPanel panel;
        std::vector<std::string> parts;
        for (std::size_t i = 0; i < all.size(); ++i) parts.push_back(assignment(axes.labels[all[i]], key[i]));
        panel.title = join(parts, ", ");
        panel.typeI = pooled.noEffect;
        const std::vector<double> rowKey(key.begin(), key.begin() + static_cast<long>(split.rows.size()));
        const std::vector<double> columnKey(key.begin() + static_cast<long>(split.rows.size()), key.end());
        panel.row = rowKeys[rowKey];
        panel.column = columnKeys[columnKey];
        for (std::size_t st = 0; st < figure.statistics.size(); ++st) {
            const auto found = pooled.lines.find(figure.statistics[st]);
            if (found == pooled.lines.end()) continue;
            PowerLine line{figure.statistics[st], static_cast<int>(st), {}};
            for (const auto& [x, p] : found->second)
                line.points.push_back({x, p.weightedShare / p.weight, std::sqrt(p.weightedVariance) / p.weight});
            panel.lines.push_back(std::move(line));
        }
        figure.panels.push_back(std::move(panel));
    }
}

// The statistics in the order drawn: as chosen, or as the file first has them.
void orderStatistics(PowerFigure& figure, const ResultsTable& table, const Samples& samples,
                     const std::vector<std::string>& chosen) {
    for (const auto& s : samples.drawn)
        if (std::find(figure.statistics.begin(), figure.statistics.end(), s.statistic) == figure.statistics.end())
            figure.statistics.push_back(s.statistic);
    if (chosen.empty()) return;
    for (const std::string& name : chosen)
        if (std::find(figure.statistics.begin(), figure.statistics.end(), name) == figure.statistics.end())
            throw InputError(table.name + ": no " + name + " row with a finite p_sig for --statistics");
    figure.statistics = chosen;
}

// The title, the axis label and the notes under the title.
void label(PowerFigure& figure, const ResultsTable& table, const PowerAxes& axes, const Samples& samples,
           const std::vector<std::vector<double>>& distinct, const Split& split, const PowerRequest& request) {
    const std::string below = "share of series with p < " + factorText(figure.alpha);
    figure.xLabel = factorTitle(axes.x, request.greek);
    const auto typeI = std::count_if(figure.panels.begin(), figure.panels.end(),
                                     [](const PowerPanel& p) { return p.typeI; });
    const std::string what = typeI == 0 ? "Power: " + below
                             : typeI == static_cast<long>(figure.panels.size()) ? "Type-I error rate: " + below
                                                                               : "Share of series with p < " +
                                                                                     factorText(figure.alpha);
    figure.title = request.title.empty() ? what + " by " + figure.xLabel : request.title;
    figure.notes = fixedFactorLines(axes.labels, distinct, split.fixed);
    if (typeI > 0 && typeI < static_cast<long>(figure.panels.size()))
        figure.notes.push_back("Panels without an effect (trend, level and slope 0) show the Type-I error rate, "
                               "on their own scale");
    std::vector<std::string> about;
    const std::string series = seriesNote(table, samples.tested);
    if (!series.empty()) about.push_back(series);
    if (table.has(ResultColumn::PSigMcse)) about.push_back("bars: \xC2\xB1" "1.96 Monte-Carlo standard errors");
    if (!about.empty()) figure.notes.push_back(join(about, "; "));
}

// The top of the Type-I panels' axis: a round value above every bar and at
// least twice alpha, at most 1.
double typeITop(const PowerFigure& figure) {
    double top = 2.0 * figure.alpha;
    for (const auto& panel : figure.panels) {
        if (!panel.typeI) continue;
        for (const auto& line : panel.lines)
            for (const auto& pt : line.points) top = std::max(top, pt.share + 1.96 * pt.mcse);
    }
    const double step = ticStep(0.0, top, 4);
    return std::min(1.0, std::ceil(top / step - 1e-9) * step);
}

}  // namespace

PowerFigure buildPowerFigure(const ResultsTable& table, const PowerRequest& request) {
    const PowerAxes axes = axesOf(table, request);
    const std::vector<std::string> chosen = chosenStatistics(request.statistics, true, table.name);
    const Samples samples = samplesOf(table, axes, chosen, request.x);

    // Which factors vary over the rows drawn: they make the panels.
    std::vector<std::vector<double>> distinct(axes.others.size());
    for (std::size_t f = 0; f < axes.others.size(); ++f) {
        std::vector<double> values;
        for (const auto& s : samples.drawn) values.push_back(s.factors[f]);
        distinct[f] = distinctValues(values);
    }
    const Split split = splitOf(table, axes, distinct);

    PowerFigure figure;
    figure.alpha = request.alpha;
    figure.greek = request.greek;
    orderStatistics(figure, table, samples, chosen);
    pool(figure, axes, samples, split);
    if (!split.grid) {
        std::vector<int> counts;
        for (const std::size_t f : split.rows) counts.push_back(static_cast<int>(distinct[f].size()));
        layoutPanels(static_cast<int>(figure.panels.size()), counts, figure.rows, figure.columns);
        for (std::size_t p = 0; p < figure.panels.size(); ++p) {
            figure.panels[p].row = static_cast<int>(p) / figure.columns;
            figure.panels[p].column = static_cast<int>(p) % figure.columns;
        }
    }
    label(figure, table, axes, samples, distinct, split, request);
    figure.typeITop = typeITop(figure);
    return figure;
}

}  // namespace plot
