// Reading a whole input file into memory under a ceiling on its size, so
// that a device (/dev/zero), a FIFO fed forever or a huge mistaken file ends
// in a clear message instead of exhausting memory.
//
// Contract:
// - readBoundedFile(path, limit, text, error) is true with the file's bytes
//   in text when it holds at most `limit` bytes.  Otherwise it is false,
//   text is empty, and error is one phrase for "PATH: " to precede:
//       cannot be opened: No such file or directory
//       is a directory
//       cannot be read: Input/output error
//       is larger than 1 GiB, the limit for one input file
//       has a line longer than 1 MiB (line 1), the limit for one line
// - A regular file larger than the limit is refused by its size before a
//   byte is read; anything else (FIFO, pipe, character device) is read until
//   its end or until limit + 1 bytes have come, whichever is first.  Memory:
//   the file's size for a regular file; for others at most about twice the
//   limit while the text grows.
// - With a line limit, a line (bytes up to a line feed or carriage return)
//   longer than it stops the reading as soon as it is seen: /dev/zero or a
//   binary file given for a table costs a megabyte, not the file limit.
// - Reads block as read(2) does: a FIFO without a writer waits for one.
// - The limits below are the documented ceilings of the program's readers.
#pragma once

#include <cstdint>
#include <string>

// Designs, results files and their parts: 1 GiB holds millions of rows.
inline constexpr std::uint64_t kInputFileLimit = std::uint64_t{1} << 30;
// Sidecars: a JSON document parsed whole; 64 MiB holds millions of ids.
inline constexpr std::uint64_t kSidecarFileLimit = std::uint64_t{64} << 20;
// One line of a design or results file: a row is a few hundred bytes.
inline constexpr std::uint64_t kInputLineLimit = std::uint64_t{1} << 20;
inline constexpr std::uint64_t kNoLineLimit = 0;

bool readBoundedFile(const std::string& path, std::uint64_t limit, std::string& text, std::string& error,
                     std::uint64_t lineLimit = kNoLineLimit);
