// grid expand: a design from factor lists.
#include <iomanip>
#include <ostream>

#include "atomicfile.h"
#include "designexpand.h"
#include "grid.h"
#include "outputpaths.h"

namespace {

const char* const kWhere = "zelkor: grid expand: ";

// Reads the factors' lists into f; false after a message.
class FactorReader {
public:
    FactorReader(FactorLists& f, int option, std::ostream& err, const char* where)
        : f_(f), option_(option), err_(err), where_(where) {}

    bool lengths(const char* name, const std::optional<std::string>& list, std::vector<int>& values) {
        if (!list) return true;
        if (!parseIntList(*list, values, error_)) return refuse(name, error_);
        const int limit = maxPhaseLength(f_.option);
        for (const int v : values)
            if (v < 1 || v > limit)
                return refuse(name, std::to_string(v) + " is outside 1.." + std::to_string(limit) + " for option " +
                                        std::to_string(option_));
        return true;
    }

    bool parameters(const char* name, const std::optional<std::string>& list, std::vector<float>& values) {
        return !list || parseFloatList(*list, values, error_) || refuse(name, error_);
    }

private:
    bool refuse(const char* name, const std::string& message) {
        err_ << where_ << name << ": " << message << "\n";
        return false;
    }

    FactorLists& f_;
    int option_;
    std::ostream& err_;
    const char* where_;
    std::string error_;
};

}  // namespace

bool readFactorLists(const ExpandOptions& options, FactorLists& f, std::ostream& err, const char* where) {
    f.option = static_cast<Option>(options.option);
    FactorReader read(f, options.option, err, where);
    return read.lengths("--n-a", options.nA, f.nA) && read.lengths("--n-b", options.nB, f.nB) &&
           read.parameters("--trend", options.trend, f.trend) && read.parameters("--level", options.level, f.level) &&
           read.parameters("--slope", options.slope, f.slope) && read.parameters("--sd-a", options.sdA, f.sdA) &&
           read.parameters("--sd-b", options.sdB, f.sdB) && read.parameters("--ar1", options.ar1, f.ar1) &&
           read.parameters("--ma1", options.ma1, f.ma1);
}

int gridExpand(const ExpandOptions& options, Output& out, std::ostream& err) {
    if (options.option != 1 && options.option != 2) {
        err << kWhere << "--option must be 1 or 2\n";
        return kExitInput;
    }
    if (!options.nA || !options.nB) {
        err << kWhere << "--n-a and --n-b are required\n";
        return kExitInput;
    }
    // A directory, a device or a FIFO at the output is refused before any
    // work; a regular file is replaced whole, and only when the design is
    // complete and flushed to disk.
    if (!options.output.empty()) {
        if (const std::string problem = outputKindProblem({options.output, "the design file"}); !problem.empty()) {
            err << kWhere << problem << "\n";
            return kExitInput;
        }
    }
    FactorLists f;
    if (!readFactorLists(options, f, err, kWhere)) return kExitInput;

    const Expansion e = expandDesign(f);
    if (e.tooMany) {
        err << kWhere << "the factors' values make " << std::fixed << std::setprecision(0)
            << static_cast<double>(e.combinations) << " combinations; a design has at most " << kMaxConditions
            << " conditions\n";
        return kExitInput;
    }
    if (e.design.empty()) {
        err << kWhere << "every combination has both ar1 and ma1 non-zero; no conditions\n";
        return kExitInput;
    }
    if (e.skipped > 0)
        err << kWhere << "left out " << e.skipped
            << " combinations with both --ar1 and --ma1 non-zero (a condition has one or the other)\n";

    warnModelSlips(e.design, kWhere, err);

    const std::string text = designText(e.design);
    if (options.output.empty()) {
        writeText(out, text);
        out.flush();
        return 0;
    }
    std::string error;
    if (!writeFileAtomically(options.output, text, error)) {
        err << "zelkor: grid expand: " << error << "\n";
        return kExitFailure;
    }
    return 0;
}
