#include "report.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "quicksort.h"
#include "variance.h"

StatisticInfo statisticInfo(Statistic statistic) {
    switch (statistic) {
        case Statistic::PlTau: return {"PL-Tau", true};
        case Statistic::TauU: return {"Tau-U", true};
        case Statistic::MpdR: return {"MPD-r", false};
        case Statistic::Ecl: return {"ECL", false};
        case Statistic::Pnd: return {"PND", true};
        case Statistic::Pncd: return {"PNCD", true};
        case Statistic::SimD: return {"SIM-d", true};
        case Statistic::SimR: return {"SIM-r", true};
    }
    return {"?", false};
}

RowSummary summarizeRow(const StatisticRow& row) {
    const int nSim = static_cast<int>(row.values.size());
    RowSummary s;
    std::vector<float> sorted = row.values;
    sortAscending(sorted.data(), nSim);
    s.mean = static_cast<double>(row.sum) / nSim;
    s.se = static_cast<double>(sd(sorted.data(), nSim));
    s.share = static_cast<double>(row.significant) / nSim;
    // Below four iterations the lower quartiles fall back to the first value.
    const int q[5] = {0, nSim / 4 - 1, nSim / 2 - 1, 3 * nSim / 4 - 1, nSim - 1};
    for (int k = 0; k < 5; ++k)
        s.quantiles[k] = nSim > 0 ? static_cast<double>(sorted[static_cast<std::size_t>(std::max(q[k], 0))])
                                  : std::numeric_limits<double>::quiet_NaN();
    return s;
}

void writeReport(Output& out, int nSim, const ModelParameters& model,
                 const std::vector<StatisticRow>& rows) {
    const char* beta = out.letter(Letter::Beta);
    writeText(out, "\n\n");
    writeFormat(out, "N_SIM\t% d\tsimulation iterations\n\n", nSim);
    writeFormat(out, "N_A\t% d\tA phase length\n", model.nA);
    writeFormat(out, "N_B\t% d\tB phase length\n\n", model.nB);
    writeFormat(out, "%s1\t% .2f\tbaseline trend\n", beta, static_cast<double>(model.fB1));
    writeFormat(out, "%s2\t% .2f\tlevel change\n", beta, static_cast<double>(model.fB2));
    writeFormat(out, "%s3\t% .2f\tslope change\n\n", beta, static_cast<double>(model.fB3));
    writeFormat(out, "SD_A\t% .2f\tA phase SD\n", static_cast<double>(model.fSA));
    writeFormat(out, "SD_B\t% .2f\tB phase SD\n\n", static_cast<double>(model.fSB));
    writeFormat(out, "%s1\t% .2f\tAR(1) coefficient\n", out.letter(Letter::Phi),
                static_cast<double>(model.fAR1));
    writeFormat(out, "%s1\t% .2f\tMA(1) coefficient\n\n",
                out.letter(Letter::Theta), static_cast<double>(model.fMA1));
    writeText(out, "      \t MEAN\tSE\tP\t 0%\t 25%\t 50%\t 75%\t 100%\n");

    for (const auto& row : rows) {
        const StatisticInfo info = statisticInfo(row.statistic);
        const RowSummary s = summarizeRow(row);
        const double* q = s.quantiles;
        if (info.hasTest)
            writeFormat(out, "%-6s\t% .2f\t%.2f\t%.2f\t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n",
                        info.label, s.mean, s.se, s.share, q[0], q[1], q[2], q[3], q[4]);
        else
            writeFormat(out, "%-6s\t% .2f\t%.2f\t*   \t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n",
                        info.label, s.mean, s.se, q[0], q[1], q[2], q[3], q[4]);
    }
}
