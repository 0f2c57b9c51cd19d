#include "plot.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

namespace plot {

const std::vector<std::string> kFactorColumns = {"option", "n_a",  "n_b",  "trend", "level",
                                                 "slope",  "sd_a", "sd_b", "ar1",   "ma1"};

std::string factorTitle(const std::string& column) {
    static const std::map<std::string, std::string> titles = {
        {"option", "Option"},
        {"n_a", "A phase length (n_a)"},
        {"n_b", "B phase length (n_b)"},
        {"trend", "Baseline trend (trend)"},
        {"level", "Level change (level)"},
        {"slope", "Slope change (slope)"},
        {"sd_a", "A phase SD (sd_a)"},
        {"sd_b", "B phase SD (sd_b)"},
        {"ar1", "AR(1) coefficient (ar1)"},
        {"ma1", "MA(1) coefficient (ma1)"},
    };
    const auto found = titles.find(column);
    return found == titles.end() ? column : found->second;
}

namespace {

// ---- Values and groups ---------------------------------------------------------

// A total order on factor values in which NaN equals NaN and comes last.
bool valueLess(double a, double b) {
    if (std::isnan(a)) return false;
    if (std::isnan(b)) return true;
    return a < b;
}

bool sameValue(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

struct KeyLess {
    bool operator()(const std::vector<double>& a, const std::vector<double>& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), valueLess);
    }
};

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

std::string allowedFactors() {
    return join(std::vector<std::string>(kFactorColumns.begin() + 1, kFactorColumns.end()), ", ");
}

// The design factors present in a table, with each row's values.
struct Factors {
    std::vector<std::string> names;  // in design order
    std::vector<int> columns;
};

Factors factorsOf(const ResultsTable& table) {
    Factors f;
    for (const auto& name : kFactorColumns) {
        const int col = table.column(name);
        if (col >= 0) {
            f.names.push_back(name);
            f.columns.push_back(col);
        }
    }
    return f;
}

// A design cell: a number that is not NA.
double factorAt(const ResultsTable& table, std::size_t row, int col) {
    const auto value = table.number(row, col);
    if (!value) {
        throw InputError(table.where(row, col) + ": column " + table.header[static_cast<std::size_t>(col)] +
                         " is NA; design columns need a value");
    }
    return *value;
}

std::string assignment(const std::string& name, double value) {
    return name + " = " + factorText(value);
}

// "10000 series per condition" from the n_sim column, when the table has one.
std::string seriesNote(const ResultsTable& table, const std::vector<std::size_t>& rows) {
    const int col = table.column("n_sim");
    if (col < 0 || rows.empty()) return {};
    std::vector<double> counts;
    for (const std::size_t r : rows) {
        const auto n = table.number(r, col);
        if (n && std::isfinite(*n)) counts.push_back(*n);
    }
    counts = distinctValues(counts);
    if (counts.empty()) return {};
    if (counts.size() == 1) return factorText(counts.front()) + " series per condition";
    return factorText(counts.front()) + " to " + factorText(counts.back()) + " series per condition";
}

// Lines of notes naming the factors that take one value over the rows
// ("Same in every condition: n_b = 10, trend = 0"), broken between factors so
// that no line grows much wider than a panel row.
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

// Rows and columns of a panel grid.  When the panels are every combination
// of the split factors, the first factor's values make the rows and the
// combinations of the others the columns, as long as that stays narrow;
// otherwise the panels wrap into a near-square grid.
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

// ---- Script text --------------------------------------------------------------

std::string number(double value) {
    if (!std::isfinite(value)) return "NaN";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    return std::string(buffer, result.ptr);
}

// A round step for about `count` tics over `span`: 1, 2, 2.5 or 5 times a
// power of ten.
double ticStep(double span, int count) {
    const double raw = span / count;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 2.5, 5.0}) {
        if (m * decade >= raw) return m * decade;
    }
    return 10.0 * decade;
}

// Lines as one gnuplot string in double quotes (the only kind that can break
// a line): backslashes and quotes escaped, lines joined by "\n".
std::string multiline(const std::vector<std::string>& lines) {
    std::string out = "\"";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += "\\n";
        for (const char c : lines[i]) {
            if (c == '\\' || c == '"') out += '\\';
            out += (c == '\n' || c == '\r') ? ' ' : c;
        }
    }
    out += '"';
    return out;
}

