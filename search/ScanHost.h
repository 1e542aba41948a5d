#pragma once

#include "search/ScanOptions.h"

#include <QString>

// What the walk needs of its host: the pump, the option snapshot and the two progress labels.
class ScanHost {
public:
    virtual ~ScanHost() = default;

    // Processes pending events. Handlers run inside it and may set StopSearch or change options.
    virtual void pump() = 0;
    // The option controls as they stand now.
    virtual ScanOptions options() const = 0;
    // The "%d/%d" progress text for FileCount.
    virtual void showFileCount(const QString& text) = 0;
    // TotalFiles for CountLabel.
    virtual void showTotalFiles(qint32 total) = 0;
};
