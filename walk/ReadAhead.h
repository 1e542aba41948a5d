#pragma once

#include "platform/DirEnum.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// How the walk's folders are read. The defaults are the measured best for the machine, but for
// workers, which the caller chooses (FolderWalker reads on its own thread unless told otherwise).
struct ReadAheadSettings {
    // Threads that list folders before the walk reaches them. 0 reads each folder on the walk's
    // own thread when the walk reaches it: the same descriptor walk, kept for tests and comparison.
    int workers = 0;
    // Listings held at most, read or being read, the walk's own included. The folder the walk
    // waits for is read even beyond it.
    size_t budgetBytes = size_t(64) << 20;
    // Folder descriptors held at most (never fewer than two per worker and four more, so workers do
    // not take each other's); beyond it, folders are reopened from their nearest held ancestor,
    // level by level.
    int maxOpenFolders = 64;
    // Entries stat'ed per piece of a folder; the walk starts on a large folder's first piece while
    // the others are read.
    qsizetype chunkEntries = 256;
    // Once STOP is seen, how long the walk waits for what it still needs before it ends at once
    // and leaves a worker that is blocked in the kernel behind.
    std::chrono::nanoseconds stopGrace = std::chrono::milliseconds(10);
    // Called on each worker thread when it starts; and on the thread that reads, just before it
    // opens a folder (piece -1) or stats a piece of its entries, with the folder's name (the root's
    // is its path). Tests use them to change a worker's rights, to change the tree at a known
    // moment or to stand in for a call that blocks in the kernel.
    std::function<void()> onWorkerStart;
    std::function<void(std::string_view folder, qsizetype piece)> beforeRead;
    // Called by wait() on the walk's thread after its test without the lock found the folder or
    // entry not ready, before it takes the lock. Tests use it to let a worker finish just then.
    std::function<void()> afterReadyTest;

    // Which file systems mounted below the root are entered: all of them (the window), only those
    // on the root's device (-x), or all but the kernel's own and automount points.
    enum class Mounts { All, SameDevice, NoKernel };
    Mounts mounts = Mounts::All;
    // The mount table they are known by, as /proc/self/mountinfo gives it; empty reads the
    // system's. Tests give their own.
    std::string mountInfo;
    // Names left out of the walk: a folder so named is never read. Called on the reading threads,
    // several at once.
    std::function<bool(std::string_view name)> leftOut;

    // The number of workers that helps most here: measured on cold and warm trees.
    static int defaultWorkers();
};

// The folders of one walk, listed and stat'ed on worker threads in the order the walk will enter
// them: depth-first, pre-order, entries in listing order. Everything the walk reads is plain data;
// workers never see the walk's run state or records. Used from the walk's thread only.
//
// The walk starts at the root, enters each sub-folder it meets with enter(), waits for what it
// needs with wait() (which returns at a deadline so the caller can process events), and calls
// leave() when it has finished a folder. Ending the walk (destroying this object) cancels
// everything outstanding at once; a worker blocked in the kernel is abandoned and its result
// dropped when it returns.
class ReadAhead {
public:
    using Clock = std::chrono::steady_clock;
    struct Folder; // opaque to the walk

    explicit ReadAhead(const ReadAheadSettings& settings);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts the walk at root (native bytes; the root may be a link). Without recurse no sub-folder
    // is read.
    Folder* start(std::string root, bool recurse);
    // The sub-folder at entry index of parent, which the walk enters now; it must be a folder the
    // walk enters (see entersFolder).
    Folder* enter(Folder* parent, qsizetype index);
    // The walk has read every entry of folder and left every sub-folder; its listing is freed.
    void leave(Folder* folder);

    // What the walk reads of a listed folder.
    struct View {
        const platform::DirEntry* entries = nullptr;
        const char* names = nullptr;
        qsizetype count = 0;
        int error = 0;     // errno when the folder could not be listed; nothing else then
        bool left = false; // another file system the walk does not enter; nothing was read
        std::string_view name(const platform::DirEntry& e) const { return {names + e.nameOffset, e.nameLen}; }
    };

    // Whether folder is listed; then view() describes it.
    bool isListed(const Folder* folder) const;
    View view(const Folder* folder) const;
    // How many entries, from the first, carry their final metadata.
    qsizetype readyEntries(const Folder* folder) const;
    // The errno of the first entry without metadata in the piece holding entry index.
    int statError(const Folder* folder, qsizetype index) const;

    // Waits until folder is listed and, when it was, entry index is ready (index < 0: the listing
    // only), or until the deadline. Without workers it does the work itself and never times out.
    // When it is not ready, the workers are first given up to `gather` to get further ahead, so that
    // the walk wakes once for many folders rather than once for each. True when ready.
    bool wait(Folder* folder, qsizetype index, Clock::time_point deadline, Clock::duration gather = {});

    // While stopping, nothing is read but what the walk waits for; the walk may go on (a handler
    // can clear StopSearch again), so nothing is forgotten.
    void setStopping(bool stopping);

    // Whether the walk enters this entry: a folder, not a link to one, not "." or "..".
    static bool entersFolder(const platform::DirEntry& e, std::string_view name);

    // The largest amount of listing data held at once, in bytes, for the benchmarks.
    size_t peakBytes() const;

    class Shared; // what the walk and the workers share

private:
    std::shared_ptr<Shared> m_shared;
};
