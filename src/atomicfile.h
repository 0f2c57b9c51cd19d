// Finishing files: a file is written under a temporary name beside its
// target, flushed to disk, and renamed over the target, so a reader sees
// the old file or the whole new one, never a part; and a crash or power loss
// never leaves the final name on an empty or half-written file.
//
// Contract:
// - PendingFile::beside(target, error) creates a new, empty file in the
//   target's directory named TARGET.tmp-XXXXXX (six random letters and
//   digits; a target name too long for that suffix is shortened first).  It
//   is opened with O_CREAT | O_EXCL and mode 0666, so the umask applies by
//   itself, no existing file is ever opened through the name, and no
//   process-wide setting (umask) is touched; another name is tried while
//   one exists.  On failure: nullopt and error "cannot create a file beside
//   TARGET: <reason>".
// - write(text) appends all of text or fails with the reason.
// - commit(error) fsyncs the file, closes it, renames it over the target and
//   fsyncs the target's directory, in that order.  On success the target
//   holds exactly the bytes written and the temporary name is gone.  When
//   the file's fsync or the rename fails, the temporary is removed and the
//   target is as it was.  When only the directory's fsync fails the new
//   file is in place, and error says it may not survive a crash.
// - Destroying a PendingFile that was not committed removes its temporary
//   (every early return and exception path leaves nothing behind);
//   discard() does the same at once.  A process killed by SIGKILL leaves
//   its TARGET.tmp-XXXXXX behind: nothing else can; the next holder of the
//   target's lock removes it (removeStaleTemporaries).
// - writeFileAtomically(target, text, error) is the above in one call: a
//   failed write leaves neither a temporary nor a changed target.
// - finishFile(from, to, error) finishes a file that was written under a
//   fixed name of its own (a partial results file, kept for resuming):
//   fsync `from`, rename it to `to`, fsync the directory of `to`.
// - syncFile(path) and syncDirectoryOf(path) are the two flushes alone.
//   File systems that cannot fsync a directory (EINVAL) count as flushed.
// Errors are one phrase naming the path, for a command's prefix; the
// command exits with status 1.
#pragma once

#include <optional>
#include <string>
#include <string_view>

class PendingFile {
public:
    static std::optional<PendingFile> beside(const std::string& target, std::string& error);

    ~PendingFile() { discard(); }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&&) = delete;

    const std::string& path() const { return path_; }
    const std::string& target() const { return target_; }
    // The open descriptor (read and write), until commit or discard.
    int descriptor() const { return fd_; }

    bool write(std::string_view text, std::string& error);
    bool commit(std::string& error);
    void discard();

private:
    PendingFile(std::string target, std::string path, int fd)
        : target_(std::move(target)), path_(std::move(path)), fd_(fd) {}

    std::string target_;
    std::string path_;
    int fd_ = -1;
    bool done_ = false;  // committed or discarded
};

bool writeFileAtomically(const std::string& target, std::string_view text, std::string& error);

bool finishFile(const std::string& from, const std::string& to, std::string& error);

bool syncFile(const std::string& path, std::string& error);

bool syncDirectoryOf(const std::string& path, std::string& error);

// Removes the temporaries TARGET.tmp-XXXXXX (regular files only) that a
// process killed while writing target left behind; the number removed.
// Only for a caller that holds the lock that makes it target's one writer
// (outputlock.h): another writer's temporary looks just the same.
int removeStaleTemporaries(const std::string& target);
