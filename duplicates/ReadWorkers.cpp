#include "duplicates/ReadWorkers.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

using Clock = std::chrono::steady_clock;

struct ReadWorkers::Shared {
    explicit Shared(const Settings& s) : settings(s) {}

    const Settings settings;
    std::mutex mutex;
    std::condition_variable cv; // the calling thread waits on it for its workers and for cancel()
    std::atomic<bool> cancelled{false};
};

// One run's jobs. Its own object, so a worker abandoned by a cancelled run touches nothing that a
// later run uses.
struct ReadWorkers::Step {
    Step(size_t c, Job j) : count(c), job(std::move(j)) {}

    const size_t count;
    const Job job;
    std::atomic<size_t> next{0};
    std::atomic<qint64> files{0};
    std::atomic<qint64> bytes{0};
    // Under Shared::mutex. A worker's last act is to count itself out, so whoever sees running at 0
    // under the lock sees everything the jobs wrote.
    int running = 0;
    std::exception_ptr failure;
};

ReadWorkers::ReadWorkers(const Settings& settings) : m_shared(std::make_shared<Shared>(settings)) {}

ReadWorkers::~ReadWorkers() = default;

void ReadWorkers::cancel() {
    // Set at once, so workers see it between two jobs even while the lock is taken; the lock, taken
    // after, only keeps the notification from falling between the waiter's test and its wait.
    m_shared->cancelled.store(true, std::memory_order_relaxed);
    { std::lock_guard lock(m_shared->mutex); }
    m_shared->cv.notify_all();
}

bool ReadWorkers::isCancelled() const {
    return m_shared->cancelled.load(std::memory_order_relaxed);
}

void ReadWorkers::work(Shared& shared, Step& step) {
    try {
        DuplicateReader reader(shared.settings.readSize, shared.cancelled, step.bytes);
        while (!shared.cancelled.load(std::memory_order_relaxed)) {
            const size_t i = step.next.fetch_add(1, std::memory_order_relaxed);
            if (i >= step.count)
                break;
            step.files.fetch_add(step.job(i, reader), std::memory_order_relaxed);
        }
    } catch (...) {
        step.next.store(step.count, std::memory_order_relaxed); // the others take no new job
        std::lock_guard lock(shared.mutex);
        if (!step.failure)
            step.failure = std::current_exception();
    }
}

bool ReadWorkers::run(size_t count, Job job, const Tick& tick, int maxWorkers) {
    Shared& s = *m_shared;
    if (isCancelled())
        return false;
    const auto step = std::make_shared<Step>(count, std::move(job));
    const int workers = maxWorkers > 0 ? std::min(maxWorkers, s.settings.workers) : s.settings.workers;
    const size_t wanted = std::min(size_t(std::max(1, workers)), count);
    size_t started = 0;
    for (; started < wanted; ++started) {
        {
            std::lock_guard lock(s.mutex);
            ++step->running;
        }
        try {
            std::thread([shared = m_shared, step] {
                work(*shared, *step);
                {
                    std::lock_guard lock(shared->mutex);
                    --step->running;
                }
                shared->cv.notify_all();
            }).detach();
        } catch (const std::system_error&) {
            std::lock_guard lock(s.mutex);
            --step->running;
            break;
        }
    }

    if (started == 0) {
        // No thread to be had: the jobs run here, with progress between them.
        DuplicateReader reader(s.settings.readSize, s.cancelled, step->bytes);
        Clock::time_point lastTick = Clock::now();
        while (!isCancelled()) {
            const size_t i = step->next.fetch_add(1, std::memory_order_relaxed);
            if (i >= count)
                break;
            step->files.fetch_add(step->job(i, reader), std::memory_order_relaxed);
            if (tick && Clock::now() - lastTick >= s.settings.progressInterval) {
                tick(step->files.load(std::memory_order_relaxed), step->bytes.load(std::memory_order_relaxed));
                lastTick = Clock::now();
            }
        }
    } else {
        std::unique_lock lock(s.mutex);
        const auto done = [&] { return step->running == 0 || s.cancelled.load(std::memory_order_relaxed); };
        while (!done()) {
            s.cv.wait_for(lock, s.settings.progressInterval, done);
            if (!done() && tick) {
                lock.unlock();
                tick(step->files.load(std::memory_order_relaxed), step->bytes.load(std::memory_order_relaxed));
                lock.lock();
            }
        }
        if (step->running > 0) {
            // Cancelled: the workers stop at their next read; one blocked in the kernel is left behind.
            s.cv.wait_for(lock, s.settings.stopGrace, [&] { return step->running == 0; });
            return false;
        }
        if (step->failure)
            std::rethrow_exception(step->failure);
    }
    if (isCancelled())
        return false;
    if (tick)
        tick(step->files.load(std::memory_order_relaxed), step->bytes.load(std::memory_order_relaxed));
    return true;
}
