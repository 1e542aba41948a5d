#include "support/EventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

bool pumpEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // Wakes the wait now and then, so a condition that no event changes is still seen, and the
    // timeout is kept.
    QTimer tick;
    tick.start(5);
    while (!done() && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}
