// The console seam: the dialogue reads entries from an input source and
// writes through an output sink, so whole sessions can be scripted.
#pragma once

#include <cstdio>
#include <string>

class Input {
public:
    virtual ~Input() = default;
    // Next byte (0 .. 255), or -1 at the end of the input.
    virtual int get() = 0;
};

class Output {
public:
    virtual ~Output() = default;
    virtual void write(const char* data, std::size_t size) = 0;
    // Makes everything written so far visible.
    virtual void flush() {}
};

class FileInput : public Input {
public:
    explicit FileInput(std::FILE* file) : file_(file) {}
    int get() override;

private:
    std::FILE* file_;
};

class FileOutput : public Output {
public:
    explicit FileOutput(std::FILE* file) : file_(file) {}
    void write(const char* data, std::size_t size) override;
    void flush() override;

private:
    std::FILE* file_;
};

class StringInput : public Input {
public:
    explicit StringInput(std::string text) : text_(std::move(text)) {}
    int get() override;

private:
    std::string text_;
    std::size_t pos_ = 0;
};

class StringOutput : public Output {
public:
    void write(const char* data, std::size_t size) override { text_.append(data, size); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

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

private:
    int peek();
    void next() { has_ = false; }
    // Skips blanks and line ends; false at the end of the input.
    bool skipSpace();

    Input& in_;
    int pending_ = -1;
    bool has_ = false;
};

// Formatted writing to an Output.
void writeText(Output& out, const std::string& text);
void writeFormat(Output& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
