#include "duplicates/DuplicateOptions.h"

#include "platform/Processors.h"

#include <algorithm>

// A worker mostly waits for the disk, not for a processor: more reads in flight than cores let the
// disk order them, and a warm cache still gains from one per core.
int DuplicateOptions::defaultWorkers() {
    return std::max(8, processorCount());
}
