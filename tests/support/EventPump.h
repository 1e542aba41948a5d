#pragma once

#include <chrono>
#include <functional>

// Processes this thread's pending events, waiting for more, until done() holds or timeout has
// passed. Returns done(), so a test can check the result of its wait.
bool pumpEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
