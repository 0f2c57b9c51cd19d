#include "plotscript.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace plot {

std::string scriptNumber(double value) {
    if (!std::isfinite(value)) return "NaN";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    return std::string(buffer, result.ptr);
}

double ticStep(double span, int count) {
    const double raw = span / count;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 2.5, 5.0}) {
        if (m * decade >= raw) return m * decade;
    }
    return 10.0 * decade;
}

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

Canvas canvasOf(const Frame& f, int rows, int columns) {
    return {f.left + columns * f.panelWidth + (columns - 1) * f.gapX + f.right,
            f.top + rows * f.panelHeight + (rows - 1) * f.gapY + f.bottom};
}

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

void terminalLines(std::ostringstream& s, ImageFormat format, const Canvas& canvas, const std::string& picturePath) {
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

void multiplotStart(std::ostringstream& s, const std::vector<std::string>& heading, ImageFormat format) {
    const int titleSize = format == ImageFormat::Svg ? 15 : 12;
    s << "set multiplot title " << multiline(heading) << " font '," << titleSize << "'\n";
}

void placePanel(std::ostringstream& s, const Frame& f, const Canvas& c, int row, int column) {
    const int left = f.left + column * (f.panelWidth + f.gapX);
    const int top = f.top + row * (f.panelHeight + f.gapY);
    const auto fx = [&](int px) { return scriptNumber(static_cast<double>(px) / c.width); };
    const auto fy = [&](int px) { return scriptNumber(1.0 - static_cast<double>(px) / c.height); };
    s << "set lmargin at screen " << fx(left) << "\nset rmargin at screen " << fx(left + f.panelWidth)
      << "\nset tmargin at screen " << fy(top) << "\nset bmargin at screen " << fy(top + f.panelHeight) << '\n';
}

}  // namespace plot
