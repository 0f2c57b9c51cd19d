#include "blockrunner.h"

#include <algorithm>
#include <system_error>

namespace {
// A segment of the stream in the mapped replay's ring.
enum class SegmentState : unsigned char { Free, Produced, Counting, Counted };

struct SegmentSlot {
    StreamSegment segment;
    SegmentState state = SegmentState::Free;
};
}  // namespace

// One run's shared state; it lives on the stack of run() until every worker
// has left it.  Block b's starting state and flag sit in slot b % window: the
// slot is filled when b is published and free again once b is collected, so
// at most `window` blocks are pending (published, not yet collected) at once.
// The mapped replay's segments sit likewise in a ring: segment j in slot
// j % segments.size() from when it is produced until it is released.
struct BlockRunner::Job {
    Job(int iterations, int size, const Compute& c)
        : nIter(std::max(iterations, 0)),
          blockSize(std::max(size, 1)),
          nBlocks((nIter + blockSize - 1) / blockSize),
          compute(&c) {}

    int nIter;
    int blockSize;
    int nBlocks;
    int window = 0;
    const Compute* compute;
    std::vector<Rng> starts;           // starting states of the pending blocks
    std::vector<unsigned char> done;   // the pending blocks computed
    int nPublished = 0;
    int nClaimed = 0;                  // blocks a worker has taken
    int nLeft = 0;                     // workers that have finished with the job
    int awaited = -1;                  // the block the calling thread waits for, or -1
    bool replayDone = false;           // no segment will be produced any more

    std::vector<SegmentSlot> segments;
    std::uint64_t nProduced = 0;  // segments produced so far
    std::uint64_t nReleased = 0;  // segments below this are released
    std::uint64_t front = 0;      // no segment below this waits to be counted

    int firstOf(int b) const { return b * blockSize; }
    int countOf(int b) const { return std::min(blockSize, nIter - b * blockSize); }
    std::size_t slotOf(int b) const { return static_cast<std::size_t>(b % window); }
    SegmentSlot& segmentSlot(std::uint64_t j) { return segments[j % segments.size()]; }

    // Under the runner's lock: the first produced segment nobody counts yet.
    SegmentSlot* waitingSegment() {
        front = std::max(front, nReleased);
        while (front < nProduced && segmentSlot(front).state != SegmentState::Produced) ++front;
        return front < nProduced ? &segmentSlot(front) : nullptr;
    }
    bool finishedClaiming() const { return nClaimed >= nBlocks && replayDone; }
};

// How the calling thread finds the blocks' starting states.
class BlockRunner::Replay {
public:
    virtual ~Replay() = default;
    // The state the next block starts from.
    virtual Rng start() = 0;
    // Moves past a block of `count` iterations.
    virtual void pass(int count) = 0;
    // Leaves the run's generator where the last block ends.
    virtual void finish() = 0;
};

// Draws every block's draws on the run's generator itself.
class BlockRunner::AdvanceReplay : public Replay {
public:
    AdvanceReplay(Rng& rng, const Advance& advance) : rng_(rng), advance_(advance) {}
    Rng start() override { return rng_.snapshot(); }
    void pass(int count) override { advance_(rng_, count); }
    void finish() override {}

private:
    Rng& rng_;
    const Advance& advance_;
};

// Walks the draws over segments that the workers count; this thread
// produces the segments and counts one itself only when nobody else has
// taken it yet.
class BlockRunner::MappedReplay : public Replay {
public:
    MappedReplay(BlockRunner& runner, Job& job, Rng& rng, const IterationDraws& draws)
        : runner_(runner), job_(job), rng_(rng), draws_(draws), source_(rng), walker_(rng),
          ahead_(4 + 2 * static_cast<int>(runner.pool_.size())),
          segment_([this](std::uint64_t j) -> const StreamSegment& { return segment(j); }) {
        job_.segments.resize(static_cast<std::size_t>(ahead_ + 2));
    }
    Rng start() override { return walker_.state(segment_); }
    void pass(int count) override { walker_.walk(draws_, static_cast<std::uint64_t>(count), segment_); }
    void finish() override { rng_ = walker_.state(segment_); }

private:
    const StreamSegment& segment(std::uint64_t j);
    void release(std::uint64_t below);
    void produce(std::uint64_t upTo);

    BlockRunner& runner_;
    Job& job_;
    Rng& rng_;
    const IterationDraws& draws_;
    SegmentSource source_;
    StreamWalker walker_;
    int ahead_;  // segments produced ahead of the one the walk asks for
    StreamWalker::Segments segment_;
};

