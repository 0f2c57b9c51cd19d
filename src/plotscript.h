// The parts of a gnuplot script that both pictures share: numbers as the
// script writes them, the terminal and its font, value axes that hold any
// finite values, and the placing of panels in a grid on a canvas of pixels.
// Text from a file reaches the script only through gnuplottext.h.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "gnuplot.h"

namespace plot {

// A number of the script: 9 significant digits, NaN for what is not finite.
std::string scriptNumber(double value);

// A round step for about `count` tics from lower to upper: 1, 2, 2.5 or 5
// times a power of ten.  Finite for any finite bounds.
double ticStep(double lower, double upper, int count);

// The power of ten by which a panel's values are divided so that gnuplot can
// span them: 1 while the largest magnitude stays below 1e100, else the
// largest magnitude's power of ten.  gnuplot computes the width of a range,
// which overflows for bounds near +-1e308.
double valueScale(double largestMagnitude);

// "values x 1e+308" for a scale other than 1; empty for 1.
std::string scaleNote(double scale);

// A range around the finite values lo <= hi with 5 % room on each side
// (half a unit, or a tenth of the value, when they are equal), computed
// without overflow and within the largest finite doubles.
void paddedRange(double lo, double hi, double& lower, double& upper);

// What the user asks of the picture's look: the canvas size in pixels (0
// for the size the figure needs) and the font size in points (0 for the
// format's own: 13 for SVG, 10 for PNG).
struct Look {
    int width = 0;
    int height = 0;
    int fontSize = 0;
};

// The font size the picture uses, and the factor by which text-bound
// margins grow with it.
int fontSizeOf(const Look& look, ImageFormat format);
double textScale(const Look& look, ImageFormat format);

struct Canvas {
    int width = 0;
    int height = 0;
};

// Margins of the panel grid on the canvas, in pixels, and the space between
// panels.
struct Frame {
    int left, right, top, bottom, panelWidth, panelHeight, gapX, gapY;
};

Canvas canvasOf(const Frame& f, int rows, int columns);

// Widens the side margins evenly until the canvas holds the heading's longest
// line (at a rough width per character) and is at least `narrowest` pixels
// wide.
void widenFor(Frame& f, int rows, int columns, const std::vector<std::string>& heading, ImageFormat format,
              int narrowest, double scale = 1.0);

// Fits the panels to a canvas of the look's size, when it gives one; an
// empty text when they fit, else why not ("panels of 40 x 12 pixels").
std::string fitTo(Frame& f, int rows, int columns, const Look& look, int narrowestPanel, int lowestPanel);

// The terminal of the format at the canvas's size and the look's font,
// writing to picturePath.
void terminalLines(std::ostringstream& s, ImageFormat format, const Canvas& canvas, const std::string& picturePath,
                   const Look& look);

// Starts the multiplot under the heading.
void multiplotStart(std::ostringstream& s, const std::vector<std::string>& heading, ImageFormat format,
                    const Look& look);

// Places the next plot's frame at a cell of the panel grid; the margins
// around the frames hold tic labels, axis titles and panel titles.
void placePanel(std::ostringstream& s, const Frame& f, const Canvas& c, int row, int column);

}  // namespace plot
