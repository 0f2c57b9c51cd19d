// One writer per output: an exclusive advisory lock (flock) on a lock file
// beside the output, taken before a run touches any of its files and held
// until it has finished them, so that a second run on the same output (GNU
// parallel with a fixed -o, a requeued Slurm task while the old one still
// runs) is refused at once instead of interleaving rows with the first.
//
// Contract:
// - The lock file is lockPathOf(output) = OUTPUT + ".lock".  It holds one
//   line naming its holder: "process 1234 on host node7, started 2025-06-01
//   10:00:00 UTC".  It belongs among a command's outputs for the path checks
//   (outputpaths.h).
// - OutputLock(output) tries once and never waits:
//     Held         the lock is this object's until release() or destruction;
//     Busy         another process holds it; message() names the output and
//                  the holder: "r.csv is being written by another run
//                  (process 1234 on host node7, started ...)";
//     Unsupported  the file system refuses locks (ENOLCK, EOPNOTSUPP,
//                  ENOSYS); message() says so.  Recommended: warn and go on,
//                  since refusing would stop every run on such a file system;
//     Failed       the lock file cannot be created or opened (a directory
//                  that cannot be written, a symbolic link or a directory
//                  planted at the lock's name); message() gives the reason.
//   A command prints the message after its prefix and exits with status 2
//   when Busy, 1 when Failed (a file that cannot be written), and goes on
//   after a warning when Unsupported.
// - Take it before reading or writing any of the output's files (a resume
//   reads the partial file under it), and release it after the last rename:
//   results and per-series lock in that order, each output its own lock.
// - Release (release() or the destructor, also on every error path that
//   unwinds) removes the lock file while still holding the lock, then
//   closes it.  A taker that opened the old file meanwhile notices that its
//   file is no longer the one at the lock's name and tries again, so two
//   holders never coexist.  A process that dies holds nothing (the kernel
//   drops the lock); the stale file left by SIGKILL is taken over by the
//   next run.
// - The descriptor is close-on-exec: no child process inherits the lock.
//   flock locks belong to the open file: a second OutputLock on the same
//   output in the same process is Busy too.
// Where flock does not exclude other machines: local file systems (ext4,
// XFS, btrfs, tmpfs) lock correctly, and so does NFS (Linux maps flock to
// NFS byte-range locks: NFSv4, or NFSv3 with lockd running) unless mounted
// with "nolock" or "local_lock=flock|all", which make locks local to one
// node.  Lustre locks across nodes only when mounted with "flock"
// ("localflock": one node only; "noflock": Unsupported); BeeGFS only with
// global file locks enabled; CephFS and Spectrum Scale lock across nodes;
// SMB/CIFS mounts may lock only locally.  There, two runs on one output
// from two different nodes are not detected: give every run its own -o.
#pragma once

#include <string>

class OutputLock {
public:
    enum class State { Held, Busy, Unsupported, Failed, Released };

    static std::string lockPathOf(const std::string& output) { return output + ".lock"; }

    explicit OutputLock(const std::string& output);
    ~OutputLock() { release(); }
    OutputLock(const OutputLock&) = delete;
    OutputLock& operator=(const OutputLock&) = delete;
    OutputLock(OutputLock&& other) noexcept;
    OutputLock& operator=(OutputLock&& other) noexcept;

    State state() const { return state_; }
    bool held() const { return state_ == State::Held; }
    const std::string& message() const { return message_; }
    const std::string& lockPath() const { return lockPath_; }

    // Removes the lock file and releases the lock (state Released); nothing
    // when not Held.
    void release();

private:
    std::string lockPath_;
    State state_ = State::Failed;
    std::string message_;
    int fd_ = -1;
};
