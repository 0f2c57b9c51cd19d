// Tables of the study's files: a table's columns are declared once (name,
// how a typed row's cell is written, how a cell is read into a typed row),
// and the same declaration writes the header and the lines and reads them
// back, in the one CSV dialect (csv.h).  Readers report problems with the
// line and column where they are.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "csv.h"
#include "messagetext.h"

template <class Row>
struct TableColumn {
    const char* name;                                // as the header has it
    void (*write)(const Row& row, std::string& out);  // appends the cell's text
    bool (*read)(std::string_view text, Row& row);    // false: the text is no value of this column
    const char* expects;                             // what a cell holds, for messages: "a whole number"
    double (*number)(const Row& row) = nullptr;      // the cell as a number, for columns that hold one
    const char* title = nullptr;                     // what it holds, in words, for pictures: "A phase length"
};

template <class Row>
using Columns = std::vector<TableColumn<Row>>;

// The header line, with its line end.
template <class Row>
std::string headerLine(const Columns<Row>& columns) {
    std::string line;
    for (const auto& c : columns) {
        if (!line.empty()) line += ',';
        line += c.name;
    }
    return line + "\n";
}

// Appends one line, with its line end.
template <class Row>
void appendLine(const Columns<Row>& columns, const Row& row, std::string& out) {
    for (std::size_t k = 0; k < columns.size(); ++k) {
        if (k > 0) out += ',';
        columns[k].write(row, out);
    }
    out += '\n';
}

// What a header must hold.
enum class HeaderRule {
    Exact,     // every column, in order, and nothing else: files this program appends to
    Complete,  // every column once, in any order, and nothing else
    Known      // any of the columns, in any order; other columns are passed over
};

struct TableProblem {
    int line = 1;
    int column = 1;
    std::string message;
};

template <class Row>
class TableReader {
public:
    enum class RowStatus {
        Read,        // every cell of the row was read
        Unreadable,  // problems were added; the row holds what could be read
        End          // no more rows, or a CSV error (csvError())
    };

    TableReader(std::string_view text, const Columns<Row>& columns, HeaderRule rule, CsvLimits limits = {})
        : csv_(text, limits), columns_(columns), rule_(rule), fieldOf_(columns.size(), -1) {}

    // Reads the header.  False when the text has none (blank, or a CSV
    // error: csvError() tells) or when the header breaks the rule (problems
    // say how).
    bool readHeader(std::vector<TableProblem>& problems) {
        if (!csv_.next(record_)) return false;
        const std::size_t before = problems.size();
        headerSize_ = record_.fields.size();
        const auto problem = [&](int column, std::string message) {
            problems.push_back({record_.line, column, std::move(message)});
        };
        const auto& fields = record_.fields;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const std::string& name = fields[i].text;
            if (i == 0 && name.empty() && fields.size() > 1 && passOverUnnamedFirst_) {
                passedOverFirst_ = true;  // row names: never read
                continue;
            }
            const auto* other = std::find_if(fields.data(), fields.data() + i,
                                             [&](const CsvField& f) { return f.text == name; });
            if (other != fields.data() + i) {
                problem(fields[i].column, "column " + quotedExcerpt(name) + " appears twice in the header");
                continue;
            }
            if (name.empty() && rule_ == HeaderRule::Known) {
                problem(fields[i].column, "empty column name in the header");
                continue;
            }
            const int k = indexOf(name);
            if (k >= 0) {
                fieldOf_[static_cast<std::size_t>(k)] = static_cast<int>(i);
            } else if (rule_ != HeaderRule::Known) {
                problem(fields[i].column, "unknown column " + quotedExcerpt(name));
            }
        }
        if (rule_ != HeaderRule::Known)
            for (std::size_t k = 0; k < columns_.size(); ++k)
                if (fieldOf_[k] < 0) problem(1, std::string("missing column '") + columns_[k].name + "'");
        if (rule_ == HeaderRule::Exact && problems.size() == before)
            for (std::size_t k = 0; k < columns_.size(); ++k)
                if (fieldOf_[k] != static_cast<int>(k)) {
                    problem(fields[k].column, std::string("column '") + columns_[k].name + "' belongs here, not " +
                                                  quotedExcerpt(fields[k].text));
                    break;
                }
        return problems.size() == before;
    }

    // Lets readHeader pass over a first header field without a name, and
    // that field of every row: the row names R's write.csv puts there.
    void passOverUnnamedFirstColumn() { passOverUnnamedFirst_ = true; }
    bool passedOverFirstColumn() const { return passedOverFirst_; }

    // The fields of the header, and so of every row.
    std::size_t headerSize() const { return headerSize_; }

    // Whether the header has the column (an index into the columns).
    bool has(std::size_t column) const { return fieldOf_[column] >= 0; }

    // The column's position in the header (1-based), 0 without it.
    int position(std::size_t column) const { return fieldOf_[column] + 1; }

    // Reads the next row's cells into row, over what row held.
    RowStatus next(Row& row, std::vector<TableProblem>& problems) {
        if (!csv_.next(record_)) return RowStatus::End;
        const std::size_t expected = headerSize_;
        if (record_.fields.size() != expected) {
            problems.push_back({record_.line, 1, "expected " + std::to_string(expected) + " fields, found " +
                                                     std::to_string(record_.fields.size())});
            return RowStatus::Unreadable;
        }
        bool readable = true;
        for (std::size_t k = 0; k < columns_.size(); ++k) {
            if (fieldOf_[k] < 0) continue;
            const CsvField& f = record_.fields[static_cast<std::size_t>(fieldOf_[k])];
            if (columns_[k].read(f.text, row)) continue;
            problems.push_back({record_.line, f.column,
                                "cannot read " + quotedExcerpt(f.text) + " as " + columns_[k].expects + " (" +
                                    columns_[k].name + ")"});
            readable = false;
        }
        return readable ? RowStatus::Read : RowStatus::Unreadable;
    }

    // The record read last: its line, offsets and fields.
    const CsvRecord& record() const { return record_; }

    const CsvError* csvError() const { return csv_.error(); }

private:
    int indexOf(std::string_view name) const {
        for (std::size_t k = 0; k < columns_.size(); ++k)
            if (name == columns_[k].name) return static_cast<int>(k);
        return -1;
    }


    CsvReader csv_;
    const Columns<Row>& columns_;
    HeaderRule rule_;
    std::vector<int> fieldOf_;  // column -> header field, -1 when absent
    std::size_t headerSize_ = 0;  // fields of the header, and so of every row
    bool passOverUnnamedFirst_ = false;
    bool passedOverFirst_ = false;
    CsvRecord record_;
};
