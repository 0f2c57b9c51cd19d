// Files of the study commands: reading a whole file up to a limit, and
// output files whose every failure is kept with its system message, written
// whole through a temporary name where a half-written file must never stand.
// Messages are the system's own (strerror) text, for the caller to put after
// the file's name.
#pragma once

#include <cstdio>
#include <limits>
#include <string>

// Reads the whole file into text.  False with a message when it cannot be
// opened or read, or when it holds more than maxBytes.
bool readTextFile(const std::string& path, std::string& text, std::string& error,
                  std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

// An output file written piece by piece; the first failure is remembered and
// every later call then fails too.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // mode as for fopen: "wb" creates or empties, "ab" appends.
    bool open(const std::string& path, const char* mode);
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

// Writes text to path through the temporary name path + ".tmp", renamed when
// complete.  On failure a message to put after the path; nothing is left at
// the temporary name, and path is as it was.
bool writeFileAtomically(const std::string& path, const std::string& text, std::string& error);

// Renames from to to; on failure a message naming both.
bool renameFile(const std::string& from, const std::string& to, std::string& error);
