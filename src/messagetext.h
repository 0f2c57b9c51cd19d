// Text taken from a file (a cell, a column name, a path) made fit to be
// echoed in a one-line message on a terminal, and a tally that stops a long
// list of errors after a few lines.
//
// Contract:
// - printableText(bytes) shows every byte a terminal would act on or hide as
//   an escape: tab, line feed and carriage return as \t \n \r; other C0
//   controls, DEL and bytes that are not well-formed UTF-8 as \xHH (two
//   lower-case hex digits); C1 controls and invisible format characters (the
//   byte-order mark U+FEFF, zero-width and bidirectional marks and
//   overrides, U+2028/U+2029, the soft hyphen) as \uXXXX.  Printable ASCII
//   (backslash included) and every other well-formed UTF-8 character pass
//   unchanged.  The result is valid UTF-8 without control bytes, and
//   printableText(printableText(x)) == printableText(x).
// - quotedExcerpt(bytes) is printableText of at most kExcerptCharacters
//   characters of bytes (never a character cut in half) in single quotes;
//   a longer text is cut and followed by "... (N bytes)", N its whole size:
//       'condition_id'      'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa'... (2097152 bytes)
// - ErrorReport writes the first `shown` error lines it is given and counts
//   the rest; finish() then writes one line "PREFIX and N more errors".  So
//   a reader may go on counting errors (the count stays exact) or stop once
//   full(); either way at most shown + 1 lines reach the stream.  Every line
//   passes through printableText (a no-op on text already made printable).
// - sizeText(bytes) names a size for people: "512 bytes", "64 KiB",
//   "1.5 GiB" (binary units, one decimal unless the size is a whole number
//   of the unit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

inline constexpr std::size_t kExcerptCharacters = 40;
inline constexpr int kErrorsShown = 10;

std::string printableText(std::string_view bytes);

std::string quotedExcerpt(std::string_view bytes, std::size_t characters = kExcerptCharacters);

std::string sizeText(std::uint64_t bytes);

class ErrorReport {
public:
    explicit ErrorReport(std::ostream& err, int shown = kErrorsShown) : err_(err), shown_(shown) {}

    // Writes line and a line feed while fewer than `shown` lines were
    // written; counts it either way.
    void add(std::string_view line);
    bool full() const { return count_ >= shown_; }
    int count() const { return count_; }
    // "PREFIX and N more errors" (or "error") when lines were held back.
    void finish(std::string_view prefix);

private:
    std::ostream& err_;
    int shown_;
    int count_ = 0;
};
