#pragma once

#include "lists/ReportModel.h"

#include <QList>

// Columns and rows for the list tests.

// Three columns held as texts: the file name, its size text (at least 60 pixels wide) and the
// attribute letters.
QList<ListColumn> fileColumns();

// Adds count rows of values to a model of the file list's columns (fileListColumns) and shows
// them: paths in a few dozen folders, names alike but for their case, extensions in mixed case and
// none, sizes and times with many ties, and now and then a row whose details could not be read.
// The same seed gives the same rows.
void addFileRows(ReportModel& model, int count, unsigned seed);