// Colour-blind-safe colours and distinct point shapes for the statistics.
const char* const kColours[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                "#E69F00", "#56B4E9", "#000000", "#999933"};
const int kPointTypes[] = {7, 5, 9, 13, 11, 6, 4, 8};

struct Canvas {
    int width = 0;
    int height = 0;
};

void terminalLines(std::ostringstream& s, ImageFormat format, const Canvas& canvas,
                   const std::string& picturePath) {
    if (format == ImageFormat::Svg) {
        s << "set terminal svg size " << canvas.width << ',' << canvas.height
          << " font 'DejaVu Sans,13' noenhanced background '#ffffff'\n";
    } else {
        s << "set terminal pngcairo size " << canvas.width << ',' << canvas.height
          << " font 'DejaVu Sans,10' noenhanced background '#ffffff'\n";
    }
    s << "set output " << gnuplotString(picturePath) << '\n';
    s << "set encoding utf8\n";
}

// Margins of the panel grid on the canvas, in pixels, and the space between
// panels.
struct Frame {
    int left, right, top, bottom, panelWidth, panelHeight, gapX, gapY;
};

Canvas canvasOf(const Frame& f, int rows, int columns) {
    return {f.left + columns * f.panelWidth + (columns - 1) * f.gapX + f.right,
            f.top + rows * f.panelHeight + (rows - 1) * f.gapY + f.bottom};
}

// Widens the side margins evenly until the canvas holds the heading's longest
// line (at a rough width per character) and is at least `narrowest` pixels
// wide.
void widenFor(Frame& f, int rows, int columns, const std::vector<std::string>& heading, ImageFormat format,
              int narrowest) {
    std::size_t longest = 0;
    for (const auto& line : heading) longest = std::max(longest, line.size());
    const int perChar = format == ImageFormat::Svg ? 9 : 8;
    const int needed = std::max(narrowest, static_cast<int>(longest) * perChar + 40);
    const int width = canvasOf(f, rows, columns).width;
    if (width < needed) {
        f.left += (needed - width) / 2;
        f.right += needed - width - (needed - width) / 2;
    }
}

void multiplotStart(std::ostringstream& s, const std::vector<std::string>& heading, ImageFormat format) {
    const int titleSize = format == ImageFormat::Svg ? 15 : 12;
    s << "set multiplot title " << multiline(heading) << " font '," << titleSize << "'\n";
}

// Places the next plot's frame at a cell of the panel grid; the margins
// around the frames hold tic labels, axis titles and panel titles.
void placePanel(std::ostringstream& s, const Frame& f, const Canvas& c, int row, int column) {
    const int left = f.left + column * (f.panelWidth + f.gapX);
    const int top = f.top + row * (f.panelHeight + f.gapY);
    const auto fx = [&](int px) { return number(static_cast<double>(px) / c.width); };
    const auto fy = [&](int px) { return number(1.0 - static_cast<double>(px) / c.height); };
    s << "set lmargin at screen " << fx(left) << "\nset rmargin at screen " << fx(left + f.panelWidth)
      << "\nset tmargin at screen " << fy(top) << "\nset bmargin at screen " << fy(top + f.panelHeight) << '\n';
}

}  // namespace

// ---- Power ---------------------------------------------------------------------

