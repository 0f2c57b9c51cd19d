// The parts of a gnuplot script that both pictures share: numbers as the
// script writes them, strings, the terminal, and the placing of panels in a
// grid on a canvas of pixels.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "gnuplot.h"

namespace plot {

// A number of the script: 9 significant digits, NaN for what is not finite.
std::string scriptNumber(double value);

// A round step for about `count` tics over `span`: 1, 2, 2.5 or 5 times a
// power of ten.
double ticStep(double span, int count);

// Lines as one gnuplot string in double quotes (the only kind that can break
// a line): backslashes and quotes escaped, lines joined by "\n".
std::string multiline(const std::vector<std::string>& lines);

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
              int narrowest);

// The terminal of the format at the canvas's size, writing to picturePath.
void terminalLines(std::ostringstream& s, ImageFormat format, const Canvas& canvas, const std::string& picturePath);

// Starts the multiplot under the heading.
void multiplotStart(std::ostringstream& s, const std::vector<std::string>& heading, ImageFormat format);

// Places the next plot's frame at a cell of the panel grid; the margins
// around the frames hold tic labels, axis titles and panel titles.
void placePanel(std::ostringstream& s, const Frame& f, const Canvas& c, int row, int column);

}  // namespace plot