// A walk asks for segments in increasing order and may ask once more for the
// one before; older ones are released.
const StreamSegment& BlockRunner::MappedReplay::segment(std::uint64_t j) {
    const std::uint64_t keep = j >= 1 ? j - 1 : 0;
    release(keep);
    // Segments the walk has jumped over (raw outputs) are passed uncounted.
    while (job_.nProduced < keep) {
        source_.skip();
        std::lock_guard lock(runner_.mutex_);
        ++job_.nProduced;
        ++job_.nReleased;
    }
    produce(j + static_cast<std::uint64_t>(ahead_));
    SegmentSlot& slot = job_.segmentSlot(j);
    std::unique_lock lock(runner_.mutex_);
    if (slot.state == SegmentState::Produced) {
        slot.state = SegmentState::Counting;
        lock.unlock();
        slot.segment.count();
        lock.lock();
        slot.state = SegmentState::Counted;
        return slot.segment;
    }
    runner_.finished_.wait(lock, [&] { return slot.state == SegmentState::Counted; });
    return slot.segment;
}

void BlockRunner::MappedReplay::release(std::uint64_t below) {
    if (job_.nReleased >= below) return;
    std::unique_lock lock(runner_.mutex_);
    for (; job_.nReleased < below && job_.nReleased < job_.nProduced; ++job_.nReleased) {
        SegmentSlot& slot = job_.segmentSlot(job_.nReleased);
        runner_.finished_.wait(lock, [&] { return slot.state != SegmentState::Counting; });
        slot.state = SegmentState::Free;
    }
}

// Only this thread produces, so it reads the counts without the lock.
void BlockRunner::MappedReplay::produce(std::uint64_t upTo) {
    const auto ring = static_cast<std::uint64_t>(job_.segments.size());
    while (job_.nProduced <= upTo && job_.nProduced < job_.nReleased + ring) {
        SegmentSlot& slot = job_.segmentSlot(job_.nProduced);
        source_.next(slot.segment);
        {
            std::lock_guard lock(runner_.mutex_);
            slot.state = SegmentState::Produced;
            ++job_.nProduced;
        }
        runner_.published_.notify_all();
    }
}

// More workers than this only cost start-up time and memory: no run has
// enough blocks to keep them busy.
constexpr int kMaxWorkers = 256;

// Pending blocks per worker: enough that the replay runs ahead of the workers
// and a slow block does not stall the others.
constexpr int kPendingPerWorker = 4;

BlockRunner::BlockRunner(int threads) : threads_(std::min(threads, kMaxWorkers)) {}

BlockRunner::~BlockRunner() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& t : pool_) t.join();
}

void BlockRunner::startWorkers() {
    started_ = true;
    pool_.reserve(static_cast<std::size_t>(threads_));
    try {
        for (int t = 0; t < threads_; ++t) pool_.emplace_back([this, t] { workerLoop(t); });
    } catch (const std::system_error&) {
        // Fewer workers only take longer; without any, runs are sequential.
    }
}

// A worker counts waiting segments first (the replay waits for them), then
// computes published blocks in order of publication.
void BlockRunner::workerLoop(int slot) {
    unsigned long long seen = 0;
    for (;;) {
        Job* job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
            job = job_;
        }
        for (;;) {
            SegmentSlot* segment = nullptr;
            int b = -1;
            Rng local;
            {
                std::unique_lock lock(mutex_);
                published_.wait(lock, [&] {
                    return job->waitingSegment() != nullptr || job->nClaimed < job->nPublished ||
                           job->finishedClaiming();
                });
                segment = job->waitingSegment();
                if (segment != nullptr) {
                    segment->state = SegmentState::Counting;
                } else if (job->nClaimed < job->nPublished) {
                    b = job->nClaimed++;
                    local.restore(job->starts[job->slotOf(b)]);
                } else {
                    break;
                }
            }
            if (segment != nullptr) {
                segment->segment.count();
                std::lock_guard lock(mutex_);
                segment->state = SegmentState::Counted;
            } else {
                (*job->compute)(slot, local, job->firstOf(b), job->countOf(b));
                std::unique_lock lock(mutex_);
                job->done[job->slotOf(b)] = 1;
                // Only the calling thread waits for a block, and only for one.
                if (b != job->awaited) continue;
            }
            finished_.notify_all();
        }
        {
            std::lock_guard lock(mutex_);
            ++job->nLeft;
        }
        finished_.notify_all();
    }
}

