#include "analysis.h"

#include <algorithm>
#include <memory>

#include "seriesstatistics.h"

std::vector<Statistic> defaultAnalysisStatistics() { return statisticsOf(Option::EffectSizes); }

std::string caseLengthProblem(const ObservedCase& c, const std::vector<Statistic>& statistics) {
    for (const Option option : {Option::EffectSizes, Option::Varden}) {
        const auto named = std::find_if(statistics.begin(), statistics.end(),
                                         [option](Statistic s) { return statisticInfo(s).option == option; });
        const int limit = maxPhaseLength(option);
        if (named != statistics.end() && std::max(c.nA, c.nB) > limit)
            return "phases of " + std::to_string(c.nA) + " and " + std::to_string(c.nB) + " values; " +
                   statisticInfo(*named).label + " takes at most " + std::to_string(limit) + " per phase";
    }
    return {};
}

CaseOutcome analyseCase(const ObservedCase& c, const AnalysisSettings& settings) {
    const std::vector<Statistic>& wanted = settings.statistics;
    const auto ofOption = [&](Option option) {
        return std::any_of(wanted.begin(), wanted.end(), [option](Statistic s) { return statisticInfo(s).option == option; });
    };
    const float* y = c.values.data();
    std::vector<Estimate> indices(wanted.size());
    std::vector<Estimate> method(wanted.size());
    if (ofOption(Option::EffectSizes)) {
        // The table a run of these lengths reads its PND and PNCD p-values from.
        const NonOverlapTable table(c.nA, c.nB);
        SeriesWorkspace ws;
        effectSizeStatistics(c.nA, c.nB, y, wanted, indices, ws, &table);
    }
    if (ofOption(Option::Varden)) {
        // A new generator: seeding keeps a cached normal deviate, which
        // would tie the case to whatever drew before it.
        auto rng = std::make_unique<Rng>();
        sgenrand(*rng, settings.seed);
        auto ws = std::make_unique<VardenWorkspace>();
        vardenStatistics(*rng, c.nA, c.nB, y, kVardenInnerSimulations, wanted, method, *ws);
    }
    CaseOutcome out{c.name, c.nA, c.nB, c.nMissing, {}};
    for (std::size_t k = 0; k < wanted.size(); ++k)
        out.estimates.push_back(statisticInfo(wanted[k]).option == Option::Varden ? method[k] : indices[k]);
    return out;
}

std::vector<CaseOutcome> analyseCases(const std::vector<ObservedCase>& cases, const AnalysisSettings& settings) {
    std::vector<CaseOutcome> out;
    out.reserve(cases.size());
    for (const ObservedCase& c : cases) out.push_back(analyseCase(c, settings));
    return out;
}
