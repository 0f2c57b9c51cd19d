#include "entrynote.h"

#include <algorithm>
#include <cctype>

#include "messagetext.h"

namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The word of record that begins at or after `from` (past blanks) and runs
// to the next blank.
std::string_view wordAt(std::string_view record, std::size_t from) {
    std::size_t begin = std::min(from, record.size());
    while (begin < record.size() && isBlank(record[begin])) ++begin;
    std::size_t end = begin;
    while (end < record.size() && !isBlank(record[end])) ++end;
    return record.substr(begin, end - begin);
}

// Whether the entry was not read whole: a byte other than a blank or a line
// end follows it directly.
bool cutShort(std::string_view record, const EntryRead& e) {
    return e.status == ReadStatus::Ok && e.end < record.size() && !isBlank(record[e.end]);
}

std::string whatWasRead(std::string_view record, const EntryRead& e) {
    const std::string_view word = wordAt(record, e.begin);
    const std::string entry = quotedExcerpt(word);
    if (e.status != ReadStatus::Ok) {
        // A whole number too large for the entry is consumed whole.
        const std::size_t digits = word.find_first_not_of("+-") == 1 ? 1 : 0;
        const bool whole = word.size() > digits && word.find_first_not_of("0123456789", digits) == std::string::npos;
        return entry + " (" + e.name + ") is " + (whole ? "out of range" : "not a number");
    }
    const char stop = record[e.end];
    std::string text = entry + " (" + e.name + ") was read as " + e.value + ": a number ends at " +
                       quotedExcerpt(std::string_view(&record[e.end], 1));
    if (stop == ',') text += "; the decimal point is '.'";
    return text;
}

}  // namespace

std::string entryNote(std::string_view record, const std::vector<EntryRead>& entries) {
    const EntryRead* first = nullptr;
    for (const EntryRead& e : entries)
        if (e.status == ReadStatus::Unreadable || cutShort(record, e)) {
            first = &e;
            break;
        }
    if (first == nullptr) return "";
    std::string note = whatWasRead(record, *first);
    std::string kept;
    for (const EntryRead& e : entries)
        if (e.status == ReadStatus::Unreadable) kept += std::string(kept.empty() ? "" : ", ") + e.name + " = " + e.value;
    if (!kept.empty())
        note += ". Not read, so kept as they were: " + kept;
    else if (first == &entries.back())
        note += ". The rest of its line was dropped";
    else
        note += ". What follows it was read as the next entry";
    return note;
}
