#include "records/ListColumns.h"

#include <optional>

namespace {

// The table of each list: one row per column, found by its enum value; past the last column there
// is none. The switches have no default, so a column without its row does not build.
std::optional<ListColumn> typeColumn(TypeColumn column) {
    switch (column) {
    case TypeColumn::Type:
        return ListColumn{QStringLiteral("Type"), Qt::AlignLeft,       100,   0, CellKind::Text,
                          ValueSlot::Caption,     SortRule::Collation, "type"};
    case TypeColumn::Description:
        return ListColumn{QStringLiteral("Description"), Qt::AlignLeft, -1, 0, CellKind::Text, ValueSlot::Value0,
                          SortRule::Collation,           "description"};
    case TypeColumn::Count:
        return ListColumn{QStringLiteral("Count"), Qt::AlignRight,   60,     60, CellKind::Count,
                          ValueSlot::Value1,       SortRule::Number, "count"};
    case TypeColumn::Size:
        return ListColumn{QStringLiteral("Size"), Qt::AlignRight,           80,    80, CellKind::Size,
                          ValueSlot::Value2,      SortRule::ShownKilobytes, "size"};
    }
    return std::nullopt;
}

std::optional<ListColumn> fileColumn(FileColumn column) {
    switch (column) {
    case FileColumn::Filename:
        return ListColumn{QStringLiteral("Filename"), Qt::AlignLeft,       -1,    300, CellKind::Text,
                          ValueSlot::Caption,         SortRule::Collation, "path"};
    case FileColumn::Created:
        return ListColumn{QStringLiteral("Date Created"),
                          Qt::AlignLeft,
                          140,
                          140,
                          CellKind::FileTime,
                          ValueSlot::Value0,
                          SortRule::Minute,
                          "created"};
    case FileColumn::Modified:
        return ListColumn{QStringLiteral("Date modified"),
                          Qt::AlignLeft,
                          140,
                          140,
                          CellKind::FileTime,
                          ValueSlot::Value1,
                          SortRule::Minute,
                          "modified"};
    case FileColumn::Size:
        return ListColumn{QStringLiteral("Size"), Qt::AlignRight,           80,    80, CellKind::Size,
                          ValueSlot::Value2,      SortRule::ShownKilobytes, "size"};
    case FileColumn::Attribs:
        return ListColumn{QStringLiteral("Attribs"), Qt::AlignLeft,       70,          70, CellKind::Attributes,
                          ValueSlot::Word,           SortRule::Collation, "attributes"};
    }
    return std::nullopt;
}

template <class Column> QList<ListColumn> table(std::optional<ListColumn> (*row)(Column)) {
    QList<ListColumn> columns;
    for (int i = 0; const std::optional<ListColumn> column = row(Column(i)); ++i)
        columns.append(*column);
    return columns;
}

} // namespace

const QList<ListColumn>& typeListColumns() {
    static const QList<ListColumn> columns = table(typeColumn);
    return columns;
}

const QList<ListColumn>& fileListColumns() {
    static const QList<ListColumn> columns = table(fileColumn);
    return columns;
}

QStringList columnCaptions(const QList<ListColumn>& columns) {
    QStringList captions;
    for (const ListColumn& column : columns)
        captions.append(column.caption);
    return captions;
}
