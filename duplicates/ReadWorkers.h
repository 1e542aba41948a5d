#pragma once

#include "duplicates/DuplicateReader.h"

#include <QtGlobal>
#include <chrono>
#include <functional>
#include <memory>

// Runs the jobs of one step of a duplicate search on worker threads, each worker with a
// DuplicateReader of its own, while the calling thread waits and reports progress. A free worker
// takes the next job in index order, so the jobs' order is roughly the order of the reads.
//
// cancel() may be called from any thread: workers stop between jobs and between reads, and run()
// returns once they have, or after the stop grace even if one is still blocked in the kernel. Such a
// worker finishes its job when the kernel lets it and then ends, so a job must share the ownership of
// everything it touches, and nobody may read what a cancelled step's jobs write.
class ReadWorkers {
public:
    struct Settings {
        int workers = 1;
        qint64 readSize = qint64(1) << 20;
        std::chrono::milliseconds progressInterval{100};
        std::chrono::milliseconds stopGrace{20};
    };
    // Runs job index on a worker thread, beside other jobs, so it writes only what belongs to its
    // index. Returns how many files it finished, for progress.
    using Job = std::function<qint64(size_t index, DuplicateReader& reader)>;
    // The files finished and bytes read so far in the step.
    using Tick = std::function<void(qint64 files, qint64 bytes)>;

    explicit ReadWorkers(const Settings& settings);
    ~ReadWorkers();
    ReadWorkers(const ReadWorkers&) = delete;
    ReadWorkers& operator=(const ReadWorkers&) = delete;

    // Runs jobs 0 to count - 1 on at most maxWorkers of the workers (0: all). True when every job is
    // done, after which all they wrote may be read; false when cancelled. Calls tick on this thread
    // every progress interval and once when the jobs are done. The workers start here, so they have
    // this thread's rights. Where no thread can be started the jobs run on this one. A job's
    // exception ends the step and is thrown here.
    bool run(size_t count, Job job, const Tick& tick, int maxWorkers = 0);

    // Ends the step under way and every later one. Any thread; the object must outlive the call.
    void cancel();
    bool isCancelled() const;

private:
    struct Shared;
    struct Step;
    static void work(Shared& shared, Step& step);

    std::shared_ptr<Shared> m_shared;
};
