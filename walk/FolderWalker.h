#pragma once

#include "records/RecordLists.h"
#include "walk/ReadAhead.h"
#include "walk/RunState.h"
#include "walk/ScanHost.h"
#include "walk/ScanReport.h"
#include "walk/WalkMode.h"

#include <QString>
#include <chrono>
#include <memory>

class FolderWalkerPrivate;

// The folder walk. Runs on the caller's thread, depth-first and pre-order, entries of a folder in
// the order the enumeration delivers them; pumps its host between entries, re-reads the options
// after each pump and leaves at the first stop test that sees StopSearch.
//
// Modes: CountTypes counts every accepted file into dataList/indexList; Criteria applies the ticked
// criteria and appends accepted files to fileList; ListType lists exactly the files a summary counts
// into the listed type: the extension compared with the type text by the comparison that groups the
// summary, literally, never as a mask (Linux names may hold "*" and "?"). The empty type text lists
// the files without extension.
//
// Progress goes to the host as counts (WalkProgress) right before each pump and when the walk ends.
//
// Folders are opened relative to their parent's descriptor and never through a link, so paths of
// any length are walked and a folder swapped for a link during the walk is not entered. Worker
// threads may list folders ahead of the walk (setReadAhead); the walk consumes their listings in
// the same order and with the same rules, and processes events while it waits for one.
//
// A folder that cannot be listed contributes nothing; the walk goes on with the next entry. An
// entry whose metadata cannot be read is kept by its name: it counts into its type with no size,
// is listed by type, type mask and name mask, and fails every attribute, date and size condition.
// Both are reported in report().
class FolderWalker {
public:
    // The walk counts into run (EntryCount, TotalFiles) and stops when run.StopSearch is set.
    FolderWalker(ScanHost& host, RunState& run, TDataList& dataList, TDataIndexList& indexList, TFileList& fileList);
    ~FolderWalker();
    FolderWalker(const FolderWalker&) = delete;
    FolderWalker& operator=(const FolderWalker&) = delete;

    // Least time between two pumps. Pumping and label updates at every entry would cost more than
    // the walk itself; every few milliseconds is indistinguishable to a person. Zero pumps at
    // every entry, and then the walk waits for a worker's listing without pumping for up to a
    // second, so a test sees exactly one pump per entry.
    void setPumpInterval(std::chrono::nanoseconds interval);

    // How folders are read: by default on this thread when the walk reaches them (no workers);
    // ReadAheadSettings::defaultWorkers() is what helps on this machine.
    void setReadAheadWorkers(int workers);
    // Its leftOut names are also left out of the walk: neither counted nor listed.
    void setReadAhead(const ReadAheadSettings& settings);

    // Sizes as the disk usage: the allocated blocks, and a file of several hard links counted at
    // its first path in walk order, with size 0 at the others (noted in the found-file list).
    void setDiskUsage(bool on);

    // Walks folder (and, with recurse, its sub-folders). listedType is the type ListType lists;
    // the other modes take none.
    void ScanFolder(const QString& folder, bool recurse, WalkMode mode, const QString& listedType = QString());

    // What the last ScanFolder could not read.
    const ScanReport& report() const;
    // The most listing data the last ScanFolder held at once, in bytes.
    size_t readAheadPeakBytes() const;

private:
    std::unique_ptr<FolderWalkerPrivate> d;
};
