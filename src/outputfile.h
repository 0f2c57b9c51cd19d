// A file written piece by piece under a name of its own (a partial results
// or per-series file that a resumed run continues), whose every failure is
// kept with the system's message for the caller to put after the file's
// name.  Whole files are written through a temporary name (atomicfile.h),
// and input files read under a ceiling (boundedread.h).
#pragma once

#include <cstdio>
#include <string>

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // mode as for fopen: "wb" creates or empties, "ab" appends.
    bool open(const std::string& path, const char* mode);
    // The first failure is remembered, and every later call then fails too.
    bool write(const std::string& text);
    bool flush();
    bool close();

    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    std::FILE* f_ = nullptr;
    std::string path_;
    std::string error_;
};