PowerFigure buildPowerFigure(const ResultsTable& table, const PlotPowerOptions& options) {
    const auto isFactor = [](const std::string& name) {
        return name != "option" &&
               std::find(kFactorColumns.begin(), kFactorColumns.end(), name) != kFactorColumns.end();
    };
    if (!isFactor(options.x)) {
        throw InputError(table.name + ": unknown --x column '" + options.x + "'; choose one of " +
                         allowedFactors());
    }
    if (!options.facet.empty() && !isFactor(options.facet) && options.facet != "option") {
        throw InputError(table.name + ": unknown --facet column '" + options.facet + "'; choose one of " +
                         allowedFactors());
    }
    if (options.facet == options.x) {
        throw InputError(table.name + ": --facet and --x both name " + options.x);
    }
    const int statCol = table.requireColumn("statistic", "the statistic of each row");
    const int pCol = table.requireColumn("p_sig", "a power plot needs the share of p < alpha");
    const int mcseCol = table.column("p_sig_mcse");
    const int nCol = table.column("n_sim");
    const int xCol = table.requireColumn(options.x, "named by --x");
    if (!options.facet.empty()) table.requireColumn(options.facet, "named by --facet");
    if (table.rows.empty()) throw InputError(table.name + ": no result rows below the header");

    // The other factors, the --facet one first.
    Factors factors = factorsOf(table);
    std::vector<std::string> names;
    std::vector<int> columns;
    if (!options.facet.empty()) {
        names.push_back(options.facet);
        columns.push_back(table.column(options.facet));
    }
    for (std::size_t i = 0; i < factors.names.size(); ++i) {
        if (factors.names[i] == options.x || factors.names[i] == options.facet) continue;
        names.push_back(factors.names[i]);
        columns.push_back(factors.columns[i]);
    }

    struct Sample {
        std::size_t row;
        std::string statistic;
        double x, share, mcse, weight;
        std::vector<double> factors;
    };
    std::vector<Sample> samples;
    std::vector<std::size_t> tested;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const auto share = table.number(r, pCol);
        const double x = factorAt(table, r, xCol);
        std::vector<double> values;
        for (const int col : columns) values.push_back(factorAt(table, r, col));
        if (!share) continue;  // no test
        const std::string& statistic = table.rows[r][static_cast<std::size_t>(statCol)];
        if (statistic.empty()) throw InputError(table.where(r, statCol) + ": empty statistic name");
        tested.push_back(r);
        if (!std::isfinite(*share) || !std::isfinite(x)) continue;
        double mcse = 0.0;
        if (mcseCol >= 0) {
            const auto m = table.number(r, mcseCol);
            if (m && std::isfinite(*m)) mcse = *m;
        }
        double weight = 1.0;
        if (nCol >= 0) {
            const auto n = table.number(r, nCol);
            if (n && std::isfinite(*n) && *n > 0) weight = *n;
        }
        samples.push_back({r, statistic, x, *share, mcse, weight, std::move(values)});
    }
    if (tested.empty()) {
        throw InputError(table.name + ": no statistic has a test (p_sig is NA in every row)");
    }
    if (samples.empty()) {
        throw InputError(table.name + ": no row has a finite p_sig and " + options.x);
    }

    // Which factors vary over the rows with a test.
    std::vector<std::vector<double>> distinct(names.size());
    for (std::size_t f = 0; f < names.size(); ++f) {
        std::vector<double> values;
        for (const auto& s : samples) values.push_back(s.factors[f]);
        distinct[f] = distinctValues(values);
    }
    std::vector<std::size_t> split;  // factors that make panels
    std::vector<std::size_t> fixed;
    for (std::size_t f = 0; f < names.size(); ++f) {
        const bool chosen = !options.facet.empty() && f == 0;
        (chosen || distinct[f].size() > 1 ? split : fixed).push_back(f);
    }

    PowerFigure figure;
    figure.alpha = options.alpha;
    const std::string below = "p < " + factorText(options.alpha);
    figure.yLabel = "Share of series with " + below;
    figure.xLabel = factorTitle(options.x);
    figure.title = "Share of series with " + below + " by " + figure.xLabel;
    figure.notes = fixedFactorLines(names, distinct, fixed);
    std::vector<std::string> about;
    const std::string series = seriesNote(table, tested);
    if (!series.empty()) about.push_back(series);
    if (mcseCol >= 0) about.push_back("bars: \xC2\xB1" "1.96 Monte-Carlo standard errors");
    if (!about.empty()) figure.notes.push_back(join(about, "; "));

    // Panels, then one line per statistic, then points pooled by x.
    struct Pool {
        double weight = 0.0, weightedShare = 0.0, weightedVariance = 0.0;
    };
    using Lines = std::map<std::string, std::map<double, Pool>>;
    std::map<std::vector<double>, Lines, KeyLess> panels;
    std::vector<double> xs;
    for (const auto& s : samples) {
        std::vector<double> key;
        for (const std::size_t f : split) key.push_back(s.factors[f]);
        Pool& pool = panels[key][s.statistic][s.x];
        pool.weight += s.weight;
        pool.weightedShare += s.weight * s.share;
        pool.weightedVariance += (s.weight * s.mcse) * (s.weight * s.mcse);
        if (std::find(figure.statistics.begin(), figure.statistics.end(), s.statistic) ==
            figure.statistics.end()) {
            figure.statistics.push_back(s.statistic);
        }
        xs.push_back(s.x);
    }
    figure.xValues = distinctValues(xs);
    for (const auto& [key, lines] : panels) {
        PowerPanel panel;
        std::vector<std::string> parts;
        for (std::size_t i = 0; i < split.size(); ++i) parts.push_back(assignment(names[split[i]], key[i]));
        panel.title = join(parts, ", ");
        for (std::size_t st = 0; st < figure.statistics.size(); ++st) {
            const auto found = lines.find(figure.statistics[st]);
            if (found == lines.end()) continue;
            PowerLine line;
            line.statistic = figure.statistics[st];
            line.style = static_cast<int>(st);
            for (const auto& [x, pool] : found->second) {
                line.points.push_back(
                    {x, pool.weightedShare / pool.weight, std::sqrt(pool.weightedVariance) / pool.weight});
            }
            panel.lines.push_back(std::move(line));
        }
        figure.panels.push_back(std::move(panel));
    }
    std::vector<int> counts;
    for (const std::size_t f : split) counts.push_back(static_cast<int>(distinct[f].size()));
    layoutPanels(static_cast<int>(figure.panels.size()), counts, figure.rows, figure.columns);
    return figure;
}

