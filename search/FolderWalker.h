#pragma once

#include "search/RecordLists.h"
#include "search/ScanHost.h"

#include <QString>
#include <chrono>
#include <memory>

class FolderWalkerPrivate;

// The folder walk. Runs on the caller's thread, depth-first and pre-order, entries of a folder in
// the order the enumeration delivers them; pumps its host between entries, re-reads the options
// after each pump and leaves at the first stop test that sees StopSearch.
//
// Modes: "+" counts every accepted file into dataList/indexList; "x" applies the ticked criteria
// and appends accepted files to fileList; any other text is a mask for the file's extension
// (an empty text stands for " ", so it lists the files without extension).
//
// A folder that cannot be listed contributes nothing; the walk goes on with the next entry.
class FolderWalker {
public:
    FolderWalker(ScanHost& host, TDataList& dataList, TDataIndexList& indexList, TFileList& fileList);
    ~FolderWalker();
    FolderWalker(const FolderWalker&) = delete;
    FolderWalker& operator=(const FolderWalker&) = delete;

    // Least time between two pumps. Pumping and label updates at every entry would cost more than
    // the walk itself; every few milliseconds is indistinguishable to a person. Zero pumps at
    // every entry.
    void setPumpInterval(std::chrono::nanoseconds interval);

    void ScanFolder(const QString& folder, bool recurse, const QString& mode);

private:
    std::unique_ptr<FolderWalkerPrivate> d;
};
