// The gnuplot runner against fake engines (shell scripts that hang, send
// signals, fail, flood standard error or write cut pictures), the picture
// completeness check on cut files, and the quoting of file text in scripts,
// checked against the real gnuplot when it is installed.
#include "gnuplot.h"

#include "test.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kPrefix = "zelkor plot power: ";
const std::string kSvg = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<svg width=\"10\" height=\"10\">\n<g>\n</g>\n</svg>\n\n";

// A fake engine: a shell script.
std::string shellScript(const ScratchDirectory& dir, const std::string& name, const std::string& body) {
    const std::string path = dir.write(name, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

// A fake engine that reads the picture's name from the script's "set
// output" line into $out, then runs `body`.
std::string fakeGnuplot(const ScratchDirectory& dir, const std::string& name, const std::string& body) {
    return shellScript(dir, name, "out=$(sed -n \"s/^set output '\\(.*\\)'$/\\1/p\")\n" + body);
}

std::string script(const std::string& picturePath) {
    return "set terminal svg size 200,100\nset output " + plot::gnuplotString(picturePath) + "\nplot x\n";
}

struct Rendered {
    int status = 0;
    std::string err;
};

Rendered render(const std::string& program, const std::string& output, std::chrono::milliseconds limit = 10s) {
    std::ostringstream err;
    const int status = plot::renderWithGnuplot(program, output, script, err, kPrefix, limit);
    return {status, err.str()};
}

bool gnuplotInstalled() { return std::system("command -v gnuplot >/dev/null 2>&1") == 0; }

bool blocked(int signal) {
    sigset_t now;
    ::pthread_sigmask(SIG_SETMASK, nullptr, &now);
    return sigismember(&now, signal) == 1;
}

// SIGINT, SIGTERM and SIGHUP at their default while a test runs, as in a
// program started from a terminal (a background job of a script would have
// them ignored, and the runner leaves ignored signals alone).
class DefaultStopSignals {
public:
    DefaultStopSignals() {
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &byDefault, &saved_[i]);
    }
    ~DefaultStopSignals() {
        for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &saved_[i], nullptr);
    }

private:
    static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction saved_[3] {};
};

// A PNG: signature, IHDR, one IDAT, IEND.
std::string png() {
    std::string p("\x89PNG\r\n\x1a\n", 8);
    p += std::string("\0\0\0\x0dIHDR", 8) + std::string(13, '\x01') + "CRC!";
    p += std::string("\0\0\0\x05IDAT", 8) + "abcde" + "CRC!";
    p += std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12);
    return p;
}

std::string problemOf(const ScratchDirectory& dir, const std::string& bytes, plot::ImageFormat format) {
    const std::string path = dir.write("picture", bytes);
    const int fd = ::open(path.c_str(), O_RDONLY);
    const std::string problem = plot::pictureProblem(fd, format);
    ::close(fd);
    return problem;
}

}  // namespace

// ---- Faults: a hung, interrupted or failing engine ---------------------------------

TEST(GnuplotRunner, AHungEngineIsKilledAtTheTimeLimit) {
    ScratchDirectory dir;
    const std::string output = dir.write("p.svg", "earlier picture");
    const std::string hung = fakeGnuplot(dir, "hung", "exec sleep 30");
    const auto start = std::chrono::steady_clock::now();
    const Rendered r = render(hung, output, 300ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kPrefix + "gnuplot did not finish within 0.3 s and was stopped; no picture was written\n");
    EXPECT_EQ(dir.read("p.svg"), "earlier picture");
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"hung", "p.svg"})) << "no temporary picture is left";
    EXPECT_EQ(plot::kGnuplotTimeLimit, 60s) << "the documented default";
}

TEST(GnuplotRunner, SignalsStopTheEngineAndKeepTheEarlierPicture) {
    const DefaultStopSignals defaults;
    struct Case {
        const char* signal;
        int status;
        const char* said;
    };
    for (const Case c : {Case{"INT", 130, "interrupted"}, Case{"TERM", 1, "stopped by SIGTERM"},
                         Case{"HUP", 1, "stopped by SIGHUP"}}) {
        ScratchDirectory dir;
        const std::string output = dir.write("p.png", "earlier picture");
        // The engine writes part of a picture, then the signal comes to us.
        const std::string engine =
            fakeGnuplot(dir, "engine", std::string("printf '<svg>' > \"$out\"; kill -") + c.signal + " $PPID; exec sleep 30");
        const auto start = std::chrono::steady_clock::now();
        const Rendered r = render(engine, output);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << c.signal;
        EXPECT_EQ(r.status, c.status) << c.signal;
        EXPECT_EQ(r.err, kPrefix + c.said + "; gnuplot was stopped and no picture was written\n");
        EXPECT_EQ(dir.read("p.png"), "earlier picture");
        EXPECT_EQ(dir.files(), (std::vector<std::string>{"engine", "p.png"})) << c.signal;
        EXPECT_FALSE(blocked(SIGINT) || blocked(SIGTERM) || blocked(SIGHUP) || blocked(SIGCHLD))
            << "the signal mask is restored";
    }
}

