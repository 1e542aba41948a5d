#pragma once

// Dropping the page cache, for cold measurements. Needs root.

#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

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

// Reads back every file this process has mapped (its program, libraries, fonts, the MIME
// database), so that a cold measurement is of the tree alone. A program that runs has its own
// files in the cache; dropping them too would time the window's first page faults on its own code.
inline void rewarmMappedFiles() {
    std::ifstream maps("/proc/self/maps");
    std::set<std::string> files;
    for (std::string line; std::getline(maps, line);) {
        const size_t slash = line.find('/');
        if (slash != std::string::npos && line.find(" (deleted)") == std::string::npos)
            files.insert(line.substr(slash));
    }
    std::vector<char> buffer(1 << 20);
    for (const std::string& file : files) {
        if (FILE* f = std::fopen(file.c_str(), "rb")) {
            while (std::fread(buffer.data(), 1, buffer.size(), f) == buffer.size()) {
            }
            std::fclose(f);
        }
    }
}
