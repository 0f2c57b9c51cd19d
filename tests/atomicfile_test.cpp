// Finishing files: a temporary beside the target, flushed and renamed; on
// any failure the target is as it was and no temporary is left.
#include "atomicfile.h"

#include "test.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Runs `work` in a child process whose files cannot grow past `bytes`
// (writes then fail with EFBIG, as on a full disk); its exit status.
int withFileSizeLimit(rlim_t bytes, const std::function<bool()>& work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(work() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(AtomicFile, AFailedWriteLeavesTheTargetAndNoTemporary) {
    ScratchDirectory dir;
    const std::string target = dir.write("design.csv", "the earlier design\n");
    const std::string big(100000, 'x');
    EXPECT_EQ(withFileSizeLimit(1000, [&] {
                  std::string error;
                  const bool ok = writeFileAtomically(target, big, error);
                  return !ok && error.rfind("cannot write " + target + ".tmp-", 0) == 0 &&
                         error.find("File too large") != std::string::npos;
              }),
              0);
    EXPECT_EQ(dir.read("design.csv"), "the earlier design\n");
    EXPECT_EQ(dir.files(), std::vector<std::string>{"design.csv"});
}

TEST(AtomicFile, AFailedRenameRemovesTheTemporary) {
    ScratchDirectory dir;
    fs::create_directory(dir.path("out.csv"));
    std::string error;
    EXPECT_FALSE(writeFileAtomically(dir.path("out.csv"), "text", error));
    EXPECT_NE(error.find("cannot rename"), std::string::npos) << error;
    EXPECT_EQ(dir.files(), std::vector<std::string>{"out.csv"});
    EXPECT_FALSE(writeFileAtomically(dir.path("missing/out.csv"), "text", error));
    EXPECT_EQ(error, "cannot create a file beside " + dir.path("missing/out.csv") + ": No such file or directory");
}

TEST(AtomicFile, ReplacesTheTargetWholeWithTheUmasksMode) {
    ScratchDirectory dir;
    const std::string target = dir.write("r.csv", "old");
    const mode_t saved = ::umask(077);
    std::string error;
    ASSERT_TRUE(writeFileAtomically(target, "new contents\n", error)) << error;
    EXPECT_EQ(::umask(saved), 077);
    EXPECT_EQ(dir.read("r.csv"), "new contents\n");
    struct stat info {};
    ::stat(target.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"r.csv"});
}

TEST(AtomicFile, APendingFileIsRemovedUnlessCommitted) {
    ScratchDirectory dir;
    const std::string target = dir.path("p.svg");
    std::string error;
    {
        std::optional<PendingFile> file = PendingFile::beside(target, error);
        ASSERT_TRUE(file) << error;
        EXPECT_EQ(file->path().rfind(target + ".tmp-", 0), 0u);
        EXPECT_EQ(file->path().size(), target.size() + 11);
        ASSERT_TRUE(file->write("part", error));
        EXPECT_TRUE(fs::exists(file->path()));
    }
    EXPECT_EQ(dir.files(), std::vector<std::string>{}) << "an early return leaves nothing";

    std::optional<PendingFile> file = PendingFile::beside(target, error);
    ASSERT_TRUE(file);
    std::optional<PendingFile> moved(std::move(*file));
    file.reset();
    ASSERT_TRUE(moved->write("whole", error));
    ASSERT_TRUE(moved->commit(error)) << error;
    EXPECT_FALSE(moved->commit(error));
    moved.reset();
    EXPECT_EQ(dir.files(), std::vector<std::string>{"p.svg"});
    EXPECT_EQ(dir.read("p.svg"), "whole");
}

TEST(AtomicFile, TemporariesAreUniqueAndFitBesideALongName) {
    ScratchDirectory dir;
    std::string error;
    std::vector<PendingFile> files;
    for (int i = 0; i < 50; ++i) {
        std::optional<PendingFile> f = PendingFile::beside(dir.path("r.csv"), error);
        ASSERT_TRUE(f) << error;
        files.push_back(std::move(*f));
    }
    EXPECT_EQ(dir.files().size(), 50u);
    files.clear();
    const std::string longName = dir.path(std::string(250, 'n') + ".csv");
    ASSERT_TRUE(writeFileAtomically(longName, "x", error)) << error;
    EXPECT_EQ(dir.files().size(), 1u);
}

TEST(AtomicFile, FinishesAFileWrittenUnderItsOwnName) {
    ScratchDirectory dir;
    dir.write("r.csv.partial", "rows\n");
    std::string error;
    ASSERT_TRUE(finishFile(dir.path("r.csv.partial"), dir.path("r.csv"), error)) << error;
    EXPECT_EQ(dir.files(), std::vector<std::string>{"r.csv"});
    EXPECT_EQ(dir.read("r.csv"), "rows\n");
    EXPECT_FALSE(finishFile(dir.path("r.csv.partial"), dir.path("r.csv"), error));
    EXPECT_EQ(error, "cannot open " + dir.path("r.csv.partial") + ": No such file or directory");
    EXPECT_TRUE(syncDirectoryOf(dir.path("r.csv"), error));
    EXPECT_TRUE(syncFile(dir.path("r.csv"), error));
}

TEST(AtomicFile, StaleTemporariesOfATargetAreRemoved) {
    const ScratchDirectory dir;
    const std::string target = dir.path("r.csv.json");
    for (const char* name : {"r.csv.json.tmp-Ab3dE9", "r.csv.json.tmp-000000", "r.csv.json", "r.csv.json.tmp-abc",
                             "r.csv.json.tmp-abcdefg", "r.csv.json.tmp-ab_def", "x.csv.json.tmp-Ab3dE9"})
        dir.write(name, "x");
    std::filesystem::create_directory(dir.path("r.csv.json.tmp-Dir123"));
    EXPECT_EQ(removeStaleTemporaries(target), 2);
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"r.csv.json", "r.csv.json.tmp-Dir123", "r.csv.json.tmp-ab_def",
                                                     "r.csv.json.tmp-abc", "r.csv.json.tmp-abcdefg",
                                                     "x.csv.json.tmp-Ab3dE9"}));
    // A temporary of a target too long for the suffix has a shortened stem.
    const std::string longTarget = dir.path(std::string(250, 'n'));
    std::string error;
    std::optional<PendingFile> pending = PendingFile::beside(longTarget, error);
    ASSERT_TRUE(pending) << error;
    const std::string left = pending->path();
    EXPECT_EQ(removeStaleTemporaries(longTarget), 1);
    EXPECT_FALSE(std::filesystem::exists(left));
    pending.reset();
}
