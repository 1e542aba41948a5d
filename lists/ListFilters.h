#pragma once

#include "lists/ReportModel.h"

#include <QList>

// The part of a listed path that a filter compares: its folder ("/a/b/" of "/a/b/c.txt", as
// ExtractFilePath gives it) or its extension (".txt", as ExtractExt gives it).
enum class PathPart { Folder, Extension };

// The rows, as they stand, whose path's part is not the same text as that of row `like` by the
// locale's comparison (SameTextLocale): the rows a filter on that row removes, ascending. Each
// distinct part is decoded and compared once, so a million rows take a moment, not seconds.
QList<int> rowsUnlike(const ReportModel& model, int like, PathPart part);
