#include "report.h"

void writeReport(Output& out, int nSim, const ModelParameters& model,
                 const std::vector<StatisticRow>& rows, const std::vector<RowSummary>& summaries) {
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

    for (std::size_t r = 0; r < rows.size(); ++r) {
        const StatisticInfo& info = statisticInfo(rows[r].statistic);
        const RowSummary& s = summaries[r];
        double q[5];
        for (int k = 0; k < 5; ++k) q[k] = static_cast<double>(s.quantiles[k]);
        const auto sd = static_cast<double>(s.sd);
        if (info.hasTest)
            writeFormat(out, "%-6s\t% .2f\t%.2f\t%.2f\t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n",
                        info.label, s.mean, sd, s.share, q[0], q[1], q[2], q[3], q[4]);
        else
            writeFormat(out, "%-6s\t% .2f\t%.2f\t*   \t% .2f\t% .2f\t% .2f\t% .2f\t% .2f\n",
                        info.label, s.mean, sd, q[0], q[1], q[2], q[3], q[4]);
    }
}
