#include "report.h"

#include "quicksort.h"
#include "variance.h"

void writeReport(Output& out, int nSim, const ModelParameters& model,
                 std::vector<StatisticRow>& rows) {
    for (auto& row : rows) sortAscending(row.values.data(), nSim);

    writeText(out, "\n\n");
    writeFormat(out, "N_SIM\t% d\tsimulation iterations\n\n", nSim);
    writeFormat(out, "N_A\t% d\tA phase length\n", model.nA);
    writeFormat(out, "N_B\t% d\tB phase length\n\n", model.nB);
    writeFormat(out, "%c1\t% .2f\tbaseline trend\n", kBeta, static_cast<double>(model.fB1));
    writeFormat(out, "%c2\t% .2f\tlevel change\n", kBeta, static_cast<double>(model.fB2));
    writeFormat(out, "%c3\t% .2f\tslope change\n\n", kBeta, static_cast<double>(model.fB3));
    writeFormat(out, "SD_A\t% .2f\tA phase SD\n", static_cast<double>(model.fSA));
    writeFormat(out, "SD_B\t% .2f\tB phase SD\n\n", static_cast<double>(model.fSB));
    writeFormat(out, "%c1\t% .2f\tAR(1) coefficient\n", kPhi, static_cast<double>(model.fAR1));
    writeFormat(out, "%c1\t% .2f\tMA(1) coefficient\n\n", kTheta, static_cast<double>(model.fMA1));
    writeText(out, "      \t MEAN\tSE\tP\t 0%\t 25%\t 50%\t 75%\t 100%\n");

    const auto at = [&](const StatisticRow& row, int index) {
        return static_cast<double>(row.values[static_cast<std::size_t>(index)]);
    };
    const int q[5] = {0, nSim / 4 - 1, nSim / 2 - 1, 3 * nSim / 4 - 1, nSim - 1};
    for (const auto& row : rows) {
        const double mean = static_cast<double>(row.sum) / nSim;
        const double se = static_cast<double>(sd(row.values.data(), nSim));
        if (row.hasTest) {
            const double share = static_cast<double>(row.significant) / nSim;
            writeFormat(out, row.format, mean, se, share, at(row, q[0]), at(row, q[1]),
                        at(row, q[2]), at(row, q[3]), at(row, q[4]));
        } else {
            writeFormat(out, row.format, mean, se, at(row, q[0]), at(row, q[1]), at(row, q[2]),
                        at(row, q[3]), at(row, q[4]));
        }
    }
}
