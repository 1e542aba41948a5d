#pragma once

#include "lists/ReportModel.h"
#include "text/DateText.h"

// Sort keys of the two result lists' cells, made from the rows' values and rounded the way their
// texts show them, so rows are ordered as the values of the shown texts are: two sizes that show
// alike, or two dates of one minute, are equal. Rows given as texts are read back from their
// texts, and a text that does not read throws "'x' is not a valid ..." (date and time, integer or
// floating point value). What could not be read shows empty and sorts before everything else.
class ListSortKeys {
public:
    // The key of a stored row (ReportModel::storedRow) in column, by the column's sort rule; false
    // for a column ordered by the collation of its texts.
    bool key(const ReportModel& model, int column, int stored, double& key);

private:
    DateSortKeys m_dates;
};
