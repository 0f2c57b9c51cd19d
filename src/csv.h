// The one CSV dialect of the study's files (designs, results, per-series
// values), read and written alike everywhere:
//
// - Fields are separated by commas.  A field may be enclosed in double
//   quotes, with "" for a quote inside; a quoted field may hold commas and
//   line breaks.  Blanks (spaces, tabs) around a field are not part of it.
// - Records end at LF, CRLF or a lone CR; the last one may lack a line end.
//   Blank lines are skipped.
// - A UTF-8 byte-order mark at the start of the text is skipped; columns
//   are counted after it.  A UTF-16 or UTF-32 one (a spreadsheet's
//   "Unicode text") is refused with a message that names it.
// - Cells hold text; the number texts (numbertext.h) and NA are the
//   readers' business.
//
// The reader stops at a size per record (1 MiB unless told otherwise: rows
// of the study's files are a few hundred bytes) and per text.  Its errors carry
// the line (from 1) and the byte column (from 1) where the problem is.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

struct CsvField {
    std::string text;  // without the quotes and the blanks around
    int column = 1;    // byte column of the field's start (its blanks included) on its line
    bool quoted = false;
};

struct CsvRecord {
    std::vector<CsvField> fields;
    int line = 1;             // the line the record starts on
    std::size_t begin = 0;    // offset of its first byte in the text
    std::size_t end = 0;      // offset just past its line end (or the text's end)
    bool terminated = false;  // ended by a line end, not by the end of the text
};

struct CsvLimits {
    std::size_t maxRecordBytes = std::size_t{1} << 20;
    std::size_t maxTextBytes = std::numeric_limits<std::size_t>::max();
};

struct CsvError {
    enum class Kind {
        OpenQuote,       // a quoted field runs to the end of the text
        TextAfterQuote,  // something other than a separator follows a closing quote
        LongRecord,      // a record longer than the limit
        LargeText,       // a text larger than the limit
        Encoding         // a text in UTF-16 or UTF-32
    };
    Kind kind = Kind::OpenQuote;
    int line = 1;
    int column = 1;
    std::size_t offset = 0;  // where the record in error starts
    std::string message;
};

class CsvReader {
public:
    explicit CsvReader(std::string_view text, CsvLimits limits = {});

    // Reads the next record that is not blank.  False at the end of the text
    // and after an error; error() tells which.
    bool next(CsvRecord& record);

    // The problem that stopped the reader; null while there is none.
    const CsvError* error() const { return failed_ ? &error_ : nullptr; }

    // Whether the text started with a byte-order mark.
    bool hadByteOrderMark() const { return bom_; }

private:
    bool readRecord(CsvRecord& record);
    bool readField(CsvField& field, const CsvRecord& record);
    bool readQuoted(CsvField& field, const CsvRecord& record);
    bool fail(CsvError::Kind kind, int line, int column, std::size_t offset, std::string message);
    int columnAt(std::size_t offset) const { return static_cast<int>(offset - lineStart_) + 1; }

    std::string_view text_;
    CsvLimits limits_;
    std::size_t pos_ = 0;
    std::size_t lineStart_ = 0;
    int line_ = 1;
    bool bom_ = false;
    bool failed_ = false;
    CsvError error_;
};

// A field as the reader reads it back: quoted when it holds a comma, a quote,
// a line break or blanks at either end, or when it is empty (so that a record
// of one empty field is not a blank line).
std::string csvField(std::string_view text);
