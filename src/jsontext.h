// Arbitrary bytes (a path, a command line) stored in a JSON string, which
// must be valid UTF-8, without losing the exact bytes.
//
// Contract:
// - jsonText(bytes) is valid UTF-8: bytes unchanged when they are valid
//   UTF-8, otherwise each byte that is not part of a well-formed character
//   replaced by U+FFFD.  A JSON writer (nlohmann::json::dump) takes it
//   without an error; escaping quotes and control characters stays the
//   writer's job.  It is meant for people: different byte strings may give
//   the same text.
// - exactText(bytes) is printable ASCII from which bytesOfExactText gives
//   back the very bytes: printable ASCII except '%' passes unchanged, every
//   other byte becomes %XX (two upper-case hex digits): "bad\xff.csv" ->
//   "bad%FF.csv", "100%" -> "100%25".
// - bytesOfExactText(text, bytes) undoes exactText (hex digits of either
//   case); it is false, and bytes untouched, for a '%' without two hex
//   digits after it or a byte outside printable ASCII.
// How a file format uses them: the readable field holds jsonText(x) and,
// only when !isValidUtf8(x), a second field holds exactText(x); a reader
// takes the second field when it is there.
#pragma once

#include <string>
#include <string_view>

std::string jsonText(std::string_view bytes);

std::string exactText(std::string_view bytes);

bool bytesOfExactText(std::string_view text, std::string& bytes);
