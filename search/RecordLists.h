#pragma once

#include "search/TDataIndexList.h"
#include "search/TDataRec.h"
#include "search/TFileRec.h"

#include <vector>

// The owning record lists of the main window; clearing a list frees its records.
using TDataList = std::vector<TDataRec>;
using TFileList = std::vector<TFileRec>;
