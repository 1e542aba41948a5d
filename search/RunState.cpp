#include "search/RunState.h"

bool StopSearch = false;
qint64 EntryCount = 0;
qint32 TotalFiles = 0;