std::string powerScript(const PowerFigure& figure, ImageFormat format, const std::string& picturePath) {
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
    std::vector<std::string> heading = {figure.title};
    heading.insert(heading.end(), figure.notes.begin(), figure.notes.end());
    widenFor(frame, figure.rows, figure.columns, heading, format, 0);
    const Canvas canvas = canvasOf(frame, figure.rows, figure.columns);

    std::ostringstream s;
    s << "# Share of series with p < alpha, one line per statistic with a test\n";
    terminalLines(s, format, canvas, picturePath);

    // Data: one block per panel and line: x, share, lower and upper end of
    // the Monte-Carlo interval (within 0 .. 1).
    for (std::size_t p = 0; p < figure.panels.size(); ++p) {
        for (const auto& line : figure.panels[p].lines) {
            s << "$p" << p + 1 << "s" << line.style + 1 << " << EOD\n";
            for (const auto& pt : line.points) {
                const double half = 1.96 * pt.mcse;
                s << number(pt.x) << ' ' << number(pt.share) << ' ' << number(std::max(0.0, pt.share - half))
                  << ' ' << number(std::min(1.0, pt.share + half)) << '\n';
            }
            s << "EOD\n";
        }
    }
    s << "$none << EOD\nNaN NaN NaN NaN\nEOD\n";

    for (std::size_t st = 0; st < figure.statistics.size(); ++st) {
        const std::size_t k = st % std::size(kColours);
        s << "set style line " << st + 1 << " lc rgb '" << kColours[k] << "' lw 2 pt " << kPointTypes[k]
          << (png ? " ps 0.9\n" : " ps 0.7\n");
    }
    s << "set style line 101 lc rgb '#555555' lw 1.5 dt 2\n";
    s << "set style line 102 lc rgb '#999999' lw 1.5 dt 2\n";
    s << "set errorbars 0.5\n";

    // The same axes in every panel.
    double lo = figure.xValues.front();
    double hi = figure.xValues.back();
    const double pad = hi > lo ? 0.05 * (hi - lo) : std::max(0.5, 0.1 * std::fabs(lo));
    s << "set xrange [" << number(lo - pad) << ':' << number(hi + pad) << "]\n";
    s << "set yrange [0:1]\n";
    s << "set ytics 0,0.2,1 format '%.1f'\n";
    if (figure.xValues.size() <= 12) {
        s << "set xtics (";
        for (std::size_t i = 0; i < figure.xValues.size(); ++i) {
            if (i > 0) s << ", ";
            s << gnuplotString(factorText(figure.xValues[i])) << ' ' << number(figure.xValues[i]);
        }
        s << ")\n";
    }
    s << "set grid xtics ytics lc rgb '#d8d8d8' lw 1 dt 1\n";
    s << "set border lc rgb '#444444'\n";
    s << "set tics nomirror\n";

    multiplotStart(s, heading, format);
    s << "unset key\n";

    // The dashed lines at alpha and 0.80 in a panel; their legend entries
    // in the legend, which draws nothing.
    const auto reference = [&](bool legend) {
        if (legend) {
            return "$none using 1:2 with lines ls 101 title " + gnuplotString("alpha = " + factorText(figure.alpha)) +
                   ", \\\n     $none using 1:2 with lines ls 102 title " + gnuplotString("80 % power");
        }
        return number(figure.alpha) + " with lines ls 101 notitle, \\\n     0.8 with lines ls 102 notitle";
    };
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
        for (const auto& line : panel.lines) {
            s << "$p" << p + 1 << "s" << line.style + 1 << " using 1:2:3:4 with yerrorlines ls " << line.style + 1
              << " notitle, \\\n     ";
        }
        s << reference(false) << '\n';
    }

    // One legend for all panels, in the strip on the right, drawn by a plot
    // of its own that shows nothing else.
    const Frame strip{canvas.width - frame.right + 10, 0, frame.top, 0, frame.right - 20,
                      std::min(frame.panelHeight, 40 + 24 * static_cast<int>(figure.statistics.size() + 2)), 0, 0};
    s << "# legend\n";
    placePanel(s, strip, canvas, 0, 0);
    s << "unset title\nunset xlabel\nunset ylabel\nunset border\nunset tics\nunset grid\n"
         "set xrange [0:1]\nset yrange [0:1]\n";
    s << "set key left top Left reverse samplen 3 spacing 1.3\n";
    s << "plot ";
    for (std::size_t st = 0; st < figure.statistics.size(); ++st) {
        s << "$none using 1:2:3:4 with yerrorlines ls " << st + 1 << " title "
          << gnuplotString(figure.statistics[st]) << ", \\\n     ";
    }
    s << reference(true) << '\n';
    s << "unset multiplot\n";
    return s.str();
}

