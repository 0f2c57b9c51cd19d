// The whole console session on stdin and stdout, like zelkor itself, but with
// the number of threads taken from the command line so that whole runs can be
// timed on one thread and on all of them.
//
//   zelkor_session [threads]     threads: 0 (the default) = all hardware threads
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "checkedoutput.h"
#include "console.h"
#include "dialogue.h"
#include "runs.h"

int main(int argc, char** argv) {
    int threads = 0;
    if (argc > 2) {
        std::fprintf(stderr, "usage: %s [threads]\n", argv[0]);
        return 2;
    }
    if (argc == 2) {
        char* end = nullptr;
        const long value = std::strtol(argv[1], &end, 10);
        if (end == argv[1] || *end != '\0' || value < 0 || value > 4096) {
            std::fprintf(stderr, "%s: threads must be a whole number from 0 to 4096, not '%s'\n",
                         argv[0], argv[1]);
            return 2;
        }
        threads = static_cast<int>(value);
    }
    if (threads == 0) threads = defaultThreadCount();
    FileInput in(stdin);
    CheckedFileOutput out(stdout, exitOnWriteError);
    const int status = runDialogue(in, out, threads);
    out.close();
    return status;
}
