// The design reader on hostile bytes.  For any input:
// - every problem is one printable line of bounded length (echoed cells are
//   escaped and cut short) at a line and column inside the text, and the rows
//   are read no further once kDesignProblemLimit problems are found;
// - a design read without problems holds only conditions a run accepts:
//   positive unique ids, finite parameters, no value problem;
// - written back as a design file, it reads back as the same conditions with
//   the same fingerprint and seeds (the identity rests on the values alone).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "design.h"
#include "messagetext.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "invariant failed: %s\n", what);
    std::abort();
}

// Lines in the text: line ends of any kind, plus one.
int lineCount(std::string_view text) {
    int lines = 1;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && !(i + 1 < text.size() && text[i + 1] == '\n'))) ++lines;
    return lines;
}

bool finite(const ModelParameters& m) {
    for (const float v : {m.fB1, m.fB2, m.fB3, m.fSA, m.fSB, m.fAR1, m.fMA1})
        if (!std::isfinite(v)) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<Condition> design;
    const std::vector<DesignError> errors = parseDesign(text, design);

    const int lines = lineCount(text);
    std::size_t rowProblems = 0;
    for (const DesignError& e : errors) {
        check(printableText(e.message) == e.message, "a message is printable");
        check(e.message.size() <= 400, "a message is short");
        check(e.line >= 1 && e.line <= lines + 1 && e.column >= 1, "a problem is inside the text");
        if (e.line > 1) ++rowProblems;
    }
    check(rowProblems <= kDesignProblemLimit + 1, "the reader stops after its limit of problems");
    if (!errors.empty()) {
        check(design.empty(), "a design with problems is not handed out");
        return 0;
    }

    std::set<int> ids;
    for (const Condition& c : design) {
        check(c.id > 0 && ids.insert(c.id).second, "ids are positive and unique");
        check(finite(c.model), "parameters are finite");
        check(conditionProblem(c).empty(), "every condition is one a run accepts");
    }

    std::vector<Condition> back;
    check(parseDesign(designText(design), back).empty(), "the written design reads back");
    check(back.size() == design.size(), "as many conditions");
    for (std::size_t k = 0; k < design.size(); ++k) {
        check(sameCondition(back[k], design[k]), "the same conditions");
        check(conditionSeed(7487, back[k]) == conditionSeed(7487, design[k]), "the same seeds");
    }
    check(designHash(back) == designHash(design), "the same fingerprint");
    return 0;
}
