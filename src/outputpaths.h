// Checks of a command's output paths made before any work starts: no output
// is one of the inputs or another output, and none exists as anything but a
// regular file.  They catch mistakes (-o naming the design, --per-series
// naming the results file, -o /dev/null, -o naming a directory) at once,
// instead of after hours of work or by destroying a file.
//
// Contract:
// - A path's file identity: for a file that exists (symbolic links
//   followed), its device and inode, so hard links, symbolic links and other
//   spellings of one file are one identity.  For a name that does not exist
//   (or a dangling symbolic link, which a rename replaces), the device and
//   inode of its directory plus its last name; when the directory does not
//   exist either, the absolute path with "." and ".." resolved.  Two
//   identities are equal only when both are of the same kind.
// - outputKindProblem(output) is empty for an output that does not exist or
//   is a regular file (directly or through symbolic links); otherwise a
//   phrase naming the path and what it is:
//       "out (the results file) is a directory, not a regular file"
//   Directories, character and block devices, FIFOs and sockets are refused,
//   and symbolic links to them ("... is a symbolic link to a directory").
// - pathClash(inputs, outputs) is empty when every output has an identity of
//   its own, different from every input's; otherwise it names the first
//   clash found (outputs in order, each against the inputs, then against the
//   earlier outputs):
//       "./d.csv (the results file) and d.csv (the design) are the same file"
// - checkOutputPaths runs outputKindProblem on every output, then pathClash;
//   the first problem is returned.  A command prints it after its prefix and
//   exits with status 2.
// - Paths appear in messages through printableText.  Nothing is created or
//   changed.  The checks see the file system at one instant: they guard
//   against mistakes, not against another process renaming files meanwhile.
//   On a file system that ignores letter case, two spellings of one name
//   that does not exist yet count as two files.
// Every path a command will write belongs in `outputs`: the output itself
// and every fixed name it implies (FILE.partial, FILE.json, FILE.lock, ...).
// A temporary made by PendingFile (atomicfile.h) needs no check: it is
// created new under a name no other file has.
#pragma once

#include <string>
#include <vector>

struct NamedPath {
    std::string path;
    std::string role;  // "the design", "the results file", "the partial results file", ...
};

std::string outputKindProblem(const NamedPath& output);

std::string pathClash(const std::vector<NamedPath>& inputs, const std::vector<NamedPath>& outputs);

std::string checkOutputPaths(const std::vector<NamedPath>& inputs, const std::vector<NamedPath>& outputs);
