#include "blockrunner.h"

#include <algorithm>
#include <atomic>
#include <system_error>

// One run's shared state; it lives on the stack of run() until every worker
// has left it.  Block b's starting state and flag sit in slot b % window: the
// slot is filled when b is published and free again once b is collected, so
// at most `window` blocks are pending (published, not yet collected) at once.
struct BlockRunner::Job {
    int nIter;
    int blockSize;
    int nBlocks;
    int window;
    const Compute* compute;
    std::vector<Rng> starts;           // starting states of the pending blocks
    std::vector<unsigned char> done;   // the pending blocks computed
    int nPublished = 0;
    int nLeft = 0;                     // workers that have finished with the job
    std::atomic<int> nextBlock{0};

    int firstOf(int b) const { return b * blockSize; }
    int countOf(int b) const { return std::min(blockSize, nIter - b * blockSize); }
    std::size_t slotOf(int b) const { return static_cast<std::size_t>(b % window); }
};

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
            const int b = job->nextBlock.fetch_add(1);
            if (b >= job->nBlocks) break;
            Rng local;
            {
                std::unique_lock lock(mutex_);
                published_.wait(lock, [&] { return job->nPublished > b; });
                local.restore(job->starts[job->slotOf(b)]);
            }
            (*job->compute)(slot, local, job->firstOf(b), job->countOf(b));
            {
                std::lock_guard lock(mutex_);
                job->done[job->slotOf(b)] = 1;
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

void BlockRunner::run(Rng& rng, int nIter, int blockSize, const Compute& compute,
                      const Advance& advance, const Collect& collect) {
    Job job;
    job.nIter = std::max(nIter, 0);
    job.blockSize = std::max(blockSize, 1);
    job.nBlocks = (job.nIter + job.blockSize - 1) / job.blockSize;
    job.compute = &compute;

    const auto collectBlock = [&](int b) {
        for (int i = job.firstOf(b); i < job.firstOf(b) + job.countOf(b); ++i) collect(i);
    };
    if (threads_ > 1 && job.nBlocks > 1 && !started_) startWorkers();
    if (pool_.empty() || job.nBlocks <= 1) {
        for (int b = 0; b < job.nBlocks; ++b) {
            compute(0, rng, job.firstOf(b), job.countOf(b));
            collectBlock(b);
        }
        return;
    }

    job.window = std::min(job.nBlocks, kPendingPerWorker * static_cast<int>(pool_.size()));
    job.starts.resize(static_cast<std::size_t>(job.window));
    job.done.assign(static_cast<std::size_t>(job.window), 0);
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        ++generation_;
    }
    wake_.notify_all();

    // Collects published blocks in order, up to block `upTo` (exclusive);
    // without `wait` only those already computed.  Only this thread
    // publishes, so it reads nPublished without the lock.
    int nCollected = 0;  // blocks whose iterations have been collected
    const auto collectReady = [&](int upTo, bool wait) {
        while (nCollected < upTo && nCollected < job.nPublished) {
            {
                std::unique_lock lock(mutex_);
                const auto ready = [&] { return job.done[job.slotOf(nCollected)] != 0; };
                if (wait)
                    finished_.wait(lock, ready);
                else if (!ready())
                    return;
            }
            collectBlock(nCollected++);
        }
    };

    for (int b = 0; b < job.nBlocks; ++b) {
        // Block b takes the slot of block b - window once that is collected.
        collectReady(b - job.window + 1, true);
        {
            std::lock_guard lock(mutex_);
            job.starts[job.slotOf(b)] = rng.snapshot();
            job.done[job.slotOf(b)] = 0;
            ++job.nPublished;
        }
        published_.notify_all();
        advance(rng, job.countOf(b));
        collectReady(job.nBlocks, false);
    }
    collectReady(job.nBlocks, true);
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return job.nLeft == static_cast<int>(pool_.size()); });
    job_ = nullptr;
}
