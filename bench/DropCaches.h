#pragma once

// Dropping the page cache, for cold measurements. Needs root.

#include <cstdio>
#include <unistd.h>

// Whether this process may drop the page cache.
inline bool canDropCaches() {
    return ::access("/proc/sys/vm/drop_caches", W_OK) == 0;
}

// Writes back dirty pages and drops the clean ones with the dentries and inodes. False when the
// cache could not be dropped.
inline bool dropCaches() {
    ::sync();
    FILE* f = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (!f)
        return false;
    const bool ok = std::fputs("3", f) >= 0;
    return std::fclose(f) == 0 && ok;
}
