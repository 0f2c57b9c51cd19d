// The CSV dialect: fields, quotes, line ends, blank lines, the byte-order
// mark, positions for messages, limits, and what the writer quotes.
#include "csv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Records = std::vector<std::vector<std::string>>;

// Every record's fields; the text must read without an error.
Records records(std::string_view text) {
    Records out;
    CsvReader reader(text);
    CsvRecord r;
    while (reader.next(r)) {
        std::vector<std::string> fields;
        for (const CsvField& f : r.fields) fields.push_back(f.text);
        out.push_back(fields);
    }
    EXPECT_EQ(reader.error(), nullptr) << text << ": " << reader.error()->message;
    return out;
}

CsvError errorOf(std::string_view text, CsvLimits limits = {}) {
    CsvReader reader(text, limits);
    CsvRecord r;
    while (reader.next(r)) {
    }
    EXPECT_NE(reader.error(), nullptr) << text;
    return reader.error() ? *reader.error() : CsvError{};
}

}  // namespace

TEST(Csv, FieldsQuotesAndBlanks) {
    EXPECT_EQ(records("a,b,c\n1, 2 ,\t3\n"), (Records{{"a", "b", "c"}, {"1", "2", "3"}}));
    EXPECT_EQ(records("\"x, y\",\"say \"\"hi\"\"\" , \" pad \"\n"), (Records{{"x, y", "say \"hi\"", " pad "}}));
    EXPECT_EQ(records("a,,\"\"\n"), (Records{{"a", "", ""}}));
    EXPECT_EQ(records("5\"x,y\n"), (Records{{"5\"x", "y"}})) << "a quote inside an unquoted field is text";
    EXPECT_EQ(records("\"two\nlines\",b\n"), (Records{{"two\nlines", "b"}}));
}

TEST(Csv, LineEndsBlankLinesAndTheByteOrderMark) {
    EXPECT_EQ(records("a\r\nb\rc\n\n  \r\n\td\n"), (Records{{"a"}, {"b"}, {"c"}, {"d"}}));
    EXPECT_EQ(records("a,b"), (Records{{"a", "b"}})) << "the last line end may be missing";
    EXPECT_EQ(records("\xEF\xBB\xBF" "a,b\n1,2\n"), (Records{{"a", "b"}, {"1", "2"}}));
    EXPECT_EQ(records("\"\"\n"), (Records{{""}})) << "a quoted empty field is no blank line";
    EXPECT_TRUE(records("").empty());
    EXPECT_TRUE(records("\n\n").empty());
}

TEST(Csv, RecordsKnowTheirLinesOffsetsAndColumns) {
    const std::string text = "\xEF\xBB\xBF" "a, b\n\n\"x\ny\",z\nlast,one";
    CsvReader reader(text);
    CsvRecord r;
    ASSERT_TRUE(reader.next(r));
    EXPECT_TRUE(reader.hadByteOrderMark());
    EXPECT_EQ(r.line, 1);
    EXPECT_EQ(r.fields[1].column, 3) << "columns count after the mark, from the field's blanks";
    EXPECT_EQ(r.begin, 3u);
    EXPECT_EQ(r.end, 8u);
    EXPECT_TRUE(r.terminated);
    ASSERT_TRUE(reader.next(r));
    EXPECT_EQ(r.line, 3);
    EXPECT_EQ(r.fields[1].column, 4) << "on the line where the field starts";
    ASSERT_TRUE(reader.next(r));
    EXPECT_EQ(r.line, 5);
    EXPECT_FALSE(r.terminated);
    EXPECT_EQ(r.end, text.size());
    EXPECT_FALSE(reader.next(r));
    EXPECT_EQ(reader.error(), nullptr);
}

TEST(Csv, ErrorsSayWhereAndStopTheReader) {
    CsvError e = errorOf("a,b\n1,\"open\n2,3\n");
    EXPECT_EQ(e.kind, CsvError::Kind::OpenQuote);
    EXPECT_EQ(e.line, 2);
    EXPECT_EQ(e.column, 3);
    EXPECT_EQ(e.offset, 4u);
    EXPECT_EQ(e.message, "a quoted field is not closed before the end of the file");
    e = errorOf("a\n\"x\"y,2\n");
    EXPECT_EQ(e.kind, CsvError::Kind::TextAfterQuote);
    EXPECT_EQ(e.line, 2);
    EXPECT_EQ(e.column, 4);
    e = errorOf("short\nmuch longer line\n", {8, 100});
    EXPECT_EQ(e.kind, CsvError::Kind::LongRecord);
    EXPECT_EQ(e.line, 2);
    EXPECT_EQ(e.message, "the line is longer than 8 bytes");
    e = errorOf("0123456789", {100, 9});
    EXPECT_EQ(e.kind, CsvError::Kind::LargeText);
    EXPECT_EQ(e.message, "the file is larger than 9 bytes");
    // Without limits given, a record stops at 1 MiB.
    e = errorOf("a\n" + std::string((1 << 20) + 1, 'x'));
    EXPECT_EQ(e.kind, CsvError::Kind::LongRecord);
    EXPECT_EQ(e.message, "the line is longer than 1 MiB");
}

TEST(Csv, OtherByteOrderMarksAreNamed) {
    using namespace std::string_literals;
    for (const auto& [text, encoding] : {std::pair{"\xFF\xFE" "a\0,\0b\0\n\0"s, "UTF-16"},
                                         std::pair{"\xFE\xFF\0a\0,\0b\0\n"s, "UTF-16"},
                                         std::pair{"\xFF\xFE\0\0" "a\0\0\0"s, "UTF-32"},
                                         std::pair{"\0\0\xFE\xFF\0\0\0a"s, "UTF-32"}}) {
        const CsvError e = errorOf(text);
        EXPECT_EQ(e.kind, CsvError::Kind::Encoding);
        EXPECT_EQ(e.message, std::string("the file is ") + encoding + " text (it starts with a " + encoding +
                                 " byte-order mark); save it as UTF-8 (\"CSV UTF-8\")");
    }
}

TEST(Csv, WrittenFieldsReadBackAsThemselves) {
    for (const std::string text : {"plain", "0.300000012", "-Inf", "a,b", "say \"hi\"", " pad", "line\nbreak", "",
                                   "cr\rhere", "tab\t"}) {
        const std::string written = csvField(text) + "," + csvField(text) + "\n";
        EXPECT_EQ(records(written), (Records{{text, text}})) << written;
    }
    EXPECT_EQ(csvField("PL-Tau"), "PL-Tau");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
}
