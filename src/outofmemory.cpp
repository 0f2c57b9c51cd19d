#include "outofmemory.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

namespace {

std::terminate_handler previousTerminate = nullptr;

[[noreturn]] void endOutOfMemory() {
    static std::atomic_flag ending = ATOMIC_FLAG_INIT;
    if (ending.test_and_set()) {
        for (;;) ::pause();  // the first thread ends the process
    }
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kOutOfMemoryLine, sizeof kOutOfMemoryLine - 1);
    // A reader that has gone away must not turn this into a SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    std::fflush(stdout);
    ::_exit(1);
}

void onTerminate() {
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::bad_alloc&) {
            endOutOfMemory();
        } catch (...) {
        }
    }
    if (previousTerminate != nullptr) previousTerminate();
    std::abort();
}

}  // namespace

void installOutOfMemoryHandler() {
    std::set_new_handler(endOutOfMemory);
    previousTerminate = std::set_terminate(onTerminate);
}