bool BlockRunner::workersFor(int nBlocks) {
    if (threads_ > 1 && nBlocks > 1 && !started_) startWorkers();
    return !pool_.empty() && nBlocks > 1;
}

void BlockRunner::run(Rng& rng, int nIter, int blockSize, const Compute& compute,
                      const Advance& advance, const Collect& collect) {
    Job job(nIter, blockSize, compute);
    if (!workersFor(job.nBlocks)) {
        for (int b = 0; b < job.nBlocks; ++b) {
            compute(0, rng, job.firstOf(b), job.countOf(b));
            for (int i = job.firstOf(b); i < job.firstOf(b) + job.countOf(b); ++i) collect(i);
        }
        return;
    }
    AdvanceReplay replay(rng, advance);
    job.replayDone = true;
    runParallel(job, replay, collect);
}

void BlockRunner::run(Rng& rng, int nIter, int blockSize, const Compute& compute,
                      const IterationDraws& draws, const Collect& collect) {
    Job job(nIter, blockSize, compute);
    if (!workersFor(job.nBlocks) || !StreamWalker::walkable(rng, draws)) {
        const auto advance = [&](Rng& r, int count) {
            skipIterations(r, draws, static_cast<std::uint64_t>(count));
        };
        run(rng, nIter, blockSize, compute, advance, collect);
        return;
    }
    MappedReplay replay(*this, job, rng, draws);
    runParallel(job, replay, collect);
}

void BlockRunner::forEach(int count, const Task& task) {
    // Tasks are blocks of one iteration on a generator nobody draws from.
    Rng unused;
    const Compute compute = [&task](int worker, Rng&, int first, int n) {
        for (int i = first; i < first + n; ++i) task(worker, i);
    };
    run(unused, count, 1, compute, [](Rng&, int) {}, [](int) {});
}

void BlockRunner::runParallel(Job& job, Replay& replay, const Collect& collect) {
    job.window = std::min(job.nBlocks, kPendingPerWorker * static_cast<int>(pool_.size()));
    job.starts.resize(static_cast<std::size_t>(job.window));
    job.done.assign(static_cast<std::size_t>(job.window), 0);
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        ++generation_;
    }
    wake_.notify_all();

    // Waits until published block b is computed.
    const auto waitFor = [&](int b) {
        std::unique_lock lock(mutex_);
        job.awaited = b;
        finished_.wait(lock, [&] { return job.done[job.slotOf(b)] != 0; });
        job.awaited = -1;
    };
    // Collects published blocks in order, up to block `upTo` (exclusive);
    // without `wait` only those already computed.  Waiting, it waits for the
    // last of them first: blocks are taken in order, so the others are
    // mostly done by then, and this thread wakes once for them all.  Only
    // this thread publishes, so it reads nPublished without the lock.
    int nCollected = 0;  // blocks whose iterations have been collected
    const auto collectReady = [&](int upTo, bool wait) {
        upTo = std::min(upTo, job.nPublished);
        if (wait && nCollected < upTo) waitFor(upTo - 1);
        while (nCollected < upTo) {
            {
                std::unique_lock lock(mutex_);
                const bool ready = job.done[job.slotOf(nCollected)] != 0;
                if (!ready && !wait) return;
                if (!ready) {
                    lock.unlock();
                    waitFor(nCollected);
                }
            }
            const int b = nCollected++;
            for (int i = job.firstOf(b); i < job.firstOf(b) + job.countOf(b); ++i) collect(i);
        }
    };

    for (int b = 0; b < job.nBlocks; ++b) {
        // Block b takes the slot of block b - window once that is collected.
        // A full window is drained by half before this thread goes on, so it
        // wakes once per half window, not once per block.
        if (b - nCollected >= job.window) collectReady(b - job.window + std::max(job.window / 2, 1), true);
        Rng start = replay.start();
        {
            std::lock_guard lock(mutex_);
            job.starts[job.slotOf(b)] = start;
            job.done[job.slotOf(b)] = 0;
            ++job.nPublished;
        }
        published_.notify_all();
        replay.pass(job.countOf(b));
        collectReady(job.nBlocks, false);
    }
    replay.finish();
    {
        std::lock_guard lock(mutex_);
        job.replayDone = true;
    }
    published_.notify_all();
    collectReady(job.nBlocks, true);
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return job.nLeft == static_cast<int>(pool_.size()); });
    job_ = nullptr;
}
