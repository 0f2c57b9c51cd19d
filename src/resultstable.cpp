#include "resultstable.h"

namespace {

std::string at(const std::string& name, const TableProblem& p) {
    return name + ":" + std::to_string(p.line) + ":" + std::to_string(p.column) + ": " + p.message;
}

}  // namespace

bool readResultsTable(std::string_view text, const std::string& name, ResultsTable& table, std::string& error,
                      CsvLimits limits) {
    table = ResultsTable{};
    table.name = name;
    // A version 1 file's "se" is read as sd.
    const int version = resultsFormatOf(text, limits);
    TableReader<ResultRow> reader(text, resultColumns(version), HeaderRule::Known, limits);
    reader.passOverUnnamedFirstColumn();  // a subset written back by R's write.csv
    std::vector<TableProblem> problems;
    const bool header = reader.readHeader(problems);
    if (!header || reader.csvError() != nullptr) {
        if (const CsvError* e = reader.csvError())
            error = at(name, {e->line, e->column, e->message});
        else
            error = problems.empty() ? name + ": the file is empty (no header line)" : at(name, problems.front());
        return false;
    }
    for (std::size_t k = 0; k < resultColumns().size(); ++k) {
        const int index = resultColumnIndex(static_cast<ResultColumn>(k), version);
        table.present.push_back(index >= 0 && reader.has(static_cast<std::size_t>(index)));
    }
    ResultRow row;
    for (;;) {
        const auto status = reader.next(row, problems);
        if (status == TableReader<ResultRow>::RowStatus::End) break;
        if (status == TableReader<ResultRow>::RowStatus::Unreadable) {
            error = at(name, problems.front());
            return false;
        }
        table.rows.push_back(row);
        table.lines.push_back(reader.record().line);
        row = ResultRow{};
    }
    if (const CsvError* e = reader.csvError()) {
        error = at(name, {e->line, e->column, e->message});
        return false;
    }
    return true;
}
