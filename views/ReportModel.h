#pragma once

#include "search/PathArena.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

// One column of a report list: its caption and alignment, and how the view sizes it.
struct ListColumn {
    QString caption;
    Qt::Alignment alignment = Qt::AlignLeft;
    int width = -1;       // pixels; -1 takes the width the other columns leave
    int minimumWidth = 0; // pixels; 0 for none
};

// The rows of a report list as plain texts, one per column. Rows keep no reference to the records
// they were made from; everything that reads a list later (sorting, CSV, commands) reads these texts.
//
// Built for a million rows: captions (file paths) are kept as native bytes in a shared arena, and
// the other texts, which repeat a lot (dates of the same minute, sizes, attribute letters), are
// stored once each, rows holding their ids.
class ReportModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ReportModel(const QList<ListColumn>& columns, QObject* parent = nullptr);

    const QList<ListColumn>& columns() const { return m_columns; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    // Appends the rows in one insertion, so a view updates once however many there are. A row
    // shorter than the column list is padded with empty texts; extra texts are dropped.
    void appendRows(const QList<QStringList>& rows);
    void appendRow(const QStringList& row);

    // Adds a row that stays out of sight until flushRows() inserts every added row at once; a fill
    // flushes before it lets other handlers run, so they always see a consistent list.
    void addRow(const QString& caption, std::initializer_list<QString> subItems);
    // The same with a caption already in the model's arena (see adoptArena).
    void addRow(PathArena::Ref caption, std::initializer_list<QString> subItems);
    void flushRows();
    // Makes an empty model take its captions from a list's arena, so a fill copies no path.
    void adoptArena(const std::shared_ptr<PathArena>& arena);
    void reserveRows(qsizetype rows);

    // Removes every row.
    void clear();
    // Keeps the rows whose flag is set, in one reset; for removals too scattered for removeRows.
    void keepRows(const std::vector<bool>& keep);
    // Puts the rows in a new order: new row i is old row order[i]. Persistent indexes, and so the
    // selection and the current row, follow their rows.
    void permute(const std::vector<int>& order);

    // The texts of row i, one per column.
    QStringList rowTexts(int row) const;
    QString text(int row, int column) const;

    // Texts of columns after the first are shared: a row holds the id of its text. Sorting reads a
    // column's texts once per distinct text through these.
    quint32 textId(int row, int column) const;
    const QString& textOf(quint32 id) const { return m_texts[qsizetype(id)]; }
    qsizetype textCount() const { return m_texts.size(); }

    // Pictures: one before every caption, and one in a header section (none when invalid).
    void setRowDecoration(const QVariant& picture);
    void setHeaderDecoration(int section, const QVariant& picture);

private:
    quint32 intern(const QString& text);
    void addSubItems(std::initializer_list<QString> subItems);
    PathArena::Ref storeCaption(const QString& caption);
    int subColumns() const { return int(m_columns.size()) - 1; }

    QList<ListColumn> m_columns;
    std::shared_ptr<PathArena> m_arena;
    std::vector<PathArena::Ref> m_captions;
    std::vector<quint32> m_subIds; // row-major, subColumns() ids per row
    int m_visibleRows = 0;
    QList<QString> m_texts;
    QHash<QString, quint32> m_textIds;
    QVariant m_rowDecoration;
    QHash<int, QVariant> m_headerDecorations;
};
