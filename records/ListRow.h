#pragma once

#include "records/PathArena.h"

// One row of a report list as plain values: the first column's text as native bytes in the list's
// arena, one 32-bit cell and three 64-bit cells. 40 bytes, so a million rows take 40 MB.
//
// A found file: caption = full path, word = attribute bits, values = creation time, modification
// time (file times, UTC) and size in bytes. A file type: caption = type text, values = the id of
// its description text, its count and its total size.
struct ListRow {
    PathArena::Ref caption;
    quint32 word = 0;
    qint64 values[3] = {};
};

namespace FileSlot {
inline constexpr int Created = 0;
inline constexpr int Modified = 1;
inline constexpr int Size = 2;
} // namespace FileSlot
