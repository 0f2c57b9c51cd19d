// The plotting engine: gnuplot run on a generated script, its picture
// written to a temporary file beside the output and renamed into place only
// when complete.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace plot {

enum class ImageFormat { Svg, Png };

// The format named by the output file's extension (".svg" or ".png", any
// letter case); nullopt for any other name.
std::optional<ImageFormat> imageFormatOf(std::string_view path);

// Text as a gnuplot string literal in single quotes, in which nothing is an
// escape except a doubled quote.  Line ends, which such a literal cannot
// hold, become blanks.
std::string gnuplotString(std::string_view text);

// The Debian package that provides the engine, named in messages.
inline constexpr const char* kGnuplotPackage = "gnuplot-nox";

// Writes the picture: creates a temporary file beside `output`, runs
// `program` (found on PATH when it has no slash) with the script that
// makeScript returns for that temporary file's path on its standard input,
// and renames the file to `output` when gnuplot succeeded and wrote
// something.  On failure nothing is left at `output` (an earlier file there
// is kept as it was), one line starting with `prefix` goes to err (the
// engine's own messages follow), and the result is 1; 0 on success.
int renderWithGnuplot(const std::string& program, const std::string& output,
                      const std::function<std::string(const std::string& picturePath)>& makeScript,
                      std::ostream& err, const std::string& prefix);

}  // namespace plot
