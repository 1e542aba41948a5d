#pragma once

#include "duplicates/DuplicateGroup.h"
#include "duplicates/UnreadFile.h"

#include <vector>

// What a duplicate search found.
struct DuplicateResult {
    // Sorted by wasted space, largest first, then by size, largest first, then by the first path of
    // the group (bytes), so two searches of the same files list them alike.
    std::vector<DuplicateGroup> groups;
    // Candidates that could not be compared, in the order they were given. Only files that could
    // have had a copy are read, so an unreadable file of a size no other file has is not listed.
    std::vector<UnreadFile> unread;
    qint64 wasted = 0; // of every group
    // Cancelled searches report nothing else.
    bool cancelled = false;

    // What the search went through.
    qint64 candidates = 0; // names given
    qint64 files = 0;      // different regular files among them, within the size limits
    qint64 quickFiles = 0; // read for the quick hash
    qint64 fullFiles = 0;  // read whole for the full hash
    qint64 bytesRead = 0;  // in every step
};
