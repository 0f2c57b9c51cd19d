// The power picture's gnuplot script.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "powerfigure.h"

namespace plot {

namespace {

// Colour-blind-safe colours and distinct point shapes for the statistics.
const char* const kColours[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                "#E69F00", "#56B4E9", "#000000", "#999933"};
const int kPointTypes[] = {7, 5, 9, 13, 11, 6, 4, 8};

// The reference lines: alpha long-dashed in dark red, 0.80 dotted in grey.
constexpr const char* kAlphaColour = "#B2182B";
constexpr const char* kPowerColour = "#4D4D4D";
constexpr int kNarrowestPanel = 140;
constexpr int kLowestPanel = 100;

Frame powerFrame(const PowerFigure& figure, ImageFormat format, const std::vector<std::string>& heading,
                 const Look& look) {
    const bool png = format == ImageFormat::Png;
    const double k = textScale(look, format);
    const auto scaled = [k](int px) { return static_cast<int>(std::lround(px * k)); };
    Frame frame{};
    frame.left = scaled(png ? 70 : 85);
    frame.right = scaled(png ? 210 : 250);
    const bool panelTitles = !figure.panels.front().title.empty();
    frame.top = scaled(50 + (png ? 20 : 27) * static_cast<int>(figure.notes.size()) + (panelTitles ? 25 : 0));
    frame.bottom = scaled(png ? 60 : 75);
    frame.panelWidth = png ? 360 : 400;
    frame.panelHeight = png ? 250 : 280;
    frame.gapX = scaled(75);
    frame.gapY = scaled(png ? 75 : 85);
    widenFor(frame, figure.rows, figure.columns, heading, format, 0, k);
    return frame;
}

std::vector<std::string> headingOf(const PowerFigure& figure) {
    std::vector<std::string> heading = {figure.title};
    heading.insert(heading.end(), figure.notes.begin(), figure.notes.end());
    return heading;
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

// Line styles, and the same x axis in every panel.
void styleAndAxes(std::ostringstream& s, const PowerFigure& figure, bool png) {
    for (std::size_t st = 0; st < figure.statistics.size(); ++st) {
        const std::size_t k = st % std::size(kColours);
        s << "set style line " << st + 1 << " lc rgb '" << kColours[k] << "' lw 2 pt " << kPointTypes[k]
          << (png ? " ps 0.9\n" : " ps 0.7\n");
    }
    s << "set style line 101 lc rgb '" << kAlphaColour << "' lw 1.5 dt (10,6)\n";
    s << "set style line 102 lc rgb '" << kPowerColour << "' lw 2 dt (2,5)\n";
    s << "set errorbars 0.5\n";
    double lower = 0.0, upper = 0.0;
    paddedRange(figure.xValues.front(), figure.xValues.back(), lower, upper);
    s << "set xrange [" << scriptNumber(lower) << ':' << scriptNumber(upper) << "]\n";
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

std::string alphaName(const PowerFigure& figure, bool greek) {
    return std::string(greek ? "\xCE\xB1" : "alpha") + " = " + factorText(figure.alpha);
}

// The y axis of a panel, its reference lines and their labels at the
// right edge: a Type-I panel runs from 0 to typeITop with the alpha line
// alone; a power panel from 0 to 1 with the alpha and 0.80 lines.
std::string panelAxis(std::ostringstream& s, const PowerFigure& figure, const PowerPanel& panel, bool greek) {
    const std::string alpha = scriptNumber(figure.alpha);
    s << "unset label\n";
    s << "set label 1 " << gnuplotString(greek ? "\xCE\xB1" : "alpha") << " at graph 1, first " << alpha
      << " left offset 0.5,0 tc rgb '" << kAlphaColour << "'\n";
    if (panel.typeI) {
        const double step = ticStep(0.0, figure.typeITop, 4);
        s << "set yrange [0:" << scriptNumber(figure.typeITop) << "]\n";
        s << "set ytics 0," << scriptNumber(step) << ',' << scriptNumber(figure.typeITop) << " format '%g'\n";
        return alpha + " with lines ls 101 notitle";
    }
    s << "set label 2 '0.80' at graph 1, first 0.8 left offset 0.5,0 tc rgb '" << kPowerColour << "'\n";
    s << "set yrange [0:1]\n";
    s << "set ytics 0,0.2,1 format '%.1f'\n";
    return alpha + " with lines ls 101 notitle, \\\n     0.8 with lines ls 102 notitle";
}

void panelPlots(std::ostringstream& s, const PowerFigure& figure, const Frame& frame, const Canvas& canvas,
                bool greek) {
    std::vector<int> lowest(static_cast<std::size_t>(figure.columns), 0);
    std::vector<int> leftmost(static_cast<std::size_t>(figure.rows), figure.columns);
    for (const auto& panel : figure.panels) {
        lowest[static_cast<std::size_t>(panel.column)] = std::max(lowest[static_cast<std::size_t>(panel.column)], panel.row);
        leftmost[static_cast<std::size_t>(panel.row)] = std::min(leftmost[static_cast<std::size_t>(panel.row)], panel.column);
    }
    const std::string below = "p < " + factorText(figure.alpha);
    for (std::size_t p = 0; p < figure.panels.size(); ++p) {
        const PowerPanel& panel = figure.panels[p];
        s << "# panel " << p + 1 << '\n';
        if (panel.title.empty()) {
            s << "unset title\n";
        } else {
            s << "set title " << gnuplotString(panel.title) << '\n';
        }
        const bool bottom = panel.row == lowest[static_cast<std::size_t>(panel.column)];
        const bool left = panel.column == leftmost[static_cast<std::size_t>(panel.row)];
        s << "set xlabel " << gnuplotString(bottom ? figure.xLabel : "") << '\n';
        const std::string yLabel = panel.typeI ? "Type-I error rate (" + below + ")" : "Power (" + below + ")";
        s << "set ylabel " << gnuplotString(left ? yLabel : "") << '\n';
        const std::string references = panelAxis(s, figure, panel, greek);
        placePanel(s, frame, canvas, panel.row, panel.column);
        s << "plot ";
        for (const auto& line : panel.lines)
            s << "$p" << p + 1 << "s" << line.style + 1 << " using 1:2:3:4 with yerrorlines ls " << line.style + 1
              << " notitle, \\\n     ";
        s << references << '\n';
    }
}

// One legend for all panels, in the strip on the right, drawn by a plot of
// its own that shows nothing else.
void legend(std::ostringstream& s, const PowerFigure& figure, const Frame& frame, const Canvas& canvas, bool greek) {
    const Frame strip{canvas.width - frame.right + 30, 0, frame.top, 0, frame.right - 40,
                      std::min(frame.panelHeight, 40 + 24 * static_cast<int>(figure.statistics.size() + 2)), 0, 0};
    s << "# legend\n";
    placePanel(s, strip, canvas, 0, 0);
    s << "unset title\nunset xlabel\nunset ylabel\nunset label\nunset border\nunset tics\nunset grid\n"
         "set xrange [0:1]\nset yrange [0:1]\n";
    s << "set key left top Left reverse samplen 3 spacing 1.3\n";
    s << "plot ";
    for (std::size_t st = 0; st < figure.statistics.size(); ++st)
        s << "$none using 1:2:3:4 with yerrorlines ls " << st + 1 << " title " << gnuplotString(figure.statistics[st])
          << ", \\\n     ";
    s << "$none using 1:2 with lines ls 101 title " << gnuplotString(alphaName(figure, greek));
    const bool power = std::any_of(figure.panels.begin(), figure.panels.end(), [](const PowerPanel& p) { return !p.typeI; });
    if (power) s << ", \\\n     $none using 1:2 with lines ls 102 title " << gnuplotString("0.80 power");
    s << '\n';
}

}  // namespace

std::string powerFitProblem(const PowerFigure& figure, ImageFormat format, const Look& look) {
    Frame frame = powerFrame(figure, format, headingOf(figure), look);
    return fitTo(frame, figure.rows, figure.columns, look, kNarrowestPanel, kLowestPanel);
}

std::string powerScript(const PowerFigure& figure, ImageFormat format, const std::string& picturePath,
                        const Look& look) {
    const std::vector<std::string> heading = headingOf(figure);
    Frame frame = powerFrame(figure, format, heading, look);
    fitTo(frame, figure.rows, figure.columns, look, kNarrowestPanel, kLowestPanel);
    const Canvas canvas = canvasOf(frame, figure.rows, figure.columns);
    const bool greek = figure.greek;

    std::ostringstream s;
    s << "# Share of series with p < alpha, one line per statistic with a test\n";
    terminalLines(s, format, canvas, picturePath, look);
    dataBlocks(s, figure);
    styleAndAxes(s, figure, format == ImageFormat::Png);
    multiplotStart(s, heading, format, look);
    s << "unset key\n";
    panelPlots(s, figure, frame, canvas, greek);
    legend(s, figure, frame, canvas, greek);
    s << "unset multiplot\n";
    return s.str();
}

}  // namespace plot
