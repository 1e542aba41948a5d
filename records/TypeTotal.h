#pragma once

#include "records/RecordLists.h"

#include <QString>
#include <functional>
#include <vector>

// One file type of a summary: what the type list shows in a row, the chart draws in a tile and
// trovex-scan writes in a line.
struct TypeTotal {
    QString type;        // the type text, ".pdf"; empty for files without an extension
    QString description; // the desktop's name of the type
    qint64 count = 0;    // files of the type
    qint64 size = 0;     // their total size in bytes
};

// The types a walk counted, in the order of the extension index (the window's order), each named
// by nameOf(type text).
std::vector<TypeTotal> typeTotals(const TDataList& types, const TDataIndexList& index,
                                  const std::function<QString(const QString& typeText)>& nameOf);
