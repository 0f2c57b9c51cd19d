#include "gnuplot.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "atomicfile.h"
#include "messagetext.h"

extern char** environ;

namespace plot {

namespace {

using Clock = std::chrono::steady_clock;

// What is kept of gnuplot's standard error for a failure message.
constexpr std::size_t kMessageBytes = 16 * 1024;
// The descriptor through which gnuplot writes the picture.
constexpr int kPictureDescriptor = 3;
constexpr int kExitInterrupted = 130;

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// A close-on-exec copy of fd numbered above the descriptors the child's
// file actions write to, so that no action overwrites another's source.
int above(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, kPictureDescriptor + 1); }

// The signals this function takes while gnuplot runs: blocked in the calling
// thread and read from a signalfd.  SIGINT, SIGTERM and SIGHUP only when
// they are not ignored (nohup, a background job of a script): an ignored
// signal stays ignored.  SIGCHLD is among them so that the child's end wakes
// the wait; its disposition is set to the default meanwhile (an ignored
// SIGCHLD would reap the child unseen).
class SignalWatch {
public:
    SignalWatch() {
        sigemptyset(&taken_);
        sigemptyset(&stopping_);
        for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction now {};
            if (::sigaction(s, nullptr, &now) == 0 && now.sa_handler != SIG_IGN) sigaddset(&stopping_, s);
        }
        taken_ = stopping_;
        sigaddset(&taken_, SIGCHLD);
        ::pthread_sigmask(SIG_BLOCK, &taken_, &previous_);
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        sigemptyset(&byDefault.sa_mask);
        ::sigaction(SIGCHLD, &byDefault, &previousChild_);
        fd_.reset(::signalfd(-1, &taken_, SFD_CLOEXEC | SFD_NONBLOCK));
    }
    ~SignalWatch() {
        ::sigaction(SIGCHLD, &previousChild_, nullptr);
        ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    bool ok() const { return fd_.get() >= 0; }
    int fd() const { return fd_.get(); }
    const sigset_t& previousMask() const { return previous_; }
    // The stopping signals taken here: gnuplot gets them at their default.
    const sigset_t& stopping() const { return stopping_; }

    // Reads every pending signal: the first SIGINT, SIGTERM or SIGHUP
    // (0 when none), and whether SIGCHLD came.
    int drain(bool& child) {
        int stop = 0;
        signalfd_siginfo info {};
        while (::read(fd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            const int s = static_cast<int>(info.ssi_signo);
            if (s == SIGCHLD)
                child = true;
            else if (stop == 0)
                stop = s;
        }
        return stop;
    }

private:
    sigset_t taken_ {};
    sigset_t stopping_ {};
    sigset_t previous_ {};
    struct sigaction previousChild_ {};
    Descriptor fd_;
};

// How gnuplot's run ended.
struct RunEnd {
    enum class Kind { Exited, Killed, TimedOut, Stopped, Lost } kind = Kind::Exited;
    int code = 0;  // exit status (Exited), signal (Killed; Stopped: the one that stopped us), errno (Lost)
    std::string said;  // the start of its standard error
};

void reap(pid_t pid, int& status) {
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void keepMessages(int fd, std::string& said, bool& open) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) open = false;
        if (n <= 0) return;
        const std::size_t room = kMessageBytes - std::min(kMessageBytes, said.size());
        said.append(buffer, std::min(room, static_cast<std::size_t>(n)));
    }
}

RunEnd superviseGnuplot(pid_t pid, int messages, SignalWatch& signals, Clock::time_point deadline) {
    RunEnd end;
    bool messagesOpen = true;
    int status = 0;
    const auto stopChild = [&](RunEnd::Kind kind, int code) {
        ::kill(pid, SIGKILL);
        reap(pid, status);
        end.kind = kind;
        end.code = code;
        return end;
    };
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return stopChild(RunEnd::Kind::TimedOut, 0);
        pollfd watched[2] = {{signals.fd(), POLLIN, 0}, {messagesOpen ? messages : -1, POLLIN, 0}};
        const int ready = ::poll(watched, 2, static_cast<int>(std::min<long long>(left, 60'000)));
        if (ready < 0 && errno != EINTR) return stopChild(RunEnd::Kind::Lost, errno);
        if (ready <= 0) continue;
        if (watched[1].revents != 0) keepMessages(messages, end.said, messagesOpen);
        if (watched[0].revents == 0) continue;
        bool child = false;
        if (const int stop = signals.drain(child); stop != 0) return stopChild(RunEnd::Kind::Stopped, stop);
        if (child && ::waitpid(pid, &status, WNOHANG) == pid) {
            // What it wrote last, without waiting for a writer it may have left.
            if (messagesOpen) keepMessages(messages, end.said, messagesOpen);
            end.kind = WIFEXITED(status) ? RunEnd::Kind::Exited : RunEnd::Kind::Killed;
            end.code = WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status);
            return end;
        }
    }
}

// Starts gnuplot; its pid, or the posix_spawn error as a negative number.
pid_t startGnuplot(const std::string& program, int script, int messages, int picture,
                   const SignalWatch& signals) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, script, STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, messages, STDERR_FILENO);
    posix_spawn_file_actions_adddup2(&actions, picture, kPictureDescriptor);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults = signals.stopping();
    sigaddset(&defaults, SIGCHLD);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &signals.previousMask());
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::string argv0 = program;
    char* argv[] = {argv0.data(), nullptr};
    pid_t pid = 0;
    const int spawned = program.find('/') == std::string::npos
                            ? ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv, environ)
                            : ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -spawned;
}

