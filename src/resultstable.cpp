#include "resultstable.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>

namespace plot {

namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

struct Record {
    int line = 0;
    std::vector<std::string> fields;
};

// Splits the whole text into records; a record's line is where it starts.
std::vector<Record> splitRecords(const std::string& text, const std::string& name) {
    std::vector<Record> records;
    Record current;
    std::string field;
    bool quoted = false;      // inside a quoted field
    bool fieldStarted = false;
    int line = 1;
    int quoteLine = 0;

    const auto endField = [&] {
        current.fields.push_back(field);
        field.clear();
        fieldStarted = false;
    };
    const auto endRecord = [&] {
        endField();
        const bool blank = current.fields.size() == 1 && trimmed(current.fields[0]).empty();
        if (!blank) records.push_back(std::move(current));
        current = Record{};
    };

    current.line = line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == '\n') ++line;
                field += c;
            }
            continue;
        }
        if (c == '"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
            quoteLine = line;
        } else if (c == ',') {
            endField();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            endRecord();
            ++line;
            current.line = line;
        } else {
            field += c;
            if (c != ' ' && c != '\t') fieldStarted = true;
        }
    }
    if (quoted) {
        throw InputError(name + ":" + std::to_string(quoteLine) +
                         ": a quoted field is not closed before the end of the file");
    }
    endRecord();
    return records;
}

}  // namespace

int ResultsTable::column(std::string_view columnName) const {
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (header[i] == columnName) return static_cast<int>(i);
    }
    return -1;
}

int ResultsTable::requireColumn(std::string_view columnName, std::string_view purpose) const {
    const int col = column(columnName);
    if (col < 0) {
        throw InputError(name + ": no column '" + std::string(columnName) + "' in the header (" +
                         std::string(purpose) + ")");
    }
    return col;
}

std::string ResultsTable::where(std::size_t row, int col) const {
    return name + ":" + std::to_string(lines[row]) + ":" + std::to_string(col + 1);
}

std::optional<double> ResultsTable::number(std::size_t row, int col) const {
    const std::string& text = rows[row][static_cast<std::size_t>(col)];
    std::optional<double> value;
    if (!parseCell(text, value)) {
        throw InputError(where(row, col) + ": '" + text + "' in column " +
                         header[static_cast<std::size_t>(col)] + " is not a number, NA, NaN or Inf");
    }
    return value;
}

bool parseCell(std::string_view text, std::optional<double>& value) {
    text = trimmed(text);
    value.reset();
    if (text.empty() || text == "NA") return true;
    bool negative = false;
    std::string_view body = text;
    if (body.front() == '+' || body.front() == '-') {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    if (equalNoCase(body, "nan")) {
        value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (equalNoCase(body, "inf") || equalNoCase(body, "infinity")) {
        value = negative ? -std::numeric_limits<double>::infinity()
                         : std::numeric_limits<double>::infinity();
        return true;
    }
    if (body.empty() || body.front() == '+' || body.front() == '-') return false;
    double parsed = 0.0;
    const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), parsed);
    if (end != body.data() + body.size()) return false;
    if (ec == std::errc::result_out_of_range) {
        // Beyond a double's range: an infinity or zero, as strtod reads it.
        parsed = std::strtod(std::string(body).c_str(), nullptr);
    } else if (ec != std::errc()) {
        return false;
    }
    value = negative ? -parsed : parsed;
    return true;
}

std::string factorText(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
    char buffer[64];
    if (std::fabs(value) <= static_cast<double>(std::numeric_limits<float>::max())) {
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value));
        return std::string(buffer, result.ptr);
    }
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

ResultsTable readResultsTable(std::istream& in, const std::string& name) {
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) throw InputError(name + ": cannot be read");
    std::vector<Record> records = splitRecords(text, name);
    if (records.empty()) throw InputError(name + ": the file is empty (no header line)");

    ResultsTable table;
    table.name = name;
    for (auto& field : records.front().fields) {
        std::string column(trimmed(field));
        if (table.header.empty() && column.size() >= 3 && column.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            column.erase(0, 3);  // a byte-order mark some editors put in front
        }
        if (column.empty()) {
            throw InputError(name + ":" + std::to_string(records.front().line) + ":" +
                             std::to_string(table.header.size() + 1) + ": empty column name in the header");
        }
        if (table.column(column) >= 0) {
            throw InputError(name + ":" + std::to_string(records.front().line) + ":" +
                             std::to_string(table.header.size() + 1) + ": column '" + column +
                             "' appears twice in the header");
        }
        table.header.push_back(std::move(column));
    }
    for (std::size_t r = 1; r < records.size(); ++r) {
        Record& record = records[r];
        if (record.fields.size() != table.header.size()) {
            throw InputError(name + ":" + std::to_string(record.line) + ": " +
                             std::to_string(record.fields.size()) + " fields, but the header has " +
                             std::to_string(table.header.size()) + " columns");
        }
        for (auto& field : record.fields) field = std::string(trimmed(field));
        table.rows.push_back(std::move(record.fields));
        table.lines.push_back(record.line);
    }
    return table;
}

}  // namespace plot
