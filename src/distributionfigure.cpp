#include "distributionfigure.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

#include "plotscript.h"

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
    return c;
}

// Each condition's label from the factors that vary; the rest make notes.
void labelConditions(DistributionFigure& figure, const Conditions& c) {
    std::vector<std::string> names;
    std::vector<std::vector<double>> distinct(c.factors.size());
    std::vector<std::size_t> varying;
    std::vector<std::size_t> fixed;
    for (std::size_t f = 0; f < c.factors.size(); ++f) {
        names.emplace_back(columnName(c.factors[f]));
        std::vector<double> values;
        for (const auto& v : c.values) values.push_back(v[f]);
        distinct[f] = distinctValues(values);
        (distinct[f].size() > 1 ? varying : fixed).push_back(f);
    }
    for (std::size_t k = 0; k < c.values.size(); ++k) {
        std::vector<std::string> parts;
        for (const std::size_t f : varying) parts.push_back(assignment(names[f], c.values[k][f]));
        std::string label = join(parts, ", ");
        if (label.empty()) label = "condition " + (c.ids[k] ? std::to_string(*c.ids[k]) : std::to_string(k + 1));
        figure.conditions.push_back(label);
    }
    // Repeated design values: tell the rows apart by their condition.
    for (std::size_t k = 0; k < figure.conditions.size(); ++k) {
        const auto n = std::count(figure.conditions.begin(), figure.conditions.end(), figure.conditions[k]);
        if (n > 1 && c.ids[k]) figure.conditions[k] += " (condition " + std::to_string(*c.ids[k]) + ")";
    }
    figure.notes = fixedFactorLines(names, distinct, fixed);
}

// One box per row, in the panel of its statistic.
void fillPanels(DistributionFigure& figure, const ResultsTable& table, const Conditions& c) {
    std::map<std::string, std::size_t> panelOf;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const ResultRow& row = table.rows[r];
        const auto [it, added] = panelOf.emplace(row.statistic, figure.panels.size());
        if (added) figure.panels.push_back({row.statistic, {}, {}});
        DistributionPanel& panel = figure.panels[it->second];
        const int box = static_cast<int>(c.ofRow[r]);
        if (std::find(panel.rows.begin(), panel.rows.end(), box) != panel.rows.end())
            throw InputError(table.name + ":" + std::to_string(table.lines[r]) + ": a second " + row.statistic +
                             " row for " + figure.conditions[c.ofRow[r]]);
        Spread spread;
        for (int i = 0; i < 5; ++i) spread.q[i] = row.quantiles[static_cast<std::size_t>(i)];
        spread.mean = row.mean;
        for (const double v : {spread.q[0], spread.q[1], spread.q[2], spread.q[3], spread.q[4], spread.mean})
            if (!std::isfinite(v)) figure.nonFinite = true;
        panel.rows.push_back(box);
        panel.spreads.push_back(spread);
    }
}

}  // namespace

DistributionFigure buildDistributionFigure(const ResultsTable& table) {
    requireColumn(table, ResultColumn::Statistic, "the statistic of each row");
    requireColumn(table, ResultColumn::Mean, "the mean of each statistic");
    for (const ResultColumn q : kQuantiles) requireColumn(table, q, "the quantiles of each statistic");
    if (table.rows.empty()) throw InputError(table.name + ": no result rows below the header");

    const Conditions conditions = conditionsOf(table);
    DistributionFigure figure;
    labelConditions(figure, conditions);
    fillPanels(figure, table, conditions);

    figure.title = "Distribution of each statistic per condition";
    std::vector<std::string> about;
    std::vector<std::size_t> all(table.rows.size());
    for (std::size_t r = 0; r < all.size(); ++r) all[r] = r;
    const std::string series = seriesNote(table, all);
    if (!series.empty()) about.push_back(series);
    if (figure.nonFinite) about.push_back("values that are NA, NaN or infinite are not drawn");
    if (!about.empty()) figure.notes.push_back(join(about, "; "));

    const int panels = static_cast<int>(figure.panels.size());
    figure.columns = std::min(panels, 3);
    figure.rows = (panels + figure.columns - 1) / figure.columns;
    return figure;
}

// ---- Script ------------------------------------------------------------------

