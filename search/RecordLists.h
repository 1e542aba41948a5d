#pragma once

#include "search/TDataIndexList.h"
#include "search/TDataRec.h"
#include "search/TFileList.h"
#include "search/TFileRec.h"

#include <vector>

// The owning record lists of the main window; clearing a list frees its records. TFileList is a
// class of its own (TFileList.h).
using TDataList = std::vector<TDataRec>;
