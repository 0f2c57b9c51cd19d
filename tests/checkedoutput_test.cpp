// Checked output: a write that cannot be made is reported once, with its
// errno, whether it fails at a write, a flush or the close.
#include "checkedoutput.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "test.h"

namespace {

struct Recorder {
    std::vector<int> errors;
    CheckedFileOutput::FailureFn fn() {
        return [this](int error) { errors.push_back(error); };
    }
};

TEST(CheckedOutput, FullDeviceFailsAtFlushOnce) {
    std::FILE* file = std::fopen("/dev/full", "w");
    ASSERT_NE(file, nullptr);
    Recorder recorder;
    CheckedFileOutput out(file, recorder.fn());
    writeText(out, "abc");
    EXPECT_TRUE(recorder.errors.empty()) << "buffered, not yet written";
    out.flush();
    EXPECT_EQ(recorder.errors, std::vector<int>{ENOSPC});
    EXPECT_TRUE(out.failed());
    writeText(out, "more");
    out.flush();
    out.close();
    EXPECT_EQ(recorder.errors.size(), 1u);
}

TEST(CheckedOutput, FullDeviceFailsAtCloseWhenNeverFlushed) {
    std::FILE* file = std::fopen("/dev/full", "w");
    ASSERT_NE(file, nullptr);
    Recorder recorder;
    CheckedFileOutput out(file, recorder.fn());
    writeText(out, "abc");
    out.close();
    EXPECT_EQ(recorder.errors, std::vector<int>{ENOSPC});
}

TEST(CheckedOutput, LargeWriteFailsAtTheWrite) {
    std::FILE* file = std::fopen("/dev/full", "w");
    ASSERT_NE(file, nullptr);
    Recorder recorder;
    CheckedFileOutput out(file, recorder.fn());
    const std::string big(1 << 20, 'x');  // larger than any stream buffer
    writeText(out, big);
    EXPECT_EQ(recorder.errors, std::vector<int>{ENOSPC});
    out.close();
}

TEST(CheckedOutput, ClosedDescriptorIsBadFileDescriptor) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::FILE* file = fdopen(fds[1], "w");
    ASSERT_NE(file, nullptr);
    close(fds[1]);  // the stream's descriptor is gone
    Recorder recorder;
    CheckedFileOutput out(file, recorder.fn());
    writeText(out, "abc");
    out.flush();
    EXPECT_EQ(recorder.errors, std::vector<int>{EBADF});
    out.close();
    close(fds[0]);
}

TEST(CheckedOutput, GoodFileKeepsEveryByteAndReportsNothing) {
    const ScratchDirectory dir;
    const std::string path = dir.path("checked");
    std::FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    Recorder recorder;
    CheckedFileOutput out(file, recorder.fn());
    const std::string text = std::string("a\0b\xE1\n", 5);
    writeText(out, text);
    out.flush();
    writeText(out, text);
    out.close();
    out.close();  // a second close does nothing
    EXPECT_TRUE(recorder.errors.empty());
    EXPECT_FALSE(out.failed());
    EXPECT_EQ(readFile(path), text + text);
}

TEST(CheckedOutput, MessageNamesProgramAndSystemError) {
    EXPECT_EQ(writeErrorMessage(ENOSPC), "zelkor: write error: No space left on device\n");
    EXPECT_EQ(writeErrorMessage(EBADF), "zelkor: write error: Bad file descriptor\n");
}

}  // namespace
