// The console seam: the dialogue reads entries from an input source and
// writes through an output sink, so whole sessions can be scripted.  A C
// stream is written through CheckedFileOutput (checkedoutput.h), which
// reports a failed write.
#pragma once

#include <cstdio>
#include <string>

#include "letters.h"

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

    // How the Greek letters are written here: code page 437 unless set.
    Encoding encoding() const { return encoding_; }
    void setEncoding(Encoding encoding) { encoding_ = encoding; }
    const char* letter(Letter l) const { return letterText(l, encoding_); }

private:
    Encoding encoding_ = Encoding::Cp437;
};

class FileInput : public Input {
public:
    explicit FileInput(std::FILE* file) : file_(file) {}
    int get() override;

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

// Formatted writing to an Output.
void writeText(Output& out, const std::string& text);
void writeFormat(Output& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
