// The distribution picture's gnuplot script.
#include <algorithm>
#include <cmath>

#include "distributionfigure.h"

namespace plot {

namespace {

constexpr int kNarrowestPanel = 120;

std::vector<std::string> headingOf(const DistributionFigure& figure) {
    std::vector<std::string> heading = {figure.title};
    heading.insert(heading.end(), figure.notes.begin(), figure.notes.end());
    return heading;
}

int lowestPanel(const DistributionFigure& figure) { return static_cast<int>(figure.conditions.size()) * 8 + 10; }

Frame distributionFrame(const DistributionFigure& figure, ImageFormat format, const Look& look) {
    const bool png = format == ImageFormat::Png;
    const double k = textScale(look, format);
    const auto scaled = [k](int px) { return static_cast<int>(std::lround(px * k)); };
    const int conditions = static_cast<int>(figure.conditions.size());
    const int pitch = scaled(conditions > 40 ? 14 : (png ? 20 : 24));
    std::size_t longest = 0;
    for (const auto& label : figure.conditions) longest = std::max(longest, label.size());
    Frame frame{};
    frame.left = 30 + scaled(static_cast<int>(longest) * (png ? 7 : 8));
    frame.right = 30;
    frame.top = scaled(50 + (png ? 20 : 27) * static_cast<int>(figure.notes.size()) + 25);
    const bool scaleNotes = std::any_of(figure.panels.begin(), figure.panels.end(),
                                        [](const DistributionPanel& p) { return p.scale != 1.0; });
    frame.bottom = scaled((png ? 75 : 90) + (scaleNotes ? 25 : 0));
    frame.panelWidth = png ? 260 : 300;
    frame.panelHeight = std::max(100, conditions * pitch + 10);
    frame.gapX = scaled(35);
    frame.gapY = scaled(png ? 75 : 85);
    // Wide enough for the heading, and for the legend on one line.
    widenFor(frame, figure.rows, figure.columns, headingOf(figure), format, scaled(png ? 900 : 1080), k);
    return frame;
}

// Data: one block per panel: row, q0, q25, q50, q75, q100, mean, divided by
// the panel's scale.
void dataBlocks(std::ostringstream& s, const DistributionFigure& figure) {
    for (std::size_t p = 0; p < figure.panels.size(); ++p) {
        const auto& panel = figure.panels[p];
        s << "$d" << p + 1 << " << EOD\n";
        for (std::size_t i = 0; i < panel.rows.size(); ++i) {
            s << panel.rows[i] + 1;
            for (const double q : panel.spreads[i].q) s << ' ' << scriptNumber(q / panel.scale);
            s << ' ' << scriptNumber(panel.spreads[i].mean / panel.scale) << '\n';
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
    return data + " using 4:1:2:6 with xerrorbars ls 1 pt -1" + title("whiskers: min to max") +
           ", \\\n     " + data +
           " using 4:1:3:5:($1-0.3):($1+0.3) with boxxyerror fs solid 0.35 border lc rgb '#0072B2' "
           "lc rgb '#56B4E9'" +
           title("box: 25 % to 75 %") + ", \\\n     " + data + " using 4:($1-0.3):(0):(0.6) with vectors nohead ls 3" +
           title("median") + ", \\\n     " + data + " using 7:1 with points ls 4" + title("mean");
}

// The value axis of a panel: everything finite, with a little room; the
// scale, when there is one, below it.
void valueAxis(std::ostringstream& s, const DistributionPanel& panel, bool png) {
    double lo = INFINITY;
    double hi = -INFINITY;
    for (const auto& spread : panel.spreads) {
        for (const double v : spread.q)
            if (std::isfinite(v)) lo = std::min(lo, v / panel.scale), hi = std::max(hi, v / panel.scale);
        if (std::isfinite(spread.mean))
            lo = std::min(lo, spread.mean / panel.scale), hi = std::max(hi, spread.mean / panel.scale);
    }
    if (!(lo <= hi)) lo = -1.0, hi = 1.0;
    double lower = 0.0, upper = 0.0;
    paddedRange(lo, hi, lower, upper);
    s << "set xrange [" << scriptNumber(lower) << ':' << scriptNumber(upper) << "]\n";
    s << "set xtics " << scriptNumber(ticStep(lower, upper, png ? 4 : 5)) << '\n';
    s << "set xlabel " << gnuplotString(scaleNote(panel.scale)) << '\n';
}

void panelPlots(std::ostringstream& s, const DistributionFigure& figure, const Frame& frame, const Canvas& canvas,
                bool png) {
    const int conditions = static_cast<int>(figure.conditions.size());
    std::vector<int> leftmost(static_cast<std::size_t>(figure.rows), figure.columns);
    for (const auto& panel : figure.panels)
        leftmost[static_cast<std::size_t>(panel.row)] =
            std::min(leftmost[static_cast<std::size_t>(panel.row)], panel.column);
    for (std::size_t p = 0; p < figure.panels.size(); ++p) {
        const auto& panel = figure.panels[p];
        s << "# panel " << p + 1 << '\n';
        s << "set title " << gnuplotString(panel.title.empty() ? panel.statistic : panel.title) << '\n';
        valueAxis(s, panel, png);
        const bool left = panel.column == leftmost[static_cast<std::size_t>(panel.row)];
        s << "set ytics (";
        for (int c = 0; c < conditions; ++c) {
            if (c > 0) s << ", ";
            s << gnuplotString(left ? figure.conditions[static_cast<std::size_t>(c)] : "") << ' ' << c + 1;
        }
        s << ")\n";
        s << "unset key\n";
        placePanel(s, frame, canvas, panel.row, panel.column);
        s << "plot " << boxRows("$d" + std::to_string(p + 1), false) << '\n';
    }
}

}  // namespace

std::string distributionFitProblem(const DistributionFigure& figure, ImageFormat format, const Look& look) {
    Frame frame = distributionFrame(figure, format, look);
    const std::string problem = fitTo(frame, figure.rows, figure.columns, look, kNarrowestPanel, lowestPanel(figure));
    if (!problem.empty()) return problem;
    const Canvas canvas = canvasOf(frame, figure.rows, figure.columns);
    if ((look.width == 0 && canvas.width > kLargestSide) || (look.height == 0 && canvas.height > kLargestSide))
        return "a picture of " + std::to_string(canvas.width) + " x " + std::to_string(canvas.height) +
               " pixels (more than " + std::to_string(kLargestSide) + " on a side)";
    return {};
}

std::string distributionScript(const DistributionFigure& figure, ImageFormat format,
                               const std::string& picturePath, const Look& look) {
    const bool png = format == ImageFormat::Png;
    Frame frame = distributionFrame(figure, format, look);
    fitTo(frame, figure.rows, figure.columns, look, kNarrowestPanel, lowestPanel(figure));
    const Canvas canvas = canvasOf(frame, figure.rows, figure.columns);

    std::ostringstream s;
    s << "# Five quantiles and the mean of every statistic per condition\n";
    terminalLines(s, format, canvas, picturePath, look);
    dataBlocks(s, figure);
    styles(s, png, static_cast<int>(figure.conditions.size()));
    multiplotStart(s, headingOf(figure), format, look);
    panelPlots(s, figure, frame, canvas, png);

    // The legend, centred in the strip below the panels, drawn by a plot of
    // its own that shows nothing else.
    const int legendWidth = canvas.width - 40;
    const Frame strip{(canvas.width - legendWidth) / 2, 0, canvas.height - 32, 0, legendWidth, 28, 0, 0};
    s << "# legend\n";
    placePanel(s, strip, canvas, 0, 0);
    s << "unset title\nunset xlabel\nunset border\nunset tics\nunset grid\nset xrange [0:1]\nset yrange [0:1]\n";
    s << "set key center center horizontal maxrows 1 Left reverse samplen 2\n";
    s << "plot " << boxRows("$none", true) << '\n';
    s << "unset multiplot\n";
    return s.str();
}

}  // namespace plot
