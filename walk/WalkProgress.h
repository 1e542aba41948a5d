#pragma once

#include "walk/WalkMode.h"

#include <QtGlobal>
#include <string_view>

// The walk's counts as it hands them to its host, at each pump and when it ends. Each host renders
// them its own way; the walk makes no text and nothing per entry.
struct WalkProgress {
    WalkMode mode = WalkMode::CountTypes;
    // EntryCount: every entry examined so far, files left out by a condition included.
    qint64 entries = 0;
    // EntryCount when the walk last finished an entry or found a file. A file left out by a
    // condition is examined but never finished, and a folder's entry is finished only once the
    // folder has been walked, so this can lag entries. Before the first entry it is EntryCount as
    // the walk found it.
    qint64 settledEntries = 0;
    // Rows in the found-file list; only the list modes add to it.
    qint64 rows = 0;
    // TotalFiles: files counted into types; only CountTypes adds to it.
    qint32 totalFiles = 0;
    // Bytes of the files counted into types or found so far, as their sizes count.
    qint64 bytes = 0;
    // The folder being read, as the file system's bytes; valid during the call only.
    std::string_view folder;
};
