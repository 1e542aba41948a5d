#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

// A one-shot gate a worker thread can be held at, with a timeout so a broken test fails instead of
// hanging.
class Gate {
public:
    void open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_cv.notify_all();
    }
    bool waitOpen(std::chrono::seconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, timeout, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};
