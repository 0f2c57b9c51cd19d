// The note on entries that are not each one number: read through the
// dialogue's entry reader, as a run reads them, up to the dropped rest of
// the last line.
#include "entrynote.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "numbertext.h"

namespace {

// Reads the named entries from text as a run does (names starting with
// "N_" as whole numbers, the rest as numbers, each starting at 0), then
// drops the rest of the line; the note.
std::string noteFor(const std::string& text, const std::vector<const char*>& names) {
    StringInput in(text);
    Scanner scan(in);
    scan.startRecord();
    std::vector<EntryRead> entries;
    for (const char* name : names) {
        const std::size_t begin = scan.taken();
        ReadStatus status;
        std::string value;
        if (std::string(name).rfind("N_", 0) == 0) {
            int n = 0;
            status = scan.readInt(n);
            value = std::to_string(n);
        } else {
            float x = 0.0f;
            status = scan.readFloat(x);
            value = parameterText(x);
        }
        if (status == ReadStatus::End) break;
        entries.push_back({name, status, begin, scan.taken(), value});
    }
    scan.discardLine();
    return entryNote(scan.record(), entries);
}

}  // namespace

TEST(EntryNote, NoneWhenEveryEntryIsOneNumber) {
    EXPECT_EQ(noteFor("3 4 0.5 -1e-3 nan\n", {"N_A", "N_B", "a", "b", "c"}), "");
    EXPECT_EQ(noteFor("3\n\t4  0x1p-2\r\ninf\n", {"N_A", "N_B", "a", "b"}), "") << "entries over lines";
    EXPECT_EQ(noteFor("3 4 5 extra words\n", {"N_A", "N_B", "a"}), "") << "the rest after the last entry";
    EXPECT_EQ(noteFor("", {"N_A"}), "");
}

TEST(EntryNote, SaysWhatWasReadAndWhatKeptItsValue) {
    EXPECT_EQ(noteFor("1 2,5 3\n", {"a", "b", "c"}),
              "'2,5' (b) was read as 2: a number ends at ','; the decimal point is '.'. "
              "Not read, so kept as they were: c = 0");
    EXPECT_EQ(noteFor("-99999999999 3\n", {"N_A", "N_B"}),
              "'-99999999999' (N_A) is out of range. Not read, so kept as they were: N_A = 0");
    EXPECT_EQ(noteFor("- 3\n", {"a", "b"}), "'-' (a) is not a number. Not read, so kept as they were: a = 0");
    EXPECT_EQ(noteFor("1 abc 3\n", {"a", "b", "c"}),
              "'abc' (b) is not a number. Not read, so kept as they were: b = 0, c = 0");
    // A second dot starts the next entry, which reads: nothing kept.
    EXPECT_EQ(noteFor("1.5.5 2\n", {"a", "b", "c"}),
              "'1.5.5' (a) was read as 1.5: a number ends at '.'. What follows it was read as the next entry");
    EXPECT_EQ(noteFor("1 2 0.4x\n", {"a", "b", "c"}),
              "'0.4x' (c) was read as 0.4: a number ends at 'x'. The rest of its line was dropped");
    // An integer entry that takes a decimal: N_A reads 10, N_B meets ".5".
    EXPECT_EQ(noteFor("10.5 3 1\n", {"N_A", "N_B", "a"}),
              "'10.5' (N_A) was read as 10: a number ends at '.'. Not read, so kept as they were: N_B = 0");
    // Out of range: consumed whole and unreadable; the next entry reads.
    EXPECT_EQ(noteFor("4294967297 3\n", {"N_A", "N_B"}),
              "'4294967297' (N_A) is out of range. Not read, so kept as they were: N_A = 0");
}

TEST(EntryNote, ShowsTheEntryPrintableAndShort) {
    const std::string note = noteFor("\x01\xff" + std::string(100, 'x') + "\n", {"a"});
    EXPECT_EQ(note.find('\x01'), std::string::npos);
    EXPECT_NE(note.find("\\x01\\xff"), std::string::npos) << note;
    EXPECT_NE(note.find("(102 bytes)"), std::string::npos) << note;
    EXPECT_EQ(note.find('\n'), std::string::npos);
}