// ---- Distribution ----------------------------------------------------------------

DistributionFigure buildDistributionFigure(const ResultsTable& table) {
    const int statCol = table.requireColumn("statistic", "the statistic of each row");
    const int meanCol = table.requireColumn("mean", "the mean of each statistic");
    static const char* const quantileNames[5] = {"q0", "q25", "q50", "q75", "q100"};
    int qCol[5];
    for (int i = 0; i < 5; ++i) qCol[i] = table.requireColumn(quantileNames[i], "the quantiles of each statistic");
    const int idCol = table.column("condition_id");
    if (table.rows.empty()) throw InputError(table.name + ": no result rows below the header");

    const Factors factors = factorsOf(table);

    // Conditions in the order they first appear: by condition_id when the
    // table has one, otherwise by their factor values.
    std::map<std::vector<double>, std::size_t, KeyLess> conditionOf;
    std::vector<std::vector<double>> conditionFactors;
    std::vector<std::optional<double>> conditionIds;
    std::vector<std::size_t> rowCondition(table.rows.size());
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        std::vector<double> values;
        for (const int col : factors.columns) values.push_back(factorAt(table, r, col));
        std::vector<double> key;
        std::optional<double> id;
        if (idCol >= 0) {
            id = factorAt(table, r, idCol);
            key = {*id};
        } else {
            key = values;
        }
        const auto [it, added] = conditionOf.emplace(key, conditionFactors.size());
        if (added) {
            conditionFactors.push_back(values);
            conditionIds.push_back(id);
        } else if (!std::equal(values.begin(), values.end(), conditionFactors[it->second].begin(), sameValue)) {
            throw InputError(table.where(r, idCol) + ": condition " + factorText(*id) +
                             " appears with other design values on an earlier line");
        }
        rowCondition[r] = it->second;
    }

    std::vector<std::vector<double>> distinct(factors.names.size());
    std::vector<std::size_t> varying;
    std::vector<std::size_t> fixed;
    for (std::size_t f = 0; f < factors.names.size(); ++f) {
        std::vector<double> values;
        for (const auto& c : conditionFactors) values.push_back(c[f]);
        distinct[f] = distinctValues(values);
        (distinct[f].size() > 1 ? varying : fixed).push_back(f);
    }

    DistributionFigure figure;
    for (std::size_t c = 0; c < conditionFactors.size(); ++c) {
        std::vector<std::string> parts;
        for (const std::size_t f : varying) parts.push_back(assignment(factors.names[f], conditionFactors[c][f]));
        std::string label = join(parts, ", ");
        if (label.empty()) {
            label = "condition " + (conditionIds[c] ? factorText(*conditionIds[c]) : std::to_string(c + 1));
        }
        figure.conditions.push_back(label);
    }
    // Repeated design values: tell the rows apart by their condition.
    for (std::size_t c = 0; c < figure.conditions.size(); ++c) {
        const auto n = std::count(figure.conditions.begin(), figure.conditions.end(), figure.conditions[c]);
        if (n > 1 && conditionIds[c]) figure.conditions[c] += " (condition " + factorText(*conditionIds[c]) + ")";
    }

    std::map<std::string, std::size_t> panelOf;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const std::string& statistic = table.rows[r][static_cast<std::size_t>(statCol)];
        if (statistic.empty()) throw InputError(table.where(r, statCol) + ": empty statistic name");
        const auto [it, added] = panelOf.emplace(statistic, figure.panels.size());
        if (added) figure.panels.push_back({statistic, {}, {}});
        DistributionPanel& panel = figure.panels[it->second];
        const int row = static_cast<int>(rowCondition[r]);
        if (std::find(panel.rows.begin(), panel.rows.end(), row) != panel.rows.end()) {
            throw InputError(table.name + ":" + std::to_string(table.lines[r]) + ": a second " + statistic +
                             " row for " + figure.conditions[rowCondition[r]]);
        }
        Spread spread;
        const auto valueAt = [&](int col) {
            const auto v = table.number(r, col);
            if (!v || !std::isfinite(*v)) figure.nonFinite = true;
            return v ? *v : std::nan("");
        };
        for (int i = 0; i < 5; ++i) spread.q[i] = valueAt(qCol[i]);
        spread.mean = valueAt(meanCol);
        panel.rows.push_back(row);
        panel.spreads.push_back(spread);
    }

    figure.title = "Distribution of each statistic per condition";
    figure.notes = fixedFactorLines(factors.names, distinct, fixed);
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