TEST(GnuplotRunner, AnIgnoredSignalStaysIgnored) {
    ScratchDirectory dir;
    const std::string output = dir.write("p.svg", "earlier picture");
    // As under nohup: SIGHUP ignored.  gnuplot inherits that too.
    const std::string engine = fakeGnuplot(
        dir, "engine", "kill -HUP $PPID; kill -HUP $$; printf '%s' '" + kSvg + "' > \"$out\"");
    struct sigaction ignore {};
    struct sigaction saved {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGHUP, &ignore, &saved);
    const Rendered r = render(engine, output);
    ::sigaction(SIGHUP, &saved, nullptr);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dir.read("p.svg"), kSvg);
}

TEST(GnuplotRunner, ASignalAfterAFinishedPictureStillKeepsTheOutput) {
    const DefaultStopSignals defaults;
    ScratchDirectory dir;
    const std::string output = dir.write("p.svg", "earlier picture");
    const std::string engine = fakeGnuplot(
        dir, "engine", "printf '%s' '" + kSvg + "' > \"$out\"; kill -INT $PPID; exit 0");
    const Rendered r = render(engine, output);
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_EQ(dir.read("p.svg"), "earlier picture");
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"engine", "p.svg"}));
}

TEST(GnuplotRunner, FailuresAndCutPicturesKeepTheEarlierPicture) {
    struct Case {
        const char* output;
        std::string body;
        std::string said;
    };
    const std::vector<Case> cases = {
        {"p.svg", "printf '<svg><g>' > \"$out\"",
         "gnuplot wrote an incomplete picture (the SVG ends before its closing </svg>); nothing was written to "},
        {"p.png", "printf '\\211PNG\\r\\n\\032\\n\\0\\0\\0\\015IHDR' > \"$out\"",
         "gnuplot wrote an incomplete picture (the PNG ends inside a chunk); nothing was written to "},
        {"p.svg", "true", "gnuplot wrote an empty picture; nothing was written to "},
        {"p.svg", "echo 'line 1: undefined variable' >&2; exit 3", "gnuplot failed (exit status 3); no picture was written\n"
                                                                   "line 1: undefined variable\n"},
        {"p.svg", "kill -KILL $$", "gnuplot failed (signal 9); no picture was written\n"},
    };
    for (const Case& c : cases) {
        ScratchDirectory dir;
        const std::string output = dir.write(c.output, "earlier picture");
        const Rendered r = render(fakeGnuplot(dir, "engine", c.body), output);
        EXPECT_EQ(r.status, 1) << c.body;
        const bool namesOutput = c.said.back() == ' ';
        EXPECT_EQ(r.err, kPrefix + c.said + (namesOutput ? output + "\n" : "")) << c.body;
        EXPECT_EQ(dir.read(c.output), "earlier picture");
        EXPECT_EQ(dir.files(), (std::vector<std::string>{"engine", c.output})) << c.body;
    }
}