namespace {

Frame distributionFrame(const DistributionFigure& figure, bool png, const std::vector<std::string>& heading,
                        ImageFormat format) {
    const int conditions = static_cast<int>(figure.conditions.size());
    const int pitch = conditions > 40 ? 14 : (png ? 20 : 24);
    std::size_t longest = 0;
    for (const auto& label : figure.conditions) longest = std::max(longest, label.size());
    Frame frame{};
    frame.left = 30 + static_cast<int>(longest) * (png ? 7 : 8);
    frame.right = 30;
    frame.top = 50 + (png ? 20 : 27) * static_cast<int>(figure.notes.size()) + 25;
    frame.bottom = png ? 75 : 90;
    frame.panelWidth = png ? 260 : 300;
    frame.panelHeight = std::max(100, conditions * pitch + 10);
    frame.gapX = 35;
    frame.gapY = png ? 75 : 85;
    // Wide enough for the heading, and for the legend on one line.
    widenFor(frame, figure.rows, figure.columns, heading, format, png ? 840 : 1000);
    return frame;
}

// Data: one block per statistic: row, q0, q25, q50, q75, q100, mean.
void dataBlocks(std::ostringstream& s, const DistributionFigure& figure) {
    for (std::size_t p = 0; p < figure.panels.size(); ++p) {
        const auto& panel = figure.panels[p];
        s << "$d" << p + 1 << " << EOD\n";
        for (std::size_t i = 0; i < panel.rows.size(); ++i) {
            s << panel.rows[i] + 1;
            for (const double q : panel.spreads[i].q) s << ' ' << scriptNumber(q);
            s << ' ' << scriptNumber(panel.spreads[i].mean) << '\n';
        }
        s << "EOD\n";
    }
    s << "$none << EOD\nNaN NaN NaN NaN NaN NaN NaN\nEOD\n";
}

void styles(std::ostringstream& s, bool png, int conditions) {
    s << "set style line 1 lc rgb '#333333' lw 1.2\n";            // whiskers
    s << "set style line 2 lc rgb '#0072B2' lw 1.2\n";            // box border
    s << "set style line 3 lc rgb '#08306b' lw 3\n";              // median
    s << "set style line 4 lc rgb '#D55E00' pt 13 ps " << (png ? "1.0" : "0.75") << '\n';  // mean
    s << "set errorbars 0.6\n";
    s << "set yrange [" << scriptNumber(conditions + 0.7) << ':' << "0.3]\n";
    s << "set grid xtics ytics lc rgb '#d8d8d8' lw 1 dt 1\n";
    s << "set border lc rgb '#444444'\n";
    s << "set tics nomirror\n";
    s << "set offsets 0, 0, 0, 0\n";
}

// Whiskers, box, median bar and mean marker of every row of a block:
// row, q0, q25, q50, q75, q100, mean.
std::string boxRows(const std::string& data, bool titles) {
    const auto title = [&](const char* text) {
        return titles ? " title " + gnuplotString(text) : std::string(" notitle");
    };
    return data + " using 4:1:2:6 with xerrorbars ls 1 pt -1" + title("smallest to largest") + ", \\\n     " + data +
           " using 4:1:3:5:($1-0.3):($1+0.3) with boxxyerror fs solid 0.35 border lc rgb '#0072B2' "
           "lc rgb '#56B4E9'" +
           title("25 % to 75 %") + ", \\\n     " + data + " using 4:($1-0.3):(0):(0.6) with vectors nohead ls 3" +
           title("median") + ", \\\n     " + data + " using 7:1 with points ls 4" + title("mean");
}

// The value axis of a panel: everything finite, with a little room.
void valueAxis(std::ostringstream& s, const DistributionPanel& panel, bool png) {
    double lo = INFINITY;
    double hi = -INFINITY;
    for (const auto& spread : panel.spreads) {
        for (const double v : spread.q)
            if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
        if (std::isfinite(spread.mean)) lo = std::min(lo, spread.mean), hi = std::max(hi, spread.mean);
    }
    if (!(lo <= hi)) lo = -1.0, hi = 1.0;
    const double pad = hi > lo ? 0.05 * (hi - lo) : std::max(0.5, 0.1 * std::fabs(lo));
    s << "set xrange [" << scriptNumber(lo - pad) << ':' << scriptNumber(hi + pad) << "]\n";
    s << "set xtics " << scriptNumber(ticStep(hi - lo + 2 * pad, png ? 4 : 5)) << '\n';
}

void panelPlots(std::ostringstream& s, const DistributionFigure& figure, const Frame& frame, const Canvas& canvas,
                bool png) {
    const int conditions = static_cast<int>(figure.conditions.size());
    const int panelCount = static_cast<int>(figure.panels.size());
    for (int p = 0; p < panelCount; ++p) {
        const auto& panel = figure.panels[static_cast<std::size_t>(p)];
        s << "# " << panel.statistic << '\n';
        s << "set title " << gnuplotString(panel.statistic) << '\n';
        valueAxis(s, panel, png);
        s << "set ytics (";
        for (int c = 0; c < conditions; ++c) {
            if (c > 0) s << ", ";
            s << gnuplotString(p % figure.columns == 0 ? figure.conditions[static_cast<std::size_t>(c)] : "") << ' '
              << c + 1;
        }
        s << ")\n";
        s << "unset key\n";
        placePanel(s, frame, canvas, p / figure.columns, p % figure.columns);
        s << "plot " << boxRows("$d" + std::to_string(p + 1), false) << '\n';
    }
}

}  // namespace

std::string distributionScript(const DistributionFigure& figure, ImageFormat format,
                               const std::string& picturePath) {
    const bool png = format == ImageFormat::Png;
    std::vector<std::string> heading = {figure.title};
    heading.insert(heading.end(), figure.notes.begin(), figure.notes.end());
    const Frame frame = distributionFrame(figure, png, heading, format);
    const Canvas canvas = canvasOf(frame, figure.rows, figure.columns);

    std::ostringstream s;
    s << "# Five quantiles and the mean of every statistic per condition\n";
    terminalLines(s, format, canvas, picturePath);
    dataBlocks(s, figure);
    styles(s, png, static_cast<int>(figure.conditions.size()));
    multiplotStart(s, heading, format);
    panelPlots(s, figure, frame, canvas, png);

    // The legend, centred in the strip below the panels, drawn by a plot of
    // its own that shows nothing else.
    const int legendWidth = canvas.width - 40;
    const Frame strip{(canvas.width - legendWidth) / 2, 0, canvas.height - 32, 0, legendWidth, 28, 0, 0};
    placePanel(s, strip, canvas, 0, 0);
    s << "unset title\nunset border\nunset tics\nunset grid\nset xrange [0:1]\nset yrange [0:1]\n";
    s << "set key center center horizontal maxrows 1 Left reverse samplen 2\n";
    s << "plot " << boxRows("$none", true) << '\n';
    s << "unset multiplot\n";
    return s.str();
}

}  // namespace plot
