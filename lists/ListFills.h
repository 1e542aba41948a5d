#pragma once

#include "lists/ReportModel.h"
#include "search/PumpClock.h"
#include "search/RecordLists.h"

#include <functional>

// The columns of the two result lists: types and files.
QList<ListColumn> typeListColumns();
QList<ListColumn> fileListColumns();

// Fills the type list's model with one row per type, in the order of the index: the type text,
// its description from typeName, its count and total size. Returns the sum of the sizes.
qint64 fillTypeList(ReportModel& model, const TDataList& types, const TDataIndexList& index,
                    const std::function<QString(const QString& typeText)>& typeName);

// Fills the file list's model with the found files, which it takes over without a copy. Between
// rows it lets pump run pending events every clock interval, showing the rows added so far first;
// when stopped() says so after a pump, it adds no more rows. Returns the number of rows shown.
// found is empty afterwards.
int fillFileList(ReportModel& model, TFileList& found, PumpClock& clock, const std::function<void()>& pump,
                 const std::function<bool()>& stopped);
