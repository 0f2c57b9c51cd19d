#include "resultsread.h"

#include "messagetext.h"

namespace {

using Reader = TableReader<ResultRow>;

class BlockReader {
public:
    BlockReader(std::string_view text, const StatisticsOf& statistics, CsvLimits limits, ResultsReading& reading)
        : text_(text), statistics_(statistics), reading_(reading),
          reader_(text, resultColumns(reading.formatVersion), HeaderRule::Exact, limits) {}

    void read() {
        if (headerCutShort() || !readHeader()) return;
        ResultRow row;
        std::vector<TableProblem> problems;
        for (;;) {
            const Reader::RowStatus status = reader_.next(row, problems);
            if (status == Reader::RowStatus::End) return endOfText();
            if (!reader_.record().terminated) {  // a line cut short, however it ends
                reading_.tornTail = true;
                return;
            }
            if (status == Reader::RowStatus::Unreadable) {
                fail(problems.front());
                return;
            }
            if (!add(row)) return;
        }
    }

private:
    // An interruption within the header leaves a beginning of it (after a
    // byte-order mark, which the reader passes over), of any version's.
    bool headerCutShort() {
        std::string_view text = text_;
        if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
        for (int version = kOldestResultsFormatVersion; version <= kResultsFormatVersion; ++version) {
            const std::string header = resultsHeader(version);
            if (text.size() < header.size() && header.compare(0, text.size(), text) == 0) {
                reading_.tornTail = !text.empty();
                return true;
            }
        }
        return false;
    }

    bool readHeader() {
        std::vector<TableProblem> problems;
        if (reader_.readHeader(problems)) {
            reading_.headerEnd = reader_.record().end;
            return true;
        }
        if (const CsvError* e = reader_.csvError()) return fail({e->line, e->column, e->message});
        TableProblem p = problems.empty() ? TableProblem{1, 1, "no header"} : problems.front();
        p.message = "not a results file: " + p.message;
        return fail(p);
    }

    void endOfText() {
        if (const CsvError* e = reader_.csvError()) {
            if (e->kind == CsvError::Kind::OpenQuote) {
                reading_.tornTail = true;
                return;
            }
            fail({e->line, e->column, e->message});
            return;
        }
        reading_.tornTail = open_;
    }

    bool fail(TableProblem problem) {
        reading_.error = std::move(problem);
        return false;
    }

    bool failHere(const std::string& message) { return fail({reader_.record().line, 1, message}); }

    // Takes one row into the condition it belongs to; false on an error.
    bool add(const ResultRow& row) {
        const int id = row.condition.id;
        if (!open_ && !startBlock(row)) return false;
        const ResultRow& first = current_.rows.empty() ? row : current_.rows.front();
        if (id != first.condition.id) return failHere("condition " + std::to_string(first.condition.id) + " is incomplete");
        if (!sameCondition(row.condition, first.condition) || row.nSim != first.nSim || row.seed != first.seed)
            return failHere("the rows of condition " + std::to_string(id) +
                            " differ in their design values, n_sim or seed");
        const std::size_t k = current_.rows.size();
        if (k >= expected_.size() || row.statistic != statisticInfo(expected_[k]).label)
            return failHere("unexpected statistic " + quotedExcerpt(row.statistic) + " for condition " +
                            std::to_string(id));
        current_.rows.push_back(row);
        current_.lines.push_back(reader_.record().line);
        if (current_.rows.size() == expected_.size()) {
            current_.end = reader_.record().end;
            reading_.blocks.push_back(std::move(current_));
            current_ = ResultBlock{};
            open_ = false;
        }
        return true;
    }

    bool startBlock(const ResultRow& row) {
        const int id = row.condition.id;
        if (!reading_.blocks.empty() && id <= reading_.blocks.back().id())
            return failHere("condition " + std::to_string(id) + " is out of order or repeated");
        const int option = static_cast<int>(row.condition.option);
        if (option != 1 && option != 2) return failHere("option must be 1 or 2, found " + std::to_string(option));
        expected_ = statistics_(row.condition.option);
        open_ = true;
        return true;
    }

    std::string_view text_;
    const StatisticsOf& statistics_;
    ResultsReading& reading_;
    Reader reader_;
    ResultBlock current_;
    std::vector<Statistic> expected_;  // the current condition's statistics
    bool open_ = false;                // a condition has begun and is not complete
};

}  // namespace

ResultsReading readResults(std::string_view text, const StatisticsOf& statistics, CsvLimits limits) {
    ResultsReading reading;
    reading.formatVersion = resultsFormatOf(text, limits);
    BlockReader(text, statistics, limits, reading).read();
    return reading;
}

bool keptSeries(std::string_view text, const std::vector<ResultBlock>& kept, std::size_t& keep,
                std::string& error, CsvLimits limits) {
    TableReader<SeriesRow> reader(text, seriesColumns(), HeaderRule::Exact, limits);
    std::vector<TableProblem> problems;
    if (!reader.readHeader(problems) || !reader.record().terminated) {
        keep = 0;
        if (kept.empty()) return true;
        error = "its header differs";
        return false;
    }
    keep = reader.record().end;
    SeriesRow series;
    for (const ResultBlock& block : kept) {
        for (const ResultRow& row : block.rows) {
            for (int i = 1; i <= row.nSim; ++i) {
                const bool read = reader.next(series, problems) == TableReader<SeriesRow>::RowStatus::Read &&
                                  reader.record().terminated;
                if (!read || series.conditionId != block.id() || series.statistic != row.statistic ||
                    series.series != i) {
                    error = "it does not hold every series of condition " + std::to_string(block.id());
                    return false;
                }
                keep = reader.record().end;
            }
        }
    }
    return true;
}
