// The ordered block runner: iterations split into blocks of consecutive
// iterations, each block computed from the generator state at its start, the
// results collected in iteration order, on worker threads that the runner
// owns and keeps for many runs.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "mersenne.h"
#include "streammap.h"

class BlockRunner {
public:
    // compute(worker, rng, first, count): iterations first .. first+count-1
    //   from the generator state rng at the block's start, on worker slot
    //   `worker` (0 .. workerSlots()-1; one block at a time per slot), writing
    //   results at the iterations' indices.
    using Compute = std::function<void(int worker, Rng& rng, int first, int count)>;
    // advance(rng, count): moves the generator over the draws of count
    //   iterations without computing them.
    using Advance = std::function<void(Rng& rng, int count)>;
    // collect(i): takes iteration i's results; called in iteration order.
    using Collect = std::function<void(int i)>;

    // threads <= 1 runs every block on the calling thread; more than 256 are
    // taken as 256.  The worker threads start with the first run that has
    // more than one block.
    explicit BlockRunner(int threads);
    ~BlockRunner();
    BlockRunner(const BlockRunner&) = delete;
    BlockRunner& operator=(const BlockRunner&) = delete;

    // Worker slots a compute call may name: a caller keeps one workspace per
    // slot.
    int workerSlots() const { return threads_ > 1 ? threads_ : 1; }

    // Runs nIter iterations in blocks of blockSize.  Without worker threads
    // (one thread asked for, one block, or no thread could be started) the
    // blocks run in order on rng itself, on slot 0.  Otherwise this thread
    // replays the draws and hands each block its starting state, workers
    // compute blocks in any order, and results are still collected in order.
    // Either way rng ends in the same state.  The runner's memory does not
    // grow with nIter: it holds the starting states of at most a few blocks
    // per worker (those published and not yet collected), and the replay
    // waits for collection when that many are pending.
    void run(Rng& rng, int nIter, int blockSize, const Compute& compute, const Advance& advance,
             const Collect& collect);

    // Calls task(worker, i) for i = 0 .. count-1: on the workers, in any
    // order and one at a time per worker slot, when there are workers and
    // more than one task; otherwise in order on the calling thread, slot 0.
    // Returns once every call has returned.  For work that draws nothing.
    using Task = std::function<void(int worker, int i)>;
    void forEach(int count, const Task& task);

    // As run, with every iteration drawing `draws`.  When the draws can be
    // walked (StreamWalker::walkable), the workers also count the stream's
    // accepted attempts, and this thread only runs the generator's recurrence
    // and walks the counts: the part of the run that does not spread over the
    // workers shrinks to that.  Otherwise it replays with skipIterations.
    void run(Rng& rng, int nIter, int blockSize, const Compute& compute, const IterationDraws& draws,
             const Collect& collect);

private:
    struct Job;
    class Replay;
    class AdvanceReplay;
    class MappedReplay;

    // Blocks on the workers, their starting states from `replay`.
    void runParallel(Job& job, Replay& replay, const Collect& collect);

    // Starts the workers when a run of nBlocks blocks is the first to need
    // them; whether the run's blocks go to workers.
    bool workersFor(int nBlocks);
    void startWorkers();
    void workerLoop(int slot);

    int threads_;
    bool started_ = false;
    std::vector<std::thread> pool_;
    std::mutex mutex_;
    std::condition_variable wake_;       // a job was posted, or the runner stops
    std::condition_variable published_;  // a block's starting state is ready
    std::condition_variable finished_;   // a block is done, or a worker left a job
    Job* job_ = nullptr;
    unsigned long long generation_ = 0;  // jobs posted so far
    bool stopping_ = false;
};