TEST(GnuplotRunner, KeepsOnlyThePrintableStartOfAFloodOfMessages) {
    ScratchDirectory dir;
    const std::string engine = fakeGnuplot(dir, "engine", "yes \"$(printf 'bad \\033[2J')\" | head -c 3000000 >&2; exit 1");
    const Rendered r = render(engine, dir.path("p.svg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_LT(r.err.size(), 40000u);
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << "escape sequences are shown escaped";
    EXPECT_NE(r.err.find("bad \\x1b[2J\n"), std::string::npos);
}

TEST(GnuplotRunner, MissingEngineAndUnknownFormat) {
    ScratchDirectory dir;
    Rendered r = render(dir.path("no-such-gnuplot"), dir.path("p.svg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("install the Debian package gnuplot-nox"), std::string::npos) << r.err;
    r = render("no-such-gnuplot-on-path", dir.path("p.svg"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("was not found"), std::string::npos) << r.err;
    r = render("true", dir.path("p.pdf"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(dir.files(), std::vector<std::string>{});
}

// ---- Success --------------------------------------------------------------------------

TEST(GnuplotRunner, AcceptsACompletePictureWithTheUmasksModeAndTheScriptAsWritten) {
    ScratchDirectory dir;
    const std::string output = dir.write("p.svg", "earlier picture");
    const std::string engine =
        shellScript(dir, "engine", "cat > " + dir.path("script.txt") + "; printf '%s' '" + kSvg + "' > /dev/fd/3");
    const mode_t saved = ::umask(027);
    const Rendered r = render(engine, output);
    EXPECT_EQ(::umask(saved), 027) << "the umask is untouched";
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(dir.read("p.svg"), kSvg);
    EXPECT_EQ(dir.read("script.txt"), script("/dev/fd/3")) << "the script names no path of the user's";
    struct stat info {};
    ASSERT_EQ(::stat(output.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"engine", "p.svg", "script.txt"}));
}

TEST(GnuplotRunner, DrawsWithTheRealEngine) {
    if (!gnuplotInstalled()) GTEST_SKIP() << "gnuplot is not installed (Debian package gnuplot-nox)";
    ScratchDirectory dir;
    const Rendered r = render("gnuplot", dir.path("p.svg"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(plot::pictureProblem(::open(dir.path("p.svg").c_str(), O_RDONLY | O_CLOEXEC), plot::ImageFormat::Svg), "");
}

// ---- Completeness of a picture ------------------------------------------------------------

TEST(PictureCheck, TellsCutPicturesFromWholeOnes) {
    ScratchDirectory dir;
    using plot::ImageFormat;
    EXPECT_EQ(problemOf(dir, kSvg, ImageFormat::Svg), "");
    EXPECT_EQ(problemOf(dir, "<svg>" + std::string(10000, ' ') + "</SVG>\r\n", ImageFormat::Svg), "");
    for (std::size_t cut = 1; cut < kSvg.size() - 3; cut += 7) {
        EXPECT_NE(problemOf(dir, kSvg.substr(0, cut), ImageFormat::Svg), "") << cut;
    }
    EXPECT_EQ(problemOf(dir, "", ImageFormat::Svg), "an empty picture");
    EXPECT_EQ(problemOf(dir, "</svg>", ImageFormat::Svg), "a picture without the SVG root element");

    const std::string whole = png();
    EXPECT_EQ(problemOf(dir, whole, ImageFormat::Png), "");
    for (std::size_t cut = 1; cut < whole.size(); ++cut) {
        EXPECT_NE(problemOf(dir, whole.substr(0, cut), ImageFormat::Png), "") << cut;
    }
    EXPECT_EQ(problemOf(dir, whole.substr(0, whole.size() - 12), ImageFormat::Png),
              "an incomplete picture (the PNG has no IEND chunk)");
    EXPECT_EQ(problemOf(dir, whole + "x", ImageFormat::Png), "a PNG picture with bytes after its IEND chunk");
    EXPECT_EQ(problemOf(dir, kSvg, ImageFormat::Png), "a file that is not a PNG picture");
    std::string hugeChunk = whole;
    hugeChunk[33] = '\x7f';  // IDAT's length
    EXPECT_EQ(problemOf(dir, hugeChunk, ImageFormat::Png), "an incomplete picture (the PNG ends inside a chunk)");
}

TEST(PictureCheck, NamesTheFormatByExtension) {
    EXPECT_EQ(plot::imageFormatOf("a.SVG"), plot::ImageFormat::Svg);
    EXPECT_EQ(plot::imageFormatOf("dir.png/a.Png"), plot::ImageFormat::Png);
    for (const char* other : {".svg", "a.svgz", "a.pdf", "png", ""}) EXPECT_FALSE(plot::imageFormatOf(other)) << other;
}

// ---- Text from a file in a script ------------------------------------------------------

namespace {

// Names a hostile results file could hold, with the literal each must become.
struct Hostile {
    std::string name;
    std::string literal;
};

std::vector<Hostile> hostileNames(const std::string& dir) {
    return {
        {"X\nsystem(\"touch " + dir + "/PWNED1\")", "'X system(\"touch " + dir + "/PWNED1\")'"},
        {"ends in a backslash\\", "'ends in a backslash\\'"},
        {"carriage\rreturn\r\n", "'carriage return  '"},
        {"it's ''quoted''", "'it''s '''.\"'\".'quoted'''.\"'\".''"},
        {"''''", "''.\"'\".''.\"'\".''.\"'\".''.\"'\".''"},
        {"'", "''.\"'\".''"},
        {"`touch " + dir + "/PWNED2`", "'`touch " + dir + "/PWNED2`'"},
        {"@macro @x", "'@macro @x'"},
        {"$datablock $none[1]", "'$datablock $none[1]'"},
        {"# not a comment; print 'x'", "'# not a comment; print ''x'''"},
        {"\"double\" \\n", "'\"double\" \\n'"},
        {"esc\x1b[31mred\x7f\tTab", "'esc [31mred  Tab'"},
        {"bad\xff\xc3(utf8", "'bad\xef\xbf\xbd\xef\xbf\xbd(utf8'"},
        {"Ελληνικά Θ", "'Ελληνικά Θ'"},
        {"", "''"},
    };
}

}  // namespace

TEST(GnuplotText, QuotesEveryHostileNameAsSingleQuotedText) {
    for (const Hostile& h : hostileNames("/tmp/d")) {
        EXPECT_EQ(plot::gnuplotString(h.name), h.literal) << h.name;
    }
    EXPECT_EQ(plot::gnuplotLines({"Title", "a'b\nc", "d\\"}), "'Title'.\"\\n\".'a''b c'.\"\\n\".'d\\'");
    EXPECT_EQ(plot::gnuplotLines({"one"}), "'one'");
    EXPECT_EQ(plot::gnuplotLines({}), "''");
    EXPECT_EQ(plot::gnuplotShown("a\nb\x01"), "a b ");
    EXPECT_EQ(plot::gnuplotString("$HOME \\n x\ny"), "'$HOME \\n x y'");
}

// The script keeps exactly the lines the program writes, and gnuplot shows
// each name and runs none of them.
TEST(GnuplotText, HostileNamesAddNoCommandAndRunNothing) {
    ScratchDirectory dir;
    const std::vector<Hostile> names = hostileNames(dir.directory().string());
    const auto makeScript = [&](const std::string& picture) {
        std::string s = "set terminal svg size 400,300 noenhanced\nset output " + plot::gnuplotString(picture) +
                        "\nset encoding utf8\n";
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < names.size(); ++i) {
            s += "set label " + std::to_string(i + 1) + " " + plot::gnuplotString(names[i].name) + " at 0," +
                 std::to_string(i) + "\n";
            lines.push_back(names[i].name);
        }
        s += "set title " + plot::gnuplotLines(lines) + "\nplot x title " + plot::gnuplotString(names[0].name) + "\n";
        return s;
    };
    const std::string written = makeScript("/dev/fd/3");
    std::istringstream in(written);
    std::vector<std::string> commands;
    for (std::string line; std::getline(in, line);) commands.push_back(line.substr(0, line.find(' ', 4)));
    std::vector<std::string> expected = {"set terminal", "set output", "set encoding"};
    expected.insert(expected.end(), names.size(), "set label");
    expected.insert(expected.end(), {"set title", "plot"});
    EXPECT_EQ(commands, expected);

    if (!gnuplotInstalled()) GTEST_SKIP() << "gnuplot is not installed (Debian package gnuplot-nox)";
    std::ostringstream err;
    ASSERT_EQ(plot::renderWithGnuplot("gnuplot", dir.path("p.svg"), makeScript, err, kPrefix), 0) << err.str();
    EXPECT_FALSE(dir.exists("PWNED1"));
    EXPECT_FALSE(dir.exists("PWNED2"));
    const std::string svg = dir.read("p.svg");
    for (const char* shown : {"X system(", "ends in a backslash\\<", "@macro @x", "$datablock $none[1]",
                              "# not a comment; print 'x'", "it's ''quoted''", "Ελληνικά Θ"}) {
        EXPECT_NE(svg.find(shown), std::string::npos) << shown;
    }
}

// ---- The built program ----------------------------------------------------------------------

#ifdef ZELKOR_BINARY
// zelkor plot with a gnuplot on PATH that hangs after writing part of the
// picture: SIGINT or SIGTERM to zelkor stops both, and nothing but the
// earlier picture is left.
TEST(GnuplotRunner, TheProgramStopsAHungEngineOnASignal) {
    const DefaultStopSignals defaults;
    const std::string results = std::string(ZELKOR_TEST_DATA) + "/plot/results_small.csv";
    for (const auto& [signal, status, said] : {std::tuple{SIGINT, 130, "interrupted"}, std::tuple{SIGTERM, 1, "stopped by SIGTERM"}}) {
        ScratchDirectory dir;
        fs::create_directory(dir.path("bin"));
        shellScript(dir, "bin/gnuplot", "cat > /dev/null; printf '<svg>' > /dev/fd/3; touch " + dir.path("started") + "; exec sleep 30");
        dir.write("p.svg", "earlier picture");
        const std::string path = "PATH=" + dir.path("bin") + ":" + std::getenv("PATH");
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::putenv(const_cast<char*>(path.c_str()));
            ::dup2(::open(dir.path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            ::execl(ZELKOR_BINARY, "zelkor", "plot", "power", results.c_str(), "--x", "n_a", "-o", dir.path("p.svg").c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!dir.exists("started") && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
        ::kill(pid, signal);
        int raw = 0;
        ::waitpid(pid, &raw, 0);
        EXPECT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), status);
        EXPECT_EQ(dir.read("err"), std::string("zelkor plot power: ") + said + "; gnuplot was stopped and no picture was written\n");
        EXPECT_EQ(dir.read("p.svg"), "earlier picture");
        EXPECT_EQ(dir.files(), (std::vector<std::string>{"bin", "err", "p.svg", "started"}));
    }
}
#endif
