#pragma once

#include "walk/ScanOptions.h"
#include "walk/WalkProgress.h"

// What the walk needs of its host: the pump, the option snapshot and somewhere to show progress.
class ScanHost {
public:
    virtual ~ScanHost() = default;

    // Processes pending events. Handlers run inside it and may set StopSearch or change options.
    virtual void pump() = 0;
    // The option controls as they stand now.
    virtual ScanOptions options() const = 0;
    // The walk's counts, handed right before each pump and once more when the walk ends, however it
    // ends; never per entry. A count that has not moved since the last call is handed again.
    virtual void showProgress(const WalkProgress& progress) = 0;
};
