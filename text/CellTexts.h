#pragma once

#include "text/DateText.h"
#include "text/IsoDateTexts.h"
#include "records/ListColumns.h"
#include "records/ListRow.h"

#include <QString>
#include <string>

// Where the cell of the column at position column lives (facts.slot, or its position's slot).
ValueSlot slotOf(const ListColumn& facts, int column);
// The value of a row's cell in that column, and setting it; never for the caption.
qint64 cellValue(const ListRow& row, const ListColumn& facts, int column);
void setCellValue(ListRow& row, const ListColumn& facts, int column, qint64 value);
// The same for a column of the result lists, by its table.
inline const QList<ListColumn>& columnsOf(TypeColumn) {
    return typeListColumns();
}
inline const QList<ListColumn>& columnsOf(FileColumn) {
    return fileListColumns();
}
template <class Column> qint64 cellValue(const ListRow& row, Column column) {
    return cellValue(row, columnsOf(column)[columnIndex(column)], columnIndex(column));
}
template <class Column> void setCellValue(ListRow& row, Column column, qint64 value) {
    setCellValue(row, columnsOf(column)[columnIndex(column)], columnIndex(column), value);
}

// The texts of a list's value cells (every kind but Text, whose cells hold a text's id): as the
// lists show them, which the window's CSV and clipboard also hold, and the exact form trovex-scan
// writes for scripts. A row whose 32-bit cell carries FileAttr::Unread has no size and no dates:
// those cells are empty. Date texts are cached per minute, so a million rows cost little.
class CellTexts {
public:
    // A count as "%d", a size as FormatSize, a file time as its date text, attribute bits as letters.
    QString shown(CellKind kind, qint64 value, quint32 word);
    // A count and a size as a number of bytes, a file time in ISO 8601 with its offset, attribute
    // bits as letters.
    std::string exact(CellKind kind, qint64 value, quint32 word);

private:
    FileDateTexts m_dates;
    IsoDateTexts m_isoDates;
};