std::string distributionScript(const DistributionFigure& figure, ImageFormat format,
                               const std::string& picturePath) {
    const bool png = format == ImageFormat::Png;
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
    std::vector<std::string> heading = {figure.title};
    heading.insert(heading.end(), figure.notes.begin(), figure.notes.end());
    // Wide enough for the heading, and for the legend on one line.
    widenFor(frame, figure.rows, figure.columns, heading, format, png ? 840 : 1000);
    const Canvas canvas = canvasOf(frame, figure.rows, figure.columns);

    std::ostringstream s;
    s << "# Five quantiles and the mean of every statistic per condition\n";
    terminalLines(s, format, canvas, picturePath);

    // Data: one block per statistic: row, q0, q25, q50, q75, q100, mean.
    for (std::size_t p = 0; p < figure.panels.size(); ++p) {
        const auto& panel = figure.panels[p];
        s << "$d" << p + 1 << " << EOD\n";
        for (std::size_t i = 0; i < panel.rows.size(); ++i) {
            s << panel.rows[i] + 1;
            for (const double q : panel.spreads[i].q) s << ' ' << number(q);
            s << ' ' << number(panel.spreads[i].mean) << '\n';
        }
        s << "EOD\n";
    }
    s << "$none << EOD\nNaN NaN NaN NaN NaN NaN NaN\nEOD\n";

    s << "set style line 1 lc rgb '#333333' lw 1.2\n";            // whiskers
    s << "set style line 2 lc rgb '#0072B2' lw 1.2\n";            // box border
    s << "set style line 3 lc rgb '#08306b' lw 3\n";              // median
    s << "set style line 4 lc rgb '#D55E00' pt 13 ps " << (png ? "1.0" : "0.75") << '\n';  // mean
    s << "set errorbars 0.6\n";
    s << "set yrange [" << number(conditions + 0.7) << ':' << "0.3]\n";
    s << "set grid xtics ytics lc rgb '#d8d8d8' lw 1 dt 1\n";
    s << "set border lc rgb '#444444'\n";
    s << "set tics nomirror\n";
    s << "set offsets 0, 0, 0, 0\n";
    multiplotStart(s, heading, format);

    // Whiskers, box, median bar and mean marker of every row of a block:
    // row, q0, q25, q50, q75, q100, mean.
    const auto boxRows = [](const std::string& data, bool titles) {
        const auto title = [&](const char* text) {
            return titles ? " title " + gnuplotString(text) : std::string(" notitle");
        };
        return data + " using 4:1:2:6 with xerrorbars ls 1 pt -1" + title("smallest to largest") +
               ", \\\n     " + data +
               " using 4:1:3:5:($1-0.3):($1+0.3) with boxxyerror fs solid 0.35 border lc rgb '#0072B2' "
               "lc rgb '#56B4E9'" +
               title("25 % to 75 %") + ", \\\n     " + data +
               " using 4:($1-0.3):(0):(0.6) with vectors nohead ls 3" + title("median") + ", \\\n     " +
               data + " using 7:1 with points ls 4" + title("mean");
    };
    const int panelCount = static_cast<int>(figure.panels.size());
    for (int p = 0; p < panelCount; ++p) {
        const auto& panel = figure.panels[static_cast<std::size_t>(p)];
        s << "# " << panel.statistic << '\n';
        s << "set title " << gnuplotString(panel.statistic) << '\n';

        // The value axis: everything finite, with a little room.
        double lo = INFINITY;
        double hi = -INFINITY;
        for (const auto& spread : panel.spreads) {
            for (const double v : spread.q) {
                if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
            }
            if (std::isfinite(spread.mean)) lo = std::min(lo, spread.mean), hi = std::max(hi, spread.mean);
        }
        if (!(lo <= hi)) lo = -1.0, hi = 1.0;
        const double pad = hi > lo ? 0.05 * (hi - lo) : std::max(0.5, 0.1 * std::fabs(lo));
        s << "set xrange [" << number(lo - pad) << ':' << number(hi + pad) << "]\n";
        s << "set xtics " << number(ticStep(hi - lo + 2 * pad, png ? 4 : 5)) << '\n';

        s << "set ytics (";
        for (int c = 0; c < conditions; ++c) {
            if (c > 0) s << ", ";
            s << gnuplotString(p % figure.columns == 0 ? figure.conditions[static_cast<std::size_t>(c)] : "")
              << ' ' << c + 1;
        }
        s << ")\n";
        s << "unset key\n";
        placePanel(s, frame, canvas, p / figure.columns, p % figure.columns);
        s << "plot " << boxRows("$d" + std::to_string(p + 1), false) << '\n';
    }

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

// ---- Entry points -----------------------------------------------------------------

namespace {

// Checks shared by both pictures; 0 when the options can be used.
int checkOutput(const std::string& output, const std::string& prefix, std::ostream& err,
                std::optional<plot::ImageFormat>& format) {
    format = plot::imageFormatOf(output);
    if (!format) {
        err << prefix << output << ": cannot tell the picture format; name the output file .svg or .png\n";
        return 2;
    }
    if (output.find_first_of("\r\n") != std::string::npos) {
        err << prefix << "the output file name contains a line break\n";
        return 2;
    }
    return 0;
}

// Reads the results file; nullopt after writing the error line.
std::optional<plot::ResultsTable> readTable(const std::string& path, const std::string& prefix,
                                            std::ostream& err) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << prefix << path << ": cannot be opened: " << std::strerror(errno) << '\n';
        return std::nullopt;
    }
    try {
        return plot::readResultsTable(in, path);
    } catch (const plot::InputError& e) {
        err << prefix << e.what() << '\n';
        return std::nullopt;
    }
}

}  // namespace

