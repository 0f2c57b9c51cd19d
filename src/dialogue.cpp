#include "dialogue.h"

#include <ostream>
#include <utility>

#include "entrynote.h"
#include "modelcheck.h"
#include "numbertext.h"
#include "report.h"
#include "runs.h"
#include "scanner.h"

namespace {

const char kBanner[] =
    "ZELKOR: Orvanthe\n"
    "Version 0.1 (May 2017)\n"
    "\n"
    "Monte-Carlo study of single-case AB designs\n"
    "Reads parameters from standard input; writes tables to standard output\n"
    "\n\n";

const char kWarning[] =
    "WARNING: You may specify ONLY %s OR %s. The \nautoregressive coefficient %s was used. To "
    "model \na moving average process, set %s to zero.\n";

class Dialogue {
public:
    Dialogue(Input& in, Output& out, int threads, RunFn run, std::ostream* notes)
        : scan_(in),
          out_(out),
          notes_(notes),
          threads_(threads > 0 ? threads : defaultThreadCount()),
          run_(std::move(run)),
          simulator_(threads_) {}

    int run() {
        model_.fAR1 = 0.0f;
        model_.fMA1 = 0.0f;
        writeLine(kBanner);
        writeLine("Simulation Options:\n");
        writeLine("  1: Plenar Tau\n     Tau-U\n     MPD (r)\n     ECL\n     PND\n     PNCD\n");
        writeLine("  2: VARDEN\n");
        prompt("Select effect sizes for analysis (enter 1 or 2): ");
        int menu = 0;  // an option that cannot be read is an invalid option
        scan_.readInt(menu);
        scan_.discardLine();
        writeText(out_, "\n");
        if (menu != 1 && menu != 2) {
            writeText(out_, "ERROR: You must select 1 or 2");
            out_.flush();
            return 0;
        }
        const Option option = menu == 1 ? Option::EffectSizes : Option::Varden;
        while (oneRun(option)) {
        }
        out_.flush();
        return 0;
    }

private:
    void writeLine(const char* text) {
        writeText(out_, text);
        writeText(out_, "\n");
    }

    void prompt(const char* text) {
        writeText(out_, text);
        out_.flush();
    }

    void promptLetter(const char* format, Letter letter) {
        writeFormat(out_, format, out_.letter(letter));
        out_.flush();
    }

    // Reads one run's parameters; false when the input ends before all are read.
    bool readParameters() {
        entries_.clear();
        prompt("A phase length \tN_A =\t");
        if (!readLength("N_A", model_.nA, lengthASet_)) return false;
        prompt("B phase length \tN_B =\t");
        if (!readLength("N_B", model_.nB, lengthBSet_)) return false;
        promptLetter("\nbaseline trend\t%s1 =\t", Letter::Beta);
        if (!readFloat("baseline trend", model_.fB1)) return false;
        promptLetter("level-change   \t%s2 =\t", Letter::Beta);
        if (!readFloat("level-change", model_.fB2)) return false;
        promptLetter("slope-change   \t%s3 =\t", Letter::Beta);
        if (!readFloat("slope-change", model_.fB3)) return false;
        prompt("\nA phase SD     \tSD_A =\t");
        if (!readFloat("SD_A", model_.fSA)) return false;
        prompt("B phase SD     \tSD_B =\t");
        if (!readFloat("SD_B", model_.fSB)) return false;
        promptLetter("\nautocorr (AR1) \t%s1 =\t", Letter::Phi);
        if (!readFloat("AR(1)", model_.fAR1)) return false;
        if (model_.fAR1 == 0.0f) {
            promptLetter("autocorr (MA1) \t%s1 =\t", Letter::Theta);
            if (!readFloat("MA(1)", model_.fMA1)) return false;
        }
        return true;
    }

    bool readLength(const char* name, int& length, bool& set) {
        const std::size_t begin = scan_.taken();
        const ReadStatus status = scan_.readInt(length);
        if (status == ReadStatus::Ok) set = true;
        entries_.push_back({name, status, begin, scan_.taken(), set ? std::to_string(length) : "none"});
        return status != ReadStatus::End;
    }

    bool readFloat(const char* name, float& value) {
        const std::size_t begin = scan_.taken();
        const ReadStatus status = scan_.readFloat(value);
        entries_.push_back({name, status, begin, scan_.taken(), parameterText(value)});
        return status != ReadStatus::End;
    }

    // A model that runs but is usually a slip.
    void warnSlips() {
        if (notes_ == nullptr) return;
        for (const ModelSlip slip : modelSlips(model_))
            *notes_ << "zelkor: warning: " << slipInfo(slip).what << " (" << slipInfo(slip).label << " = "
                    << parameterText(slipValue(model_, slip)) << "); the run goes on\n"
                    << std::flush;
    }

    // After the run's line is dropped: a note on an entry that was not one number.
    void noteEntries() {
        if (notes_ == nullptr) return;
        if (const std::string note = entryNote(scan_.record(), entries_); !note.empty())
            *notes_ << "zelkor: note: " << note << '\n' << std::flush;
    }

    bool lengthsValid(Option option) const {
        const int limit = maxPhaseLength(option);
        const auto valid = [limit](int n) { return n >= 1 && n <= limit; };
        return lengthASet_ && lengthBSet_ && valid(model_.nA) && valid(model_.nB);
    }

    // One run; false when the input has ended.
    bool oneRun(Option option) {
        prompt("Press ENTER to input simulation parameters...");
        if (scan_.readChar() < 0) return false;
        writeText(out_, "\n");
        scan_.startRecord();
        if (!readParameters()) return false;
        scan_.discardLine();
        noteEntries();

        if (!lengthsValid(option)) {
            writeFormat(out_,
                        "\nERROR: N_A and N_B must be whole numbers from 1 to %d; "
                        "nothing was simulated\n\n",
                        maxPhaseLength(option));
            return true;
        }

        warnSlips();
        prompt("\nSimulating cases");
        const ProgressFn dot = [this] {
            writeText(out_, ".");
            out_.flush();
        };
        const std::vector<StatisticRow> rows =
            run_ ? run_(option, model_, rng_, threads_, dot)
                 : simulator_.run(option, model_, rng_, defaultSettings(option), dot);
        writeReport(out_, iterationsOf(option), model_, rows, simulator_.summarize(rows));
        writeText(out_, "\n");
        writeLine("*Not currently available\n");
        if (static_cast<double>(model_.fAR1) * static_cast<double>(model_.fMA1) != 0.0)
            {
            const char* phi = out_.letter(Letter::Phi);
            writeFormat(out_, kWarning, phi, out_.letter(Letter::Theta), phi, phi);
        }
        return true;
    }

    Scanner scan_;
    Output& out_;
    std::ostream* notes_;  // standard error, or none
    std::vector<EntryRead> entries_;  // the current run's entries
    int threads_;
    const RunFn run_;  // the stand-in, empty for the program's own runs
    ModelParameters model_;
    bool lengthASet_ = false;
    bool lengthBSet_ = false;
    Rng rng_;
    Simulator simulator_;  // its threads start with the first run that needs them
};

}  // namespace

int runDialogue(Input& in, Output& out, int threads, RunFn run, std::ostream* notes) {
    Dialogue dialogue(in, out, threads, std::move(run), notes);
    return dialogue.run();
}
