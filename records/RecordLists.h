#pragma once

#include "records/TDataIndexList.h"
#include "records/TDataRec.h"
#include "records/TFileList.h"
#include "records/TFileRec.h"

#include <vector>

// The owning record lists of the main window; clearing a list frees its records. TFileList is a
// class of its own (TFileList.h).
using TDataList = std::vector<TDataRec>;
