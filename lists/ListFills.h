#pragma once

#include "lists/ReportModel.h"
#include "walk/PumpClock.h"
#include "records/RecordLists.h"
#include "records/TypeTotal.h"

#include <functional>
#include <vector>

// Fills the type list's model with one row per type, in the order given; returns the sum of the
// sizes.
qint64 fillTypeList(ReportModel& model, const std::vector<TypeTotal>& types);

// The types a type list holds, in its order, as the chart draws them. Rows given as texts have no
// values: their count and size are 0.
std::vector<TypeTotal> typeTotalsOf(const ReportModel& model);

// Fills the file list's model with the found files, which it takes over without a copy. Between
// rows it lets pump run pending events every clock interval, showing the rows added so far first;
// when stopped() says so after a pump, it adds no more rows. Returns the number of rows shown.
// found is empty afterwards.
int fillFileList(ReportModel& model, TFileList& found, PumpClock& clock, const std::function<void()>& pump,
                 const std::function<bool()>& stopped);
