#pragma once

#include "text/CellTexts.h"
#include "records/ChunkedArray.h"
#include "text/DateText.h"
#include "records/ListColumns.h"
#include "records/ListRow.h"
#include "records/PathArena.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QItemSelectionModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <span>
#include <vector>

// Rows first to last of the list, both included.
struct RowSpan {
    int first;
    int last;
};

// The rows of a report list, held as values (ListRow.h) where its columns (ListColumn) say: the
// caption, one of the three 64-bit cells or the 32-bit cell; a Text cell holds the id of a text the
// model keeps once. Texts are made when shown, with the rules of the lists, so what a user sees,
// copies or exports is made from the values each time. A row whose 32-bit cell carries
// FileAttr::Unread shows no size and no dates: they could not be read.
//
// Rows can also be given as texts, for callers that have only texts; such a row shows exactly its
// texts, and the owner's sort reads them (isTextRow).
//
// Built for a million rows: 40 bytes a row plus the caption's bytes, no copy of the walk's rows
// (adoptRows), growth in chunks, and one insertion signal however many rows are added.
//
// The selection lives here too, a flag per stored row: it moves with its rows through a sort and
// a removal at no cost, where Qt's own selection model keeps ranges that a sort of a half-selected
// million rows scatters into hundreds of thousands, each read at every paint.
class ReportModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // At most five columns, the first a Text column.
    explicit ReportModel(const QList<ListColumn>& columns, QObject* parent = nullptr);

    const QList<ListColumn>& columns() const { return m_columns; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    // Rows given as texts, appended in one insertion. A row shorter than the column list is padded
    // with empty texts; extra texts are dropped.
    void appendRows(const QList<QStringList>& rows);
    void appendRow(const QStringList& row);
    // Adds a row of texts that stays out of sight until flushRows().
    void addRow(const QString& caption, std::initializer_list<QString> subItems);

    // Adds a row of values that stays out of sight until flushRows(); its caption is stored here.
    void addRow(const QString& caption, const ListRow& values);
    // The id of a text, for the Text cells of a value row.
    quint32 textId(const QString& text);
    // Makes an empty model hold the given rows, whose captions are in arena, without copying them.
    // They stay out of sight until flushRows() or showRows().
    void adoptRows(ChunkedArray<ListRow>&& rows, const std::shared_ptr<PathArena>& arena);

    // Inserts every added row at once; a fill does so before it lets other handlers run, so they
    // always see a consistent list.
    void flushRows();
    // Inserts the added rows up to count in all.
    void showRows(int count);
    // Forgets the added rows not yet shown.
    void dropHiddenRows();
    int storedRows() const { return int(heldRows()); }

    // Removes every row.
    void clear();
    // Counts every change of the rows in sight or of their order; a sort made on the rows of one
    // count is applied only while the count still holds.
    quint64 generation() const { return m_generation; }
    // The stored row of each row in sight, in list order.
    std::span<const quint32> order() const { return {m_order.data(), size_t(m_visibleRows)}; }
    // Keeps the rows whose flag is set, in one reset; for removals too scattered for removeRows.
    void keepRows(const std::vector<bool>& keep);
    // Puts the rows in sight in a new order: new row i is old row order[i]. Persistent indexes, and
    // so the selection and the current row, follow their rows.
    void permute(std::span<const int> order);
    // The same with the work done beforehand, off the UI thread if need be: newOrder holds the
    // stored row of each row in sight in its new order, newRowOf the new row of each old row.
    void reorder(std::vector<quint32> newOrder, std::span<const int> newRowOf);

    // The texts of row i, one per column, as shown.
    QStringList rowTexts(int row) const;
    QString text(int row, int column) const;

    // The values of a row, and whether it was given as texts.
    const ListRow& row(int r) const { return m_rows[m_order[size_t(r)]]; }
    bool isTextRow(int r) const { return isStoredTextRow(storedIndex(r)); }

    // Rows as they are stored, which is not the order of the list once it was sorted or rows were
    // removed: reading a million rows in this order reads memory in sequence. Stored rows include
    // rows no longer in the list; storedIndex gives the stored row of a row of the list.
    int storedCount() const { return int(m_rows.size()); }
    int storedIndex(int row) const { return int(m_order[size_t(row)]); }
    const ListRow& storedRow(int s) const { return m_rows[size_t(s)]; }
    bool isStoredTextRow(int s) const { return !m_textRows.empty() && m_textRows[size_t(s)]; }
    QString storedText(int s, int column) const;
    // A cell of a Text column (or of a text row) as its id, and the text of an id.
    quint32 cellTextId(int row, int column) const;
    const QString& textOf(quint32 id) const { return m_texts[qsizetype(id)]; }
    qsizetype textCount() const { return m_texts.size(); }
    // The caption's bytes, as the list holds them.
    std::string_view captionBytes(int r) const { return m_arena->view(row(r).caption); }
    std::string_view storedCaptionBytes(int s) const { return m_arena->view(storedRow(s).caption); }
    // The arena of the captions: the bytes of a caption stay where they are while it lives.
    std::shared_ptr<const PathArena> arena() const { return m_arena; }
    // A cell other than the caption as it is held: a text id or a value.
    qint64 cellValue(const ListRow& row, int column) const { return ::cellValue(row, m_columns[column], column); }

    // The selection, with the flags of QItemSelectionModel::select: Clear, Select, Deselect,
    // Toggle and Current. Spans selected with Current replace those of the previous Current call
    // (a drag or a Shift extension growing and shrinking) and are held as spans until a selection
    // without Current, or a change of the rows, makes them part of the flags.
    void select(std::span<const RowSpan> spans, QItemSelectionModel::SelectionFlags command);
    bool isSelected(int row) const;
    // The selected rows in list order.
    QList<int> selectedRows() const;

    // Pictures: one before every caption, and one in a header section (none when invalid). A view
    // that shows the header's change itself passes announce false: Qt's item views lay out every
    // row again on a change of header data, a million of them in a large list.
    void setRowDecoration(const QVariant& picture);
    void setHeaderDecoration(int section, const QVariant& picture, bool announce = true);

signals:
    // The selection changed; the views paint it anew.
    void rowSelectionChanged();

private:
    quint32 intern(const QString& text);
    PathArena::Ref storeCaption(const QString& caption);
    void pushRow(const ListRow& row, bool textRow);
    // The rows in the list, shown or not yet, and m_order made for the first count of them.
    size_t heldRows() const { return m_order.size() + m_unordered; }
    void orderRows(size_t count);
    // Makes the spans of the last Current selection part of the flags; before rows move.
    void settleSelection();
    // A row's flag as settled, and a flag as the pending command leaves it.
    bool settledFlag(int row) const {
        const size_t s = m_order[size_t(row)];
        return s < m_selected.size() && m_selected[s];
    }
    bool pendingFlag(bool flag) const {
        return (m_pendingCommand & QItemSelectionModel::Toggle) ? !flag
                                                                : bool(m_pendingCommand & QItemSelectionModel::Select);
    }
    void changed() { ++m_generation; }
    QString valueText(const ListRow& row, int column) const;
    int subColumns() const { return int(m_columns.size()) - 1; }

    QList<ListColumn> m_columns;
    std::shared_ptr<PathArena> m_arena;
    // The rows as they were added; the list shows them in m_order (position -> stored row), so a
    // sort or a removal moves 4 bytes a row, not the row. Rows a removal took out stay stored
    // until the list is cleared.
    ChunkedArray<ListRow> m_rows;
    std::vector<quint32> m_order;
    // Adopted rows not yet in m_order: the last ones stored, in the order stored. They join it as
    // they come into sight, so adopting a million rows writes nothing per row at once.
    size_t m_unordered = 0;
    std::vector<bool> m_textRows; // by stored row; empty while every row holds values
    int m_visibleRows = 0;
    quint64 m_generation = 0;
    std::vector<bool> m_selected;   // by stored row; shorter when the last rows were never selected
    std::vector<RowSpan> m_pending; // rows in sight, ascending, apart
    QItemSelectionModel::SelectionFlags m_pendingCommand;
    QList<QString> m_texts;
    QHash<QString, quint32> m_textIds;
    mutable CellTexts m_cellTexts;
    QVariant m_rowDecoration;
    QHash<int, QVariant> m_headerDecorations;
};
