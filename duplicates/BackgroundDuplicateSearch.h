#pragma once

#include "duplicates/DuplicateFinder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <mutex>
#include <optional>
#include <thread>

// A duplicate search on a thread of its own, for a caller that must not block (the window): it
// starts at construction, and the caller asks now and then how far it has come and whether it is
// done. Every member may be called from the thread that made the object; the search thread only
// writes the snapshot they read, under a lock.
class BackgroundDuplicateSearch {
public:
    // Starts searching the paths (native bytes) with options.
    explicit BackgroundDuplicateSearch(const QList<QByteArray>& paths, const DuplicateOptions& options = {});
    // Cancels a search still under way and waits for its thread, which returns within the options'
    // stop grace once cancelled.
    ~BackgroundDuplicateSearch();
    BackgroundDuplicateSearch(const BackgroundDuplicateSearch&) = delete;
    BackgroundDuplicateSearch& operator=(const BackgroundDuplicateSearch&) = delete;

    // Asks the search to stop; it then ends with a cancelled result.
    void cancel();
    // The last progress the search reported.
    DuplicateProgress progress() const;
    // True once the search has ended, found, cancelled or failed.
    bool isDone() const;
    // The result once done (cancelled set when cancelled); empty before, and after a failure.
    // Taken once: the next call gives nothing.
    std::optional<DuplicateResult> takeResult();
    // The message of the exception that ended the search; empty when none did.
    QString failure() const;

private:
    void run();

    DuplicateFinder m_finder;
    mutable std::mutex m_mutex;
    DuplicateProgress m_progress;            // under m_mutex
    std::optional<DuplicateResult> m_result; // under m_mutex
    QString m_failure;                       // under m_mutex
    bool m_done = false;                     // under m_mutex
    std::thread m_thread;                    // last, so it starts after everything it uses
};
