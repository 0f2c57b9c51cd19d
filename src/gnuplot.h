// The plotting engine: gnuplot run on a generated script under a time limit,
// its picture written to a temporary file beside the output, checked whole,
// flushed to disk and only then renamed into place.
//
// Contract of renderWithGnuplot(program, output, makeScript, err, prefix,
// timeLimit):
// - `program` is found on PATH when it has no slash.  The script is
//   makeScript(picturePath); picturePath is the name by which gnuplot
//   reaches the picture ("/dev/fd/3", the temporary file handed to it as
//   descriptor 3), so the script never holds the output's own path; put it
//   in "set output" through gnuplotString.  The script reaches gnuplot on
//   standard input from an anonymous in-memory file (no pipe to block on);
//   gnuplot's standard output goes to /dev/null, and the first 16 KiB of its
//   standard error are kept for a failure message, shown printable.
// - Returns 0 when the picture is in place at `output`: gnuplot exited with
//   status 0 within timeLimit, the file is a complete picture of the
//   output's format (picturecheck.h), and it was fsynced, renamed over
//   `output` and its directory fsynced.
// - Returns 1 after one line starting with `prefix` on err (gnuplot's own
//   messages may follow) when gnuplot is missing, cannot start, fails, is
//   killed by a signal, writes an empty or incomplete picture, or does not
//   finish within timeLimit (it is then killed with SIGKILL); when the
//   picture cannot be written; and at once, without running gnuplot, when
//   the output's name gives no picture format.
// - SIGINT, SIGTERM and SIGHUP that arrive while gnuplot runs are taken by
//   this function (blocked and read through a signalfd), unless the process
//   ignores them (nohup, a background job of a script), in which case they
//   stay ignored, for gnuplot too.  A signal taken: gnuplot is killed,
//   and the result is 130 for SIGINT, 1 for the others, after a line saying
//   so.  Checked once more just before the rename, so an interrupted
//   picture never replaces the output.
// - Whatever the result other than 0, the output is as it was (an earlier
//   picture stays) and no temporary file is left beside it.  The process
//   umask and other process-wide settings are not changed; the signal mask
//   of the calling thread and the SIGCHLD disposition are restored on
//   return.
// - Call it from a process whose other threads (if any) block SIGINT,
//   SIGTERM and SIGHUP; otherwise such a signal may end the process the
//   default way before the temporary file is removed.
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "gnuplottext.h"
#include "picturecheck.h"

namespace plot {

// The Debian package that provides the engine, named in messages.
inline constexpr const char* kGnuplotPackage = "gnuplot-nox";

// How long gnuplot may take by default: a figure of thousands of panels
// takes a few seconds, so a minute means it hangs.
inline constexpr std::chrono::milliseconds kGnuplotTimeLimit{60'000};

int renderWithGnuplot(const std::string& program, const std::string& output,
                      const std::function<std::string(const std::string& picturePath)>& makeScript,
                      std::ostream& err, const std::string& prefix,
                      std::chrono::milliseconds timeLimit = kGnuplotTimeLimit);

}  // namespace plot
