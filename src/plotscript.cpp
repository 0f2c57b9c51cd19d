#include "plotscript.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace plot {

std::string scriptNumber(double value) {
    if (!std::isfinite(value)) return "NaN";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    return std::string(buffer, result.ptr);
}

double ticStep(double lower, double upper, int count) {
    // Each bound divided first: the difference of two halves never overflows.
    const double raw = upper / count - lower / count;
    if (!(raw > 0.0)) return 1.0;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 2.5, 5.0}) {
        if (m * decade >= raw) return m * decade;
    }
    return 10.0 * decade;
}

double valueScale(double largestMagnitude) {
    if (!(largestMagnitude >= 1e100) || !std::isfinite(largestMagnitude)) return 1.0;
    return std::pow(10.0, std::floor(std::log10(largestMagnitude)));
}

std::string scaleNote(double scale) {
    if (scale == 1.0) return {};
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, scale, std::chars_format::scientific, 0);
    return "values \xC3\x97 " + std::string(buffer, result.ptr);
}

void paddedRange(double lo, double hi, double& lower, double& upper) {
    constexpr double kLargest = std::numeric_limits<double>::max();
    const double pad = hi > lo ? 0.05 * hi - 0.05 * lo : std::max(0.5, 0.1 * std::fabs(lo));
    lower = std::max(lo - pad, -kLargest);
    upper = std::min(hi + pad, kLargest);
}

int fontSizeOf(const Look& look, ImageFormat format) {
    if (look.fontSize > 0) return look.fontSize;
    return format == ImageFormat::Svg ? 13 : 10;
}

double textScale(const Look& look, ImageFormat format) {
    const Look standard;
    return static_cast<double>(fontSizeOf(look, format)) / fontSizeOf(standard, format);
}

Canvas canvasOf(const Frame& f, int rows, int columns) {
    return {f.left + columns * f.panelWidth + (columns - 1) * f.gapX + f.right,
            f.top + rows * f.panelHeight + (rows - 1) * f.gapY + f.bottom};
}

void widenFor(Frame& f, int rows, int columns, const std::vector<std::string>& heading, ImageFormat format,
              int narrowest, double scale) {
    std::size_t longest = 0;
    for (const auto& line : heading) longest = std::max(longest, line.size());
    const int perChar = static_cast<int>(std::lround((format == ImageFormat::Svg ? 9 : 8) * scale));
    const int needed = std::max(narrowest, static_cast<int>(longest) * perChar + 40);
    const int width = canvasOf(f, rows, columns).width;
    if (width < needed) {
        f.left += (needed - width) / 2;
        f.right += needed - width - (needed - width) / 2;
    }
}

std::string fitTo(Frame& f, int rows, int columns, const Look& look, int narrowestPanel, int lowestPanel) {
    if (look.width > 0) {
        const int room = look.width - f.left - f.right - (columns - 1) * f.gapX;
        f.panelWidth = room / columns;
    }
    if (look.height > 0) {
        const int room = look.height - f.top - f.bottom - (rows - 1) * f.gapY;
        f.panelHeight = room / rows;
    }
    if (f.panelWidth >= narrowestPanel && f.panelHeight >= lowestPanel) {
        // The margins take what the division leaves.
        const Canvas c = canvasOf(f, rows, columns);
        if (look.width > 0) f.right += look.width - c.width;
        if (look.height > 0) f.bottom += look.height - c.height;
        return {};
    }
    return "panels of " + std::to_string(std::max(f.panelWidth, 0)) + " x " +
           std::to_string(std::max(f.panelHeight, 0)) + " pixels (at least " + std::to_string(narrowestPanel) +
           " x " + std::to_string(lowestPanel) + " are needed)";
}

void terminalLines(std::ostringstream& s, ImageFormat format, const Canvas& canvas, const std::string& picturePath,
                   const Look& look) {
    const int font = fontSizeOf(look, format);
    if (format == ImageFormat::Svg) {
        s << "set terminal svg size " << canvas.width << ',' << canvas.height << " font 'DejaVu Sans," << font
          << "' noenhanced background '#ffffff'\n";
    } else {
        s << "set terminal pngcairo size " << canvas.width << ',' << canvas.height << " font 'DejaVu Sans," << font
          << "' noenhanced background '#ffffff'\n";
    }
    s << "set output " << gnuplotString(picturePath) << '\n';
    s << "set encoding utf8\n";
}

void multiplotStart(std::ostringstream& s, const std::vector<std::string>& heading, ImageFormat format,
                    const Look& look) {
    const int titleSize = fontSizeOf(look, format) + (format == ImageFormat::Svg ? 2 : 2);
    s << "set multiplot title " << gnuplotLines(heading) << " font '," << titleSize << "'\n";
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
