#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtCore/qnamespace.h>

// What a column's cells hold, and so how they show, go into CSV and read for scripts: a text, a
// count ("%d"), a size in bytes (FormatSize), a file time (the date text) or attribute bits
// (AttribLetters). CellTexts holds the rules.
enum class CellKind { Text, Count, Size, FileTime, Attributes };

// Where a column's value lives in a ListRow: its caption, one of its three 64-bit cells or its
// 32-bit cell. ByPosition, for lists made of texts alone, takes the column's position: 0 the caption,
// 1 to 3 the 64-bit cells, 4 the 32-bit cell.
enum class ValueSlot { Caption, Value0, Value1, Value2, Word, ByPosition };

// How a column's rows are ordered: by the locale's collation of their texts, or by a key made from
// their values (SortKeys.h) as the shown texts read: a number, a size in the kilobytes its text
// shows, a file time to the minute its text shows.
enum class SortRule { Collation, Number, ShownKilobytes, Minute };

// One column of a result list: its caption (which also heads its CSV), how the view sizes and
// aligns it, and the rules of its cells.
struct ListColumn {
    QString caption;
    Qt::Alignment alignment = Qt::AlignLeft;
    int width = -1;       // pixels; -1 takes the width the other columns leave
    int minimumWidth = 0; // pixels; 0 for none
    CellKind kind = CellKind::Text;
    ValueSlot slot = ValueSlot::ByPosition;
    SortRule sort = SortRule::Collation;
    const char* jsonKey = nullptr; // the field trovex-scan's json names it by
};

// The columns of the two result lists, in this order. A new column is one more value here and one
// more row in its table (ListColumns.cpp); the compiler names every switch it must reach.
enum class TypeColumn { Type, Description, Count, Size };
enum class FileColumn { Filename, Created, Modified, Size, Attribs };

const QList<ListColumn>& typeListColumns();
const QList<ListColumn>& fileListColumns();

inline int columnIndex(TypeColumn column) {
    return int(column);
}
inline int columnIndex(FileColumn column) {
    return int(column);
}

// The columns' captions, in their order.
QStringList columnCaptions(const QList<ListColumn>& columns);
