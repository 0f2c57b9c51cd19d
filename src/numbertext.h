// The number texts of the study's files, written and read back: one text for
// a model parameter (the design's factors), one for a float the program
// computed and one for a double.  Each reads back as exactly the number that
// was written; NaN, Inf and -Inf stand for the non-finite values (R's
// spellings), NA for a value that does not exist.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::string_view kNotAvailable = "NA";

// The shortest text that reads back as the same float: "0.3", "10", "-1e-05".
std::string parameterText(float value);

// A computed single-precision value with 9 significant digits (printf's
// %.9g): enough to read back the same float, and never a shorter decimal that
// would round to two places otherwise than the value does.
std::string floatText(float value);

// The shortest text that reads back as the same double: 0.0584 rather than
// 0.058400000000000001.
std::string doubleText(double value);

// Readers of one cell's whole text, blanks around it allowed.  False when the
// text is not such a number; the value is then left as it was.
bool readWhole(std::string_view text, int& value);         // decimal, optional sign
bool readSeed(std::string_view text, std::uint32_t& value); // decimal, 0 .. 2^32 - 1
bool readCount(std::string_view text, long long& value);    // decimal, 0 or more
bool readParameter(std::string_view text, float& value);    // as strtof reads it, as the dialogue does
bool readReal(std::string_view text, double& value);        // as strtod reads it

// Whether the cell says NA (blanks around it allowed).
bool isNotAvailable(std::string_view text);
