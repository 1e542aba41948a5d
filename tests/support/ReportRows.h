#pragma once

#include "lists/ReportModel.h"

#include <QList>

// Columns and rows for the list tests.

// Three columns held as texts: the file name, its size text (at least 60 pixels wide) and the
// attribute letters.
QList<ListColumn> fileColumns();
