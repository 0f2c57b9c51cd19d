#include "csv.h"

#include "messagetext.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The encoding a byte-order mark other than UTF-8's names; null without one.
const char* otherEncoding(std::string_view text) {
    using namespace std::string_view_literals;
    if (text.starts_with("\xFF\xFE\0\0"sv) || text.starts_with("\0\0\xFE\xFF"sv)) return "UTF-32";
    if (text.starts_with("\xFF\xFE"sv) || text.starts_with("\xFE\xFF"sv)) return "UTF-16";
    return nullptr;
}

}  // namespace

CsvReader::CsvReader(std::string_view text, CsvLimits limits) : text_(text), limits_(limits) {
    if (text_.size() > limits_.maxTextBytes) {
        fail(CsvError::Kind::LargeText, 1, 1, 0,
             "the file is larger than " + sizeText(limits_.maxTextBytes));
        return;
    }
    if (const char* encoding = otherEncoding(text_)) {
        fail(CsvError::Kind::Encoding, 1, 1, 0,
             std::string("the file is ") + encoding + " text (it starts with a " + encoding +
                 " byte-order mark); save it as UTF-8 (\"CSV UTF-8\")");
        return;
    }
    if (text_.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        bom_ = true;
        pos_ = lineStart_ = kByteOrderMark.size();
    }
}

bool CsvReader::fail(CsvError::Kind kind, int line, int column, std::size_t offset, std::string message) {
    failed_ = true;
    error_ = CsvError{kind, line, column, offset, std::move(message)};
    return false;
}

bool CsvReader::next(CsvRecord& record) {
    while (!failed_ && pos_ < text_.size()) {
        if (!readRecord(record)) return false;
        const bool blank = record.fields.size() == 1 && !record.fields[0].quoted && record.fields[0].text.empty();
        if (!blank) return true;
    }
    return false;
}

bool CsvReader::readRecord(CsvRecord& record) {
    record.line = line_;
    record.begin = pos_;
    record.terminated = false;
    std::size_t count = 0;
    for (;;) {
        if (record.fields.size() <= count) record.fields.emplace_back();
        if (!readField(record.fields[count++], record)) return false;
        if (pos_ - record.begin > limits_.maxRecordBytes)
            return fail(CsvError::Kind::LongRecord, record.line, 1, record.begin,
                        "the line is longer than " + sizeText(limits_.maxRecordBytes));
        if (pos_ < text_.size() && text_[pos_] == ',') {
            ++pos_;
            continue;
        }
        record.fields.resize(count);
        if (pos_ < text_.size()) {  // a line end
            pos_ += text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n' ? 2 : 1;
            ++line_;
            lineStart_ = pos_;
            record.terminated = true;
        }
        record.end = pos_;
        return true;
    }
}

bool CsvReader::readField(CsvField& field, const CsvRecord& record) {
    field.column = columnAt(pos_);
    field.quoted = false;
    field.text.clear();
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '"') return readQuoted(field, record);
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != ',' && !isLineEnd(text_[pos_])) ++pos_;
    std::size_t stop = pos_;
    while (stop > start && isBlank(text_[stop - 1])) --stop;
    field.text.assign(text_.substr(start, stop - start));
    return true;
}

bool CsvReader::readQuoted(CsvField& field, const CsvRecord& record) {
    field.quoted = true;
    const int openLine = line_;
    const int openColumn = columnAt(pos_);
    ++pos_;  // the opening quote
    for (;;) {
        const std::size_t quote = text_.find('"', pos_);
        if (quote == std::string_view::npos)
            return fail(CsvError::Kind::OpenQuote, openLine, openColumn, record.begin,
                        "a quoted field is not closed before the end of the file");
        // Line breaks inside the field still count as lines.
        for (std::size_t i = pos_; i < quote; ++i) {
            const char c = text_[i];
            if (c == '\n' || (c == '\r' && !(i + 1 < quote && text_[i + 1] == '\n'))) {
                ++line_;
                lineStart_ = i + 1;
            }
        }
        field.text.append(text_.substr(pos_, quote - pos_));
        pos_ = quote + 1;
        if (pos_ < text_.size() && text_[pos_] == '"') {  // a doubled quote
            field.text += '"';
            ++pos_;
            continue;
        }
        break;
    }
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] != ',' && !isLineEnd(text_[pos_]))
        return fail(CsvError::Kind::TextAfterQuote, line_, columnAt(pos_), record.begin,
                    "text after the closing quote of a field");
    return true;
}

std::string csvField(std::string_view text) {
    const bool plain = !text.empty() && text.find_first_of(",\"\r\n") == std::string_view::npos &&
                       !isBlank(text.front()) && !isBlank(text.back());
    if (plain) return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}