int plotPower(const PlotPowerOptions& options, std::ostream& err) {
    const std::string prefix = "zelkor plot power: ";
    std::optional<plot::ImageFormat> format;
    if (const int status = checkOutput(options.output, prefix, err, format)) return status;
    if (!(options.alpha > 0.0 && options.alpha < 1.0)) {
        err << prefix << "--alpha must lie between 0 and 1\n";
        return 2;
    }
    const auto table = readTable(options.results, prefix, err);
    if (!table) return 2;
    plot::PowerFigure figure;
    try {
        figure = plot::buildPowerFigure(*table, options);
    } catch (const plot::InputError& e) {
        err << prefix << e.what() << '\n';
        return 2;
    }
    return plot::renderWithGnuplot(
        options.gnuplot, options.output,
        [&](const std::string& path) { return plot::powerScript(figure, *format, path); }, err, prefix);
}

int plotDistribution(const PlotDistributionOptions& options, std::ostream& err) {
    const std::string prefix = "zelkor plot distribution: ";
    std::optional<plot::ImageFormat> format;
    if (const int status = checkOutput(options.output, prefix, err, format)) return status;
    const auto table = readTable(options.results, prefix, err);
    if (!table) return 2;
    plot::DistributionFigure figure;
    try {
        figure = plot::buildDistributionFigure(*table);
    } catch (const plot::InputError& e) {
        err << prefix << e.what() << '\n';
        return 2;
    }
    return plot::renderWithGnuplot(
        options.gnuplot, options.output,
        [&](const std::string& path) { return plot::distributionScript(figure, *format, path); }, err,
        prefix);
}
