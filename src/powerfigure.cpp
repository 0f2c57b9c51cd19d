#include "powerfigure.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>

#include "plotscript.h"

namespace plot {

namespace {

// The factors of the x axis and of the panels, the --facet one first.
struct PowerAxes {
    ResultColumn x;
    std::vector<ResultColumn> others;  // every other factor of the table
    std::vector<std::string> names;    // their names
    bool faceted = false;              // the first of the others was named by --facet
};

std::string allowedFactors() {
    std::vector<std::string> names;
    for (const ResultColumn c : factorColumns())
        if (c != ResultColumn::Option) names.emplace_back(columnName(c));
    return join(names, ", ");
}

PowerAxes axesOf(const ResultsTable& table, const PowerRequest& request) {
    const std::optional<ResultColumn> x = factorNamed(request.x);
    if (!x || *x == ResultColumn::Option)
        throw InputError(table.name + ": unknown --x column '" + request.x + "'; choose one of " + allowedFactors());
    std::optional<ResultColumn> facet;
    if (!request.facet.empty()) {
        facet = factorNamed(request.facet);
        if (!facet)
            throw InputError(table.name + ": unknown --facet column '" + request.facet + "'; choose one of " +
                             allowedFactors());
        if (*facet == *x) throw InputError(table.name + ": --facet and --x both name " + request.x);
    }
    requireColumn(table, ResultColumn::Statistic, "the statistic of each row");
    requireColumn(table, ResultColumn::PSig, "a power plot needs the share of p < alpha");
    requireColumn(table, *x, "named by --x");
    if (facet) requireColumn(table, *facet, "named by --facet");
    if (table.rows.empty()) throw InputError(table.name + ": no result rows below the header");

    PowerAxes axes{*x, {}, {}, facet.has_value()};
    if (facet) axes.others.push_back(*facet);
    for (const ResultColumn c : factorColumns())
        if (table.has(c) && c != *x && c != facet) axes.others.push_back(c);
    for (const ResultColumn c : axes.others) axes.names.emplace_back(columnName(c));
    return axes;
}

// One row with a finite share at a finite x.
struct Sample {
    std::string statistic;
    double x, share, mcse, weight;
    std::vector<double> factors;  // the values of the axes' other factors
};

struct Samples {
    std::vector<Sample> drawn;
    std::vector<std::size_t> tested;  // rows with a test, drawn or not
};

Samples samplesOf(const ResultsTable& table, const PowerAxes& axes, const std::string& xName) {
    Samples s;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const ResultRow& row = table.rows[r];
        if (!row.pSig) continue;  // no test
        s.tested.push_back(r);
        const double x = factorValue(row, axes.x);
        if (!std::isfinite(*row.pSig) || !std::isfinite(x)) continue;
        Sample sample{row.statistic, x, *row.pSig, 0.0, 1.0, {}};
        if (table.has(ResultColumn::PSigMcse) && row.pSigMcse && std::isfinite(*row.pSigMcse))
            sample.mcse = *row.pSigMcse;
        if (table.has(ResultColumn::NSim) && row.nSim > 0) sample.weight = row.nSim;
        for (const ResultColumn c : axes.others) sample.factors.push_back(factorValue(row, c));
        s.drawn.push_back(std::move(sample));
    }
    if (s.tested.empty()) throw InputError(table.name + ": no statistic has a test (p_sig is NA in every row)");
    if (s.drawn.empty()) throw InputError(table.name + ": no row has a finite p_sig and " + xName);
    return s;
}

// The title, the axis labels and the notes under the title.
void label(PowerFigure& figure, const ResultsTable& table, const PowerAxes& axes, const Samples& samples,
           const std::vector<std::vector<double>>& distinct, const std::vector<std::size_t>& fixed) {
    const std::string below = "p < " + factorText(figure.alpha);
    figure.yLabel = "Share of series with " + below;
    figure.xLabel = factorTitle(axes.x);
    figure.title = "Share of series with " + below + " by " + figure.xLabel;
    figure.notes = fixedFactorLines(axes.names, distinct, fixed);
    std::vector<std::string> about;
    const std::string series = seriesNote(table, samples.tested);
    if (!series.empty()) about.push_back(series);
    if (table.has(ResultColumn::PSigMcse)) about.push_back("bars: \xC2\xB1" "1.96 Monte-Carlo standard errors");
    if (!about.empty()) figure.notes.push_back(join(about, "; "));
}

struct Pool {
    double weight = 0.0, weightedShare = 0.0, weightedVariance = 0.0;
};
using Lines = std::map<std::string, std::map<double, Pool>>;

// The panels, then one line per statistic, then points pooled by x.
void pool(PowerFigure& figure, const PowerAxes& axes, const Samples& samples, const std::vector<std::size_t>& split) {
    std::map<std::vector<double>, Lines, KeyLess> panels;
    std::vector<double> xs;
    for (const auto& s : samples.drawn) {
        std::vector<double> key;
        for (const std::size_t f : split) key.push_back(s.factors[f]);
        Pool& p = panels[key][s.statistic][s.x];
        p.weight += s.weight;
        p.weightedShare += s.weight * s.share;
        p.weightedVariance += (s.weight * s.mcse) * (s.weight * s.mcse);
        if (std::find(figure.statistics.begin(), figure.statistics.end(), s.statistic) == figure.statistics.end())
            figure.statistics.push_back(s.statistic);
        xs.push_back(s.x);
    }
    figure.xValues = distinctValues(xs);
    for (const auto& [key, lines] : panels) {
        PowerPanel panel;
        std::vector<std::string> parts;
        for (std::size_t i = 0; i < split.size(); ++i) parts.push_back(assignment(axes.names[split[i]], key[i]));
        panel.title = join(parts, ", ");
        for (std::size_t st = 0; st < figure.statistics.size(); ++st) {
            const auto found = lines.find(figure.statistics[st]);
            if (found == lines.end()) continue;
            PowerLine line{figure.statistics[st], static_cast<int>(st), {}};
            for (const auto& [x, p] : found->second)
                line.points.push_back({x, p.weightedShare / p.weight, std::sqrt(p.weightedVariance) / p.weight});
            panel.lines.push_back(std::move(line));
        }
        figure.panels.push_back(std::move(panel));
    }
}

}  // namespace

