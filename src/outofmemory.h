// What the program does when memory runs out, in any thread: one line on
// standard error and exit status 1, never an abort with a core dump.
//
// Contract:
// - installOutOfMemoryHandler() is called once by main before anything else.
//   From then on an allocation through operator new that fails, in the main
//   thread or a worker, writes kOutOfMemoryLine to standard error, flushes
//   standard output (the dialogue's finished tables), and ends the process
//   with _exit(1): no unwinding, no destructors, no abort.  A std::bad_alloc
//   that reaches std::terminate without passing through operator new (one
//   thrown by hand, std::bad_array_new_length) ends the same way; any other
//   exception that reaches std::terminate still goes to the handler that was
//   installed before.
// - Files end as a SIGKILL would leave them: what the program flushed is on
//   disk, buffered bytes are lost.  A study run flushes every condition
//   whole, so its partial files stay resumable.
// - When two threads run out at once, one writes the line and ends the
//   process; the other waits for that.
// - Side effect: nothrow new (std::nothrow, and the temporary buffers of
//   std::stable_sort) calls the handler as well, so it ends the program
//   instead of returning nullptr.
#pragma once

inline constexpr char kOutOfMemoryLine[] =
    "zelkor: out of memory: an allocation failed; the program was stopped\n";

void installOutOfMemoryHandler();
