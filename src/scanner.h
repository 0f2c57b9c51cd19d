// The entry reader: numbers and characters read from an Input the way
// scanf's "%d", "%f" and "%c" read them.
#pragma once

#include <cstddef>
#include <string>

#include "console.h"

enum class ReadStatus {
    Ok,          // the entry was read into the variable
    Unreadable,  // no number here: the variable keeps its value
    End          // the input has ended
};

// Entry reader with the behaviour of scanf's "%d" and "%f": leading blanks and
// line ends are skipped, an entry ends at the first character that cannot
// continue it, and text that starts no number stays pending for the next read.
class Scanner {
public:
    explicit Scanner(Input& in) : in_(in) {}

    // A decimal integer.  A number outside the 32-bit range is consumed and
    // counts as unreadable.
    ReadStatus readInt(int& value);

    // A number as strtof reads it: decimal, hexadecimal, "inf", "infinity",
    // "nan" or "nan(...)", each with an optional sign.  Out-of-range decimal
    // numbers give an infinity or a (signed) zero, as strtof does.
    ReadStatus readFloat(float& value);

    // One byte, or -1 at the end of the input.
    int readChar();

    // Drops the rest of the current line, up to and including its line end.
    void discardLine();

    // The bytes taken from the input since startRecord(), for telling what
    // an entry held: the first kRecordLimit of them, and how many there were.
    static constexpr std::size_t kRecordLimit = 4096;
    void startRecord() {
        record_.clear();
        taken_ = 0;
    }
    const std::string& record() const { return record_; }
    std::size_t taken() const { return taken_; }

private:
    int peek();
    void next() {
        if (has_ && pending_ >= 0) {
            if (record_.size() < kRecordLimit) record_.push_back(static_cast<char>(pending_));
            ++taken_;
        }
        has_ = false;
    }
    // Skips blanks and line ends; false at the end of the input.
    bool skipSpace();

    Input& in_;
    int pending_ = -1;
    bool has_ = false;
    std::string record_;
    std::size_t taken_ = 0;
};
