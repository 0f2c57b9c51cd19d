// Output to a C stream whose every write, flush and close is checked: a
// program that loses its output must say so rather than end as if all went
// well.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "console.h"

class CheckedFileOutput : public Output {
public:
    // Called with the errno value of the first failed write, flush or close.
    // The program's handler reports it and ends the process; a handler that
    // returns leaves the output failed, and everything later is dropped.
    using FailureFn = std::function<void(int error)>;

    CheckedFileOutput(std::FILE* file, FailureFn onFailure)
        : file_(file), onFailure_(std::move(onFailure)) {}

    void write(const char* data, std::size_t size) override;
    void flush() override;
    // Flushes and closes the stream; a later write or flush is a no-op.
    void close();

    bool failed() const { return failed_; }

private:
    void fail(int error);

    std::FILE* file_;
    FailureFn onFailure_;
    bool failed_ = false;
};

// The message for a failed write to standard output ("zelkor: write error:
// No space left on device"), with its line feed.
std::string writeErrorMessage(int error);

// Writes writeErrorMessage(error) to standard error and ends the process
// at once with status 1; worker threads are not waited for.
[[noreturn]] void exitOnWriteError(int error);
