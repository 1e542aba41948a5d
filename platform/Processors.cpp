#include "platform/Processors.h"

#include <algorithm>
#include <sched.h>
#include <thread>

int processorCount() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return std::max(1, int(std::thread::hardware_concurrency()));
}
