#pragma once

#include "export/ListWriters.h"

#include <QStringList>

struct DuplicateResult;
class QIODevice;

// Writes the groups of a duplicate search in the style's format, a group's files in the order the
// search gives them: a table (the size, date modified and path of each file, a blank line between
// groups, then the totals), tsv and csv (the group's number first), json (a "group" member in each
// file, further names of the same file in "other_names"), or with nullEnds the paths alone, each
// ended by NUL and the groups by one more NUL. Names reach the output as their own bytes, escaped
// as the list writers escape them. False when the device refused some of it, with its reason in
// error.
bool writeDuplicates(QIODevice& device, const DuplicateResult& result, const OutputStyle& style,
                     const QStringList& roots, QString* error);
