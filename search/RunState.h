#pragma once

#include <QtGlobal>

// The run state shared by the walk, the runs and the GO/STOP control. Everything runs on the
// UI thread, so plain globals are enough: handlers only touch them from inside the pump.

// Set by STOP and Escape; the walk and the file-list fill leave at their next stop test.
extern bool StopSearch;
// Directory entries examined since the last reset, "." and ".." included.
extern qint64 EntryCount;
// Files handed to the type table since the last reset.
extern qint32 TotalFiles;
