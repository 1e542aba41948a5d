#include "platform/Processors.h"

#include <algorithm>
#include <exception>
#include <sched.h>
#include <system_error>
#include <thread>
#include <vector>

int processorCount() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return std::max(1, int(std::thread::hardware_concurrency()));
}

void runInParts(size_t parts, const std::function<void(size_t part)>& work) {
    std::vector<std::exception_ptr> failures(parts);
    const auto run = [&](size_t p) {
        try {
            work(p);
        } catch (...) {
            failures[p] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    for (size_t p = 1; p < parts; ++p) {
        try {
            helpers.emplace_back(run, p);
        } catch (const std::system_error&) {
            run(p);
        }
    }
    if (parts > 0)
        run(0);
    for (std::thread& helper : helpers)
        helper.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}
