#pragma once

#include <QtGlobal>

// The run state shared by the walk, the runs and the GO/STOP control: one object, owned by the
// window and handed to the walk. Everything runs on the UI thread; handlers only touch it from
// inside the pump.
struct RunState {
    // Set by STOP and Escape; the walk and the file-list fill leave at their next stop test.
    bool StopSearch = false;
    // Directory entries examined since the last reset, "." and ".." included.
    qint64 EntryCount = 0;
    // Files handed to the type table since the last reset.
    qint32 TotalFiles = 0;
};
