#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
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
    // Removes every row.
    void clear();

    // The texts of row i, one per column.
    QStringList rowTexts(int row) const;
    const QString& text(int row, int column) const;

private:
    QList<ListColumn> m_columns;
    std::vector<QString> m_cells; // row-major, columnCount() texts per row
};