PowerFigure buildPowerFigure(const ResultsTable& table, const PowerRequest& request) {
    const PowerAxes axes = axesOf(table, request);
    const Samples samples = samplesOf(table, axes, request.x);

    // Which factors vary over the rows with a test: they make the panels.
    std::vector<std::vector<double>> distinct(axes.others.size());
    std::vector<std::size_t> split;
    std::vector<std::size_t> fixed;
    for (std::size_t f = 0; f < axes.others.size(); ++f) {
        std::vector<double> values;
        for (const auto& s : samples.drawn) values.push_back(s.factors[f]);
        distinct[f] = distinctValues(values);
        const bool chosen = axes.faceted && f == 0;
        (chosen || distinct[f].size() > 1 ? split : fixed).push_back(f);
    }

    PowerFigure figure;
    figure.alpha = request.alpha;
    label(figure, table, axes, samples, distinct, fixed);
    pool(figure, axes, samples, split);
    std::vector<int> counts;
    for (const std::size_t f : split) counts.push_back(static_cast<int>(distinct[f].size()));
    layoutPanels(static_cast<int>(figure.panels.size()), counts, figure.rows, figure.columns);
    return figure;
}

// ---- Script ------------------------------------------------------------------

namespace {

// Colour-blind-safe colours and distinct point shapes for the statistics.
const char* const kColours[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                "#E69F00", "#56B4E9", "#000000", "#999933"};
const int kPointTypes[] = {7, 5, 9, 13, 11, 6, 4, 8};

Frame powerFrame(const PowerFigure& figure, ImageFormat format, const std::vector<std::string>& heading) {
    const bool png = format == ImageFormat::Png;
    Frame frame{};
    frame.left = png ? 70 : 85;
    frame.right = png ? 190 : 230;
    const bool panelTitles = !figure.panels.front().title.empty();
    frame.top = 50 + (png ? 20 : 27) * static_cast<int>(figure.notes.size()) + (panelTitles ? 25 : 0);
    frame.bottom = png ? 60 : 75;
    frame.panelWidth = png ? 360 : 400;
    frame.panelHeight = png ? 250 : 280;
    frame.gapX = 55;
    frame.gapY = png ? 75 : 85;
    widenFor(frame, figure.rows, figure.columns, heading, format, 0);
    return frame;
}

// Data: one block per panel and line: x, share, lower and upper end of the
// Monte-Carlo interval (within 0 .. 1).
void dataBlocks(std::ostringstream& s, const PowerFigure& figure) {
    for (std::size_t p = 0; p < figure.panels.size(); ++p) {
        for (const auto& line : figure.panels[p].lines) {
            s << "$p" << p + 1 << "s" << line.style + 1 << " << EOD\n";
            for (const auto& pt : line.points) {
                const double half = 1.96 * pt.mcse;
                s << scriptNumber(pt.x) << ' ' << scriptNumber(pt.share) << ' '
                  << scriptNumber(std::max(0.0, pt.share - half)) << ' '
                  << scriptNumber(std::min(1.0, pt.share + half)) << '\n';
            }
            s << "EOD\n";
        }
    }
    s << "$none << EOD\nNaN NaN NaN NaN\nEOD\n";
}

// Line styles, and the same axes in every panel.
void styleAndAxes(std::ostringstream& s, const PowerFigure& figure, bool png) {
    for (std::size_t st = 0; st < figure.statistics.size(); ++st) {
        const std::size_t k = st % std::size(kColours);
        s << "set style line " << st + 1 << " lc rgb '" << kColours[k] << "' lw 2 pt " << kPointTypes[k]
          << (png ? " ps 0.9\n" : " ps 0.7\n");
    }
    s << "set style line 101 lc rgb '#555555' lw 1.5 dt 2\n";
    s << "set style line 102 lc rgb '#999999' lw 1.5 dt 2\n";
    s << "set errorbars 0.5\n";
    const double lo = figure.xValues.front();
    const double hi = figure.xValues.back();
    const double pad = hi > lo ? 0.05 * (hi - lo) : std::max(0.5, 0.1 * std::fabs(lo));
    s << "set xrange [" << scriptNumber(lo - pad) << ':' << scriptNumber(hi + pad) << "]\n";
    s << "set yrange [0:1]\n";
    s << "set ytics 0,0.2,1 format '%.1f'\n";
    if (figure.xValues.size() <= 12) {
        s << "set xtics (";
        for (std::size_t i = 0; i < figure.xValues.size(); ++i) {
            if (i > 0) s << ", ";
            s << gnuplotString(factorText(figure.xValues[i])) << ' ' << scriptNumber(figure.xValues[i]);
        }
        s << ")\n";
    }
    s << "set grid xtics ytics lc rgb '#d8d8d8' lw 1 dt 1\n";
    s << "set border lc rgb '#444444'\n";
    s << "set tics nomirror\n";
}

// The dashed lines at alpha and 0.80 in a panel; their entries in the
// legend, which draws nothing.
std::string referenceLines(const PowerFigure& figure, bool legend) {
    if (legend)
        return "$none using 1:2 with lines ls 101 title " + gnuplotString("alpha = " + factorText(figure.alpha)) +
               ", \\\n     $none using 1:2 with lines ls 102 title " + gnuplotString("80 % power");
    return scriptNumber(figure.alpha) + " with lines ls 101 notitle, \\\n     0.8 with lines ls 102 notitle";
}

void panelPlots(std::ostringstream& s, const PowerFigure& figure, const Frame& frame, const Canvas& canvas) {
    const int panelCount = static_cast<int>(figure.panels.size());
    for (int p = 0; p < panelCount; ++p) {
        const PowerPanel& panel = figure.panels[static_cast<std::size_t>(p)];
        s << "# panel " << p + 1 << '\n';
        if (panel.title.empty()) {
            s << "unset title\n";
        } else {
            s << "set title " << gnuplotString(panel.title) << '\n';
        }
        s << "set xlabel " << gnuplotString(p + figure.columns >= panelCount ? figure.xLabel : "") << '\n';
        s << "set ylabel " << gnuplotString(p % figure.columns == 0 ? figure.yLabel : "") << '\n';
        placePanel(s, frame, canvas, p / figure.columns, p % figure.columns);
        s << "plot ";
        for (const auto& line : panel.lines)
            s << "$p" << p + 1 << "s" << line.style + 1 << " using 1:2:3:4 with yerrorlines ls " << line.style + 1
              << " notitle, \\\n     ";
        s << referenceLines(figure, false) << '\n';
    }
}

// One legend for all panels, in the strip on the right, drawn by a plot of
// its own that shows nothing else.
void legend(std::ostringstream& s, const PowerFigure& figure, const Frame& frame, const Canvas& canvas) {
    const Frame strip{canvas.width - frame.right + 10, 0, frame.top, 0, frame.right - 20,
                      std::min(frame.panelHeight, 40 + 24 * static_cast<int>(figure.statistics.size() + 2)), 0, 0};
    s << "# legend\n";
    placePanel(s, strip, canvas, 0, 0);
    s << "unset title\nunset xlabel\nunset ylabel\nunset border\nunset tics\nunset grid\n"
         "set xrange [0:1]\nset yrange [0:1]\n";
    s << "set key left top Left reverse samplen 3 spacing 1.3\n";
    s << "plot ";
    for (std::size_t st = 0; st < figure.statistics.size(); ++st)
        s << "$none using 1:2:3:4 with yerrorlines ls " << st + 1 << " title " << gnuplotString(figure.statistics[st])
          << ", \\\n     ";
    s << referenceLines(figure, true) << '\n';
}

}  // namespace

std::string powerScript(const PowerFigure& figure, ImageFormat format, const std::string& picturePath) {
    std::vector<std::string> heading = {figure.title};
    heading.insert(heading.end(), figure.notes.begin(), figure.notes.end());
    const Frame frame = powerFrame(figure, format, heading);
    const Canvas canvas = canvasOf(frame, figure.rows, figure.columns);

    std::ostringstream s;
    s << "# Share of series with p < alpha, one line per statistic with a test\n";
    terminalLines(s, format, canvas, picturePath);
    dataBlocks(s, figure);
    styleAndAxes(s, figure, format == ImageFormat::Png);
    multiplotStart(s, heading, format);
    s << "unset key\n";
    panelPlots(s, figure, frame, canvas);
    legend(s, figure, frame, canvas);
    s << "unset multiplot\n";
    return s.str();
}

}  // namespace plot