// The script in an anonymous file, read from its start; -1 on failure.
int scriptFile(const std::string& script) {
    Descriptor fd(::memfd_create("gnuplot-script", MFD_CLOEXEC));
    if (fd.get() < 0) return -1;
    for (std::size_t done = 0; done < script.size();) {
        const ssize_t n = ::write(fd.get(), script.data() + done, script.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        done += static_cast<std::size_t>(n);
    }
    if (::lseek(fd.get(), 0, SEEK_SET) != 0) return -1;
    const int raised = above(fd.get());
    return raised;
}

std::string secondsText(std::chrono::milliseconds limit) {
    char buffer[32];
    if (limit.count() % 1000 == 0)
        std::snprintf(buffer, sizeof buffer, "%lld s", static_cast<long long>(limit.count() / 1000));
    else
        std::snprintf(buffer, sizeof buffer, "%.1f s", static_cast<double>(limit.count()) / 1000.0);
    return buffer;
}

// gnuplot's messages, each line made printable.
std::string shownMessages(const std::string& said) {
    std::string out;
    std::size_t start = 0;
    while (start < said.size()) {
        std::size_t end = said.find('\n', start);
        if (end == std::string::npos) end = said.size();
        out += printableText(std::string_view(said).substr(start, end - start)) + '\n';
        start = end + 1;
    }
    return out;
}

std::string stoppedBy(int signal) {
    if (signal == SIGINT) return "interrupted";
    return std::string("stopped by ") + (signal == SIGHUP ? "SIGHUP" : signal == SIGTERM ? "SIGTERM" : "a signal");
}

int reportStop(std::ostream& err, const std::string& prefix, int signal) {
    err << prefix << stoppedBy(signal) << "; gnuplot was stopped and no picture was written\n";
    return signal == SIGINT ? kExitInterrupted : 1;
}

int reportEnd(const RunEnd& end, const std::string& program, std::chrono::milliseconds limit,
              std::ostream& err, const std::string& prefix) {
    switch (end.kind) {
        case RunEnd::Kind::Stopped:
            return reportStop(err, prefix, end.code);
        case RunEnd::Kind::TimedOut:
            err << prefix << "gnuplot did not finish within " << secondsText(limit)
                << " and was stopped; no picture was written\n";
            return 1;
        case RunEnd::Kind::Lost:
            err << prefix << "lost track of gnuplot: " << std::strerror(end.code) << "; no picture was written\n";
            return 1;
        case RunEnd::Kind::Killed:
            err << prefix << "gnuplot failed (signal " << end.code << "); no picture was written\n"
                << shownMessages(end.said);
            return 1;
        case RunEnd::Kind::Exited:
            break;
    }
    if (end.code == 127) {
        err << prefix << "gnuplot (" << printableText(program) << ") could not be run; install the Debian package "
            << kGnuplotPackage << " to draw pictures (the results file is unaffected)\n";
        return 1;
    }
    if (end.code != 0) {
        err << prefix << "gnuplot failed (exit status " << end.code << "); no picture was written\n"
            << shownMessages(end.said);
        return 1;
    }
    return 0;
}

}  // namespace

int renderWithGnuplot(const std::string& program, const std::string& output,
                      const std::function<std::string(const std::string& picturePath)>& makeScript,
                      std::ostream& err, const std::string& prefix, std::chrono::milliseconds timeLimit) {
    const std::optional<ImageFormat> format = imageFormatOf(output);
    if (!format) {
        err << prefix << printableText(output) << ": cannot tell the picture format; name the output file .svg or .png\n";
        return 1;
    }
    SignalWatch signals;
    std::string error;
    std::optional<PendingFile> picture = PendingFile::beside(output, error);
    if (!picture) {
        err << prefix << error << '\n';
        return 1;
    }
    const std::string script = makeScript("/dev/fd/" + std::to_string(kPictureDescriptor));

    int pipeFds[2];
    if (!signals.ok() || ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        err << prefix << "cannot start gnuplot: " << std::strerror(errno) << '\n';
        return 1;
    }
    Descriptor messagesRead(pipeFds[0]);
    Descriptor messagesWrite(above(pipeFds[1]));
    ::close(pipeFds[1]);
    Descriptor scriptFd(scriptFile(script));
    Descriptor pictureFd(above(picture->descriptor()));
    if (messagesWrite.get() < 0 || scriptFd.get() < 0 || pictureFd.get() < 0 ||
        ::fcntl(messagesRead.get(), F_SETFL, O_NONBLOCK) != 0) {
        err << prefix << "cannot start gnuplot: " << std::strerror(errno) << '\n';
        return 1;
    }

    const pid_t pid = startGnuplot(program, scriptFd.get(), messagesWrite.get(), pictureFd.get(), signals);
    messagesWrite.reset();
    scriptFd.reset();
    pictureFd.reset();
    if (pid < 0) {
        if (-pid == ENOENT) {
            err << prefix << "gnuplot (" << printableText(program) << ") was not found; install the Debian package "
                << kGnuplotPackage << " to draw pictures (the results file is unaffected)\n";
        } else {
            err << prefix << "cannot start gnuplot (" << printableText(program) << "): " << std::strerror(-pid)
                << '\n';
        }
        return 1;
    }

    const RunEnd end = superviseGnuplot(pid, messagesRead.get(), signals, Clock::now() + timeLimit);
    if (const int status = reportEnd(end, program, timeLimit, err, prefix); status != 0) return status;

    const std::string problem = pictureProblem(picture->descriptor(), *format);
    if (!problem.empty()) {
        err << prefix << "gnuplot wrote " << problem << "; nothing was written to " << printableText(output) << '\n'
            << shownMessages(end.said);
        return 1;
    }
    bool child = false;
    if (const int stop = signals.drain(child); stop != 0) return reportStop(err, prefix, stop);
    if (!picture->commit(error)) {
        err << prefix << error << '\n';
        return 1;
    }
    return 0;
}

}  // namespace plot
