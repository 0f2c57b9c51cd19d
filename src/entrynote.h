// The note the dialogue writes on standard error when a run's entries were
// not each one number: which entry, what was read instead, and which
// parameters kept the value they held.  Standard output stays as it is; the
// note only tells the user why the table looks as it does.
//
//   '0,5' (level-change) was read as 0: a number ends at ','; the decimal
//   point is '.'. Not read, so kept as they were: slope-change = 0, SD_A = 0
//
// (one line).  An entry is not one number when it is unreadable (text that
// starts no number: its parameter keeps its value) or when it is followed
// directly by a byte that is no blank or line end (the rest is read as the
// next entry, or is unreadable).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "scanner.h"

// One entry of a run as it was read.
struct EntryRead {
    const char* name;      // the parameter, as the prompt names it: "N_A", "level-change"
    ReadStatus status;
    std::size_t begin;     // bytes taken before the read (Scanner::taken)
    std::size_t end;       // and after it
    std::string value;     // what the parameter holds after the read
};

// The note for the entries of one run, read from record (the bytes taken
// since the reader's startRecord, which include the rest of the last line);
// empty when every entry was one number.  Without a line end.
std::string entryNote(std::string_view record, const std::vector<EntryRead>& entries);
