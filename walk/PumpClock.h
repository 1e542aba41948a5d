#pragma once

#include <chrono>

// When a long loop on the UI thread processes pending events: at most every interval. Pumping on
// every step costs more than the step itself, and a person cannot tell a few milliseconds apart.
class PumpClock {
public:
    using Clock = std::chrono::steady_clock;

    explicit PumpClock(std::chrono::nanoseconds interval = std::chrono::milliseconds(4))
        : m_interval(interval), m_last(Clock::now()) {}

    // True when the interval has passed since the last pump.
    bool due() const { return Clock::now() - m_last >= m_interval; }
    // Marks a pump as done; the next is due an interval from now.
    void pumped() { m_last = Clock::now(); }
    std::chrono::nanoseconds interval() const { return m_interval; }

private:
    std::chrono::nanoseconds m_interval;
    Clock::time_point m_last;
};
