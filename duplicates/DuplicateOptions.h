#pragma once

#include "duplicates/DuplicateStage.h"

#include <QtGlobal>
#include <chrono>
#include <functional>
#include <string_view>

// What a duplicate search compares and how it reads.
struct DuplicateOptions {
    // Empty files are all equal to each other and waste nothing; they are left out unless asked for.
    bool includeEmpty = false;
    // Files smaller than this many bytes are left out.
    qint64 minimumSize = 0;
    // After the hashes agree, compare the bytes of each group's files too.
    bool paranoid = false;

    // Threads that look at files and take their quick hashes, each with a buffer of 128 KiB; many
    // small reads in flight keep a disk busy. 0 takes defaultWorkers().
    int workers = 0;
    // Of those, how many read whole files at once (the full hash, the comparison), each with a
    // buffer of readSize bytes (two when comparing): a few large sequential reads keep a disk busy,
    // and the buffers bound the memory.
    int wholeFileReaders = 4;
    // Bytes per read of a whole file; never less than the 128 KiB the quick hash reads.
    qint64 readSize = qint64(1) << 20;
    // Least time between two progress reports.
    std::chrono::milliseconds progressInterval{100};
    // After a cancel, how long the search waits for a worker still in a read before it returns
    // without it (a file on a mount that no longer answers); the worker drops its result.
    std::chrono::milliseconds stopGrace{20};

    // Called on the worker thread just before it looks at (Stat) or opens a file (the other steps),
    // with the file's path. Tests use it to change or remove a file between the steps, or to hold a
    // worker at a known point. It runs on several threads at once; an exception it throws ends the
    // search and comes out of DuplicateFinder::run().
    std::function<void(DuplicateStage stage, std::string_view path)> beforeRead;

    // The number of workers that reads fastest here, measured on cold and warm trees.
    static int defaultWorkers();
};
