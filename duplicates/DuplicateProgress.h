#pragma once

#include "duplicates/DuplicateStage.h"

#include <QtGlobal>

// How far a duplicate search has come in its current step. Each step counts from zero; the totals
// are those of the step, known when it starts (the files and bytes the next step reads depend on
// what this one finds).
struct DuplicateProgress {
    DuplicateStage stage = DuplicateStage::Stat;
    qint64 files = 0; // done in this step (Compare: the files of the groups compared so far)
    qint64 totalFiles = 0;
    qint64 bytes = 0; // read in this step; Stat reads none
    qint64 totalBytes = 0;
};
