#include "plot.h"

#include <filesystem>

#include "distributionfigure.h"
#include "boundedread.h"
#include "powerfigure.h"
#include "sidecar.h"

namespace {

using plot::ImageFormat;
using plot::InputError;

// The picture format the output's name asks for; nullopt after a message.
std::optional<ImageFormat> outputFormat(const std::string& output, const std::string& prefix, std::ostream& err) {
    const std::optional<ImageFormat> format = plot::imageFormatOf(output);
    if (!format) {
        err << prefix << output << ": cannot tell the picture format; name the output file .svg or .png\n";
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
    if (!readBoundedFile(path, kInputFileLimit, text, error)) throw InputError(path + ": " + error);
    ResultsTable table;
    if (!readResultsTable(text, path, table, error)) throw InputError(error);
    return table;
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
    try {
        const double alpha = runAlpha(options);
        figure = plot::buildPowerFigure(readTable(options.results), {options.x, options.facet, alpha});
    } catch (const InputError& e) {
        err << prefix << e.what() << '\n';
        return 2;
    }
    return plot::renderWithGnuplot(
        options.gnuplot, options.output,
        [&](const std::string& path) { return plot::powerScript(figure, *format, path); }, err, prefix);
}

int plotDistribution(const PlotDistributionOptions& options, std::ostream& err) {
    const std::string prefix = "zelkor plot distribution: ";
    const std::optional<ImageFormat> format = outputFormat(options.output, prefix, err);
    if (!format) return 2;
    plot::DistributionFigure figure;
    try {
        figure = plot::buildDistributionFigure(readTable(options.results));
    } catch (const InputError& e) {
        err << prefix << e.what() << '\n';
        return 2;
    }
    return plot::renderWithGnuplot(
        options.gnuplot, options.output,
        [&](const std::string& path) { return plot::distributionScript(figure, *format, path); }, err, prefix);
}
