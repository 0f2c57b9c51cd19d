#include "gnuplot.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace plot {

namespace {

std::string lowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool endsWith(const std::string& s, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return s.size() > n && s.compare(s.size() - n, n, suffix) == 0;
}

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

// Removes the temporary picture unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!kept_) ::unlink(path_.c_str());
    }
    const std::string& path() const { return path_; }
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

// SIGPIPE ignored while the script is written, so that an engine that stops
// reading early gives a write error instead of ending this process.
class IgnoreSigpipe {
public:
    IgnoreSigpipe() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGPIPE, &ignore, &saved_);
    }
    IgnoreSigpipe(const IgnoreSigpipe&) = delete;
    IgnoreSigpipe& operator=(const IgnoreSigpipe&) = delete;
    ~IgnoreSigpipe() { ::sigaction(SIGPIPE, &saved_, nullptr); }

private:
    struct sigaction saved_ {};
};

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string readAll(int fd) {
    std::string text;
    if (::lseek(fd, 0, SEEK_SET) < 0) return text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

// The permissions a newly created file would get (0666 less the umask).
mode_t newFileMode() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

std::optional<ImageFormat> imageFormatOf(std::string_view path) {
    const std::string lower = lowerCase(path);
    if (endsWith(lower, ".svg")) return ImageFormat::Svg;
    if (endsWith(lower, ".png")) return ImageFormat::Png;
    return std::nullopt;
}

std::string gnuplotString(std::string_view text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'') {
            out += "''";
        } else if (c == '\n' || c == '\r') {
            out += ' ';
        } else {
            out += c;
        }
    }
    out += '\'';
    return out;
}

int renderWithGnuplot(const std::string& program, const std::string& output,
                      const std::function<std::string(const std::string& picturePath)>& makeScript,
                      std::ostream& err, const std::string& prefix) {
    std::vector<char> pattern(output.begin(), output.end());
    for (const char c : std::string_view(".XXXXXX")) pattern.push_back(c);
    pattern.push_back('\0');
    Descriptor pictureFd(::mkstemp(pattern.data()));
    if (pictureFd.get() < 0) {
        err << prefix << "cannot create a file beside " << output << ": " << std::strerror(errno) << '\n';
        return 1;
    }
    TemporaryFile picture(pattern.data());
    ::fchmod(pictureFd.get(), newFileMode());
    pictureFd.reset();

    const std::string script = makeScript(picture.path());

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        err << prefix << "cannot start gnuplot: " << std::strerror(errno) << '\n';
        return 1;
    }
    Descriptor scriptRead(pipeFds[0]);
    Descriptor scriptWrite(pipeFds[1]);
    std::FILE* messages = std::tmpfile();
    if (messages == nullptr) {
        err << prefix << "cannot start gnuplot: " << std::strerror(errno) << '\n';
        return 1;
    }
    struct CloseFile {
        std::FILE* f;
        ~CloseFile() { std::fclose(f); }
    } closeMessages{messages};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, scriptRead.get(), STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, ::fileno(messages), STDERR_FILENO);
    std::string argv0 = program;
    char* argv[] = {argv0.data(), nullptr};
    pid_t pid = 0;
    const int spawned = program.find('/') == std::string::npos
                            ? ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ)
                            : ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    scriptRead.reset();
    if (spawned != 0) {
        if (spawned == ENOENT) {
            err << prefix << "gnuplot (" << program << ") was not found; install the Debian package "
                << kGnuplotPackage << " to draw pictures (the results file is unaffected)\n";
        } else {
            err << prefix << "cannot start gnuplot (" << program << "): " << std::strerror(spawned) << '\n';
        }
        return 1;
    }

    bool written = false;
    {
        IgnoreSigpipe guard;
        written = writeAll(scriptWrite.get(), script);
        scriptWrite.reset();
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            err << prefix << "lost track of gnuplot: " << std::strerror(errno) << '\n';
            return 1;
        }
    }
    const std::string said = readAll(::fileno(messages));
    const bool exited = WIFEXITED(status);
    const int code = exited ? WEXITSTATUS(status) : -1;
    if (exited && code == 127) {
        err << prefix << "gnuplot (" << program << ") could not be run; install the Debian package "
            << kGnuplotPackage << " to draw pictures (the results file is unaffected)\n";
        return 1;
    }
    if (!exited || code != 0 || !written) {
        err << prefix << "gnuplot failed ("
            << (exited ? "exit status " + std::to_string(code)
                       : "signal " + std::to_string(WTERMSIG(status)))
            << "); no picture was written\n";
        err << said;
        return 1;
    }
    struct stat info {};
    if (::stat(picture.path().c_str(), &info) != 0 || info.st_size == 0) {
        err << prefix << "gnuplot wrote an empty picture; nothing was written to " << output << '\n';
        err << said;
        return 1;
    }
    if (::rename(picture.path().c_str(), output.c_str()) != 0) {
        err << prefix << "cannot write " << output << ": " << std::strerror(errno) << '\n';
        return 1;
    }
    picture.keep();
    return 0;
}

}  // namespace plot
