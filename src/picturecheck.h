// Picture formats: which one an output name asks for, and whether a file
// that claims to be one is whole.  A renderer that ran out of disk space can
// exit as if all went well after writing half a picture; this is how such a
// file is told from a finished one before it replaces anything.
//
// Contract:
// - imageFormatOf(path) is the format named by the extension (".svg" or
//   ".png", any letter case); nullopt for any other name.
// - pictureProblem(fd, format) reads the open file (by offset; the file
//   position is not used) and is empty for a complete picture, otherwise a
//   phrase for "gnuplot wrote ...":
//     SVG: "<svg" within the first 4 KiB, and the file ends with the root's
//          closing "</svg>" (trailing white space allowed);
//     PNG: the 8-byte signature, IHDR first, every chunk whole, and the file
//          ends exactly after an IEND chunk with its fixed checksum.
//   Phrases: "an empty picture", "a picture without the SVG root element",
//   "an incomplete picture (the SVG ends before its closing </svg>)",
//   "a file that is not a PNG picture", "an incomplete picture (the PNG
//   ends inside a chunk)", "an incomplete picture (the PNG has no IEND
//   chunk)", "a PNG picture with bytes after its IEND chunk",
//   "a picture that cannot be read: <reason>".
// - Reads at most 4 KiB plus one chunk header per PNG chunk; never the whole
//   file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plot {

enum class ImageFormat { Svg, Png };

std::optional<ImageFormat> imageFormatOf(std::string_view path);

std::string pictureProblem(int fd, ImageFormat format);

}  // namespace plot
