#pragma once

#include <cstddef>
#include <functional>

// The processors this process may run on (its affinity, which a container or taskset may narrow),
// at least one.
int processorCount();

// Runs work(p) for every part p below parts: part 0 on this thread, the others on threads of their
// own (on this one where no thread can be had). Returns when every part is done, then rethrows the
// exception of the first part that failed.
void runInParts(size_t parts, const std::function<void(size_t part)>& work);
