#include "plot.h"

#include <charconv>
#include <cmath>
#include <filesystem>

#include "boundedread.h"
#include "distributionfigure.h"
#include "messagetext.h"
#include "powerfigure.h"
#include "sidecar.h"

namespace {

using plot::ImageFormat;
using plot::InputError;

// The picture format the output's name asks for; nullopt after a message.
std::optional<ImageFormat> outputFormat(const std::string& output, const std::string& prefix, std::ostream& err) {
    const std::optional<ImageFormat> format = plot::imageFormatOf(output);
    if (!format) {
        err << prefix << printableText(output) << ": cannot tell the picture format; name the output file .svg or .png\n";
        return std::nullopt;
    }
    if (output.find_first_of("\r\n") != std::string::npos) {
        err << prefix << "the output file name contains a line break\n";
        return std::nullopt;
    }
    return format;
}

// The results file's rows.
ResultsTable readTable(const std::string& path) {
    std::string text;
    std::string error;
    if (!readBoundedFile(path, kInputFileLimit, text, error, kInputLineLimit)) throw InputError(path + ": " + error);
    ResultsTable table;
    if (!readResultsTable(text, path, table, error)) throw InputError(error);
    return table;
}

// A whole number of pixels from text, within 1 .. 20000.
bool readPixels(std::string_view text, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= 1 && value <= 20000;
}

// The look the options ask for.
plot::Look lookOf(const PlotCommonOptions& options) {
    plot::Look look;
    if (!options.size.empty()) {
        const std::size_t x = options.size.find_first_of("xX");
        if (x == std::string::npos || !readPixels(std::string_view(options.size).substr(0, x), look.width) ||
            !readPixels(std::string_view(options.size).substr(x + 1), look.height))
            throw InputError("--size " + quotedExcerpt(options.size) +
                             " is not WIDTHxHEIGHT in pixels (for example 1600x1000, each 1 to 20000)");
    }
    if (options.fontSize != 0 && (options.fontSize < 4 || options.fontSize > 72))
        throw InputError("--font-size " + std::to_string(options.fontSize) + " is not from 4 to 72 points");
    look.fontSize = options.fontSize;
    if (!(options.timeout > 0.0 && options.timeout <= 86400.0))
        throw InputError("--timeout must be more than 0 and at most 86400 seconds");
    return look;
}

std::chrono::milliseconds timeLimitOf(const PlotCommonOptions& options) {
    return std::chrono::milliseconds(static_cast<long long>(std::ceil(options.timeout * 1000.0)));
}

// The alpha the results were run with, from their sidecar, or else the one
// asked for (0.05 by default).
double runAlpha(const PlotPowerOptions& options) {
    if (options.alpha && !(*options.alpha > 0.0 && *options.alpha < 1.0))
        throw InputError("--alpha must lie between 0 and 1");
    const std::string path = options.results + ".json";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return options.alpha.value_or(0.05);
    std::string text;
    std::string error;
    Sidecar sidecar;
    if (!readBoundedFile(path, kSidecarFileLimit, text, error) || !parseSidecar(text, sidecar, error))
        throw InputError(path + ": " + error);
    if (options.alpha && !(*options.alpha == sidecar.alpha))
        throw InputError("--alpha " + plot::factorText(*options.alpha) + " differs from the alpha " +
                         plot::factorText(sidecar.alpha) + " the results were run with (" + path +
                         "); leave --alpha out");
    return sidecar.alpha;
}

}  // namespace

int plotPower(const PlotPowerOptions& options, std::ostream& err) {
    const std::string prefix = "zelkor plot power: ";
    const std::optional<ImageFormat> format = outputFormat(options.output, prefix, err);
    if (!format) return 2;
    plot::PowerFigure figure;
    plot::Look look;
    try {
        look = lookOf(options);
        const double alpha = runAlpha(options);
        figure = plot::buildPowerFigure(readTable(options.results),
                                        {options.x, options.facet, alpha, options.rows, options.columns,
                                         options.statistics, options.greek, options.title});
        const std::string problem = plot::powerFitProblem(figure, *format, look);
        if (!problem.empty())
            throw InputError((options.size.empty() ? "the figure needs " : "--size " + options.size + " leaves ") +
                             problem + "; give a larger --size or a smaller --font-size");
    } catch (const InputError& e) {
        err << prefix << printableText(e.what()) << '\n';
        return 2;
    }
    return plot::renderWithGnuplot(
        options.gnuplot, options.output,
        [&](const std::string& path) { return plot::powerScript(figure, *format, path, look); }, err, prefix,
        timeLimitOf(options));
}

int plotDistribution(const PlotDistributionOptions& options, std::ostream& err) {
    const std::string prefix = "zelkor plot distribution: ";
    const std::optional<ImageFormat> format = outputFormat(options.output, prefix, err);
    if (!format) return 2;
    plot::DistributionFigure figure;
    plot::Look look;
    try {
        look = lookOf(options);
        figure = plot::buildDistributionFigure(
            readTable(options.results),
            {options.rows, options.columns, options.statistics, options.greek, options.title});
        const std::string problem = plot::distributionFitProblem(figure, *format, look);
        if (!problem.empty())
            throw InputError(options.results + ": " +
                             (options.size.empty() ? "the figure needs " : "--size " + options.size + " leaves ") +
                             problem +
                             "; spread the panels with --rows and --columns, choose fewer with --statistics, "
                             "or give --size");
    } catch (const InputError& e) {
        err << prefix << printableText(e.what()) << '\n';
        return 2;
    }
    return plot::renderWithGnuplot(
        options.gnuplot, options.output,
        [&](const std::string& path) { return plot::distributionScript(figure, *format, path, look); }, err, prefix,
        timeLimitOf(options));
}
