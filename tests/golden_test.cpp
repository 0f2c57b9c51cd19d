// Recorded sessions: every tests/golden/NAME.in is fed to the dialogue and the
// output must equal NAME.out byte for byte, sequentially and in parallel, in
// this process and through the built program (so that the set-up of standard
// output and the letters' encoding on a file are compared too).  Standard
// error must equal NAME.err, or be empty when there is none.
//
// After an intended change of the output, record the sessions again with
//   for f in tests/golden/*.in; do build/release/zelkor < "$f" > "${f%.in}.out" 2> "${f%.in}.err"; done
// and remove the empty .err files.
#include "dialogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "test.h"

namespace {

const std::filesystem::path kGoldenDir = std::filesystem::path(ZELKOR_TEST_DATA) / "golden";

std::string recorded(const std::string& name, const char* extension) {
    return readFile((kGoldenDir / (name + extension)).string());
}

std::vector<std::string> sessionNames() {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(kGoldenDir, error))
        if (entry.path().extension() == ".in") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Where two texts part: line number (from 1) and both lines.
std::string firstDifference(const std::string& expected, const std::string& actual) {
    std::istringstream e(expected);
    std::istringstream a(actual);
    std::string le;
    std::string la;
    for (int line = 1;; ++line) {
        const bool moreE = static_cast<bool>(std::getline(e, le));
        const bool moreA = static_cast<bool>(std::getline(a, la));
        if (!moreE && !moreA) return "the texts differ only in the final line feed";
        if (!moreE || !moreA || le != la) {
            std::ostringstream out;
            out << "first difference at line " << line << "\n  expected: "
                << (moreE ? "\"" + le + "\"" : "<end of output>")
                << "\n  actual:   " << (moreA ? "\"" + la + "\"" : "<end of output>");
            return out.str();
        }
    }
}

struct GoldenCase {
    std::string name;
    int threads;
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name << " with " << c.threads << " threads"; }

class Golden : public testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, OutputMatchesRecording) {
    const GoldenCase& c = GetParam();
    const std::string expected = recorded(c.name, ".out");
    ASSERT_FALSE(expected.empty()) << "no recorded output for " << c.name;
    StringInput in(recorded(c.name, ".in"));
    StringOutput out;
    std::ostringstream notes;
    EXPECT_EQ(runDialogue(in, out, c.threads, {}, &notes), 0);
    if (out.text() != expected) ADD_FAILURE() << c.name << ": " << firstDifference(expected, out.text());
    EXPECT_EQ(notes.str(), recorded(c.name, ".err"));
}

#ifdef ZELKOR_BINARY
TEST_P(Golden, TheProgramWritesTheRecording) {
    const GoldenCase& c = GetParam();
    const std::string expected = recorded(c.name, ".out");
    ASSERT_FALSE(expected.empty()) << "no recorded output for " << c.name;
    const ProgramRun run = runBinary({"--threads", std::to_string(c.threads)}, recorded(c.name, ".in"));
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, recorded(c.name, ".err"));
    if (run.out != expected) ADD_FAILURE() << c.name << ": " << firstDifference(expected, run.out);
}
#endif

std::vector<GoldenCase> goldenCases() {
    std::vector<GoldenCase> cases;
    for (const std::string& name : sessionNames())
        for (int threads : {1, 2}) cases.push_back({name, threads});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Sessions, Golden, testing::ValuesIn(goldenCases()),
                         [](const testing::TestParamInfo<GoldenCase>& info) {
                             return info.param.name + "_threads" + std::to_string(info.param.threads);
                         });

// Guards against a moved directory silently turning the suite above into none.
TEST(GoldenSessions, RecordingsArePresent) {
    const std::vector<std::string> names = sessionNames();
    EXPECT_GE(names.size(), 5u) << "looked in " << kGoldenDir;
    const bool hasVarden = std::any_of(names.begin(), names.end(), [](const std::string& n) {
        return recorded(n, ".in").rfind("2", 0) == 0;
    });
    EXPECT_TRUE(hasVarden) << "no recorded session of option 2";
}

}  // namespace
