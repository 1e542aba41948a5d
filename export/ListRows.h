#pragma once

#include "records/ListColumns.h"
#include "records/ListRow.h"
#include "records/TypeTotal.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <string_view>
#include <vector>

class TFileList;

// Which of the two result lists rows belong to; the formats differ in what they add around the rows
// (the totals, the table's layout).
enum class ListKind { Types, Files };

// The rows a writer writes (ListWriters.h), whoever holds them: the window's list model, the files
// a walk found, the totals of a summary. Rows are values (ListRow) in the list's columns
// (ListColumn); a Text cell holds the id of a text.
class ListRows {
public:
    virtual ~ListRows() = default;

    virtual ListKind kind() const = 0;
    virtual const QList<ListColumn>& columns() const = 0;
    virtual qsizetype count() const = 0;
    // Row i of the output, and its caption's bytes.
    virtual const ListRow& row(qsizetype i) const = 0;
    virtual std::string_view caption(qsizetype i) const = 0;
    // The text of an id that a Text cell, or any cell of a text row, holds.
    virtual const QString& text(quint32 id) const = 0;
    // Whether row i was given as texts: then every cell but the caption holds a text's id.
    virtual bool isTextRow(qsizetype) const { return false; }
    // The first path of the file that row i is a later hard link of (disk usage); empty otherwise.
    virtual std::string_view hardLinkOf(qsizetype) const { return {}; }
};

// The files of a walk, in the order given (positions in files).
class FoundFileRows final : public ListRows {
public:
    FoundFileRows(const TFileList& files, const std::vector<qsizetype>& order) : m_files(files), m_order(order) {}

    ListKind kind() const override { return ListKind::Files; }
    const QList<ListColumn>& columns() const override { return fileListColumns(); }
    qsizetype count() const override { return qsizetype(m_order.size()); }
    const ListRow& row(qsizetype i) const override;
    std::string_view caption(qsizetype i) const override;
    const QString& text(quint32 id) const override;
    std::string_view hardLinkOf(qsizetype i) const override;

private:
    const TFileList& m_files;
    const std::vector<qsizetype>& m_order;
};

// The types of a summary as rows of the type list.
class TypeTotalRows final : public ListRows {
public:
    explicit TypeTotalRows(const std::vector<TypeTotal>& types);

    ListKind kind() const override { return ListKind::Types; }
    const QList<ListColumn>& columns() const override { return typeListColumns(); }
    qsizetype count() const override { return qsizetype(m_rows.size()); }
    const ListRow& row(qsizetype i) const override { return m_rows[size_t(i)]; }
    std::string_view caption(qsizetype i) const override;
    const QString& text(quint32 id) const override { return m_types[id].description; }

private:
    const std::vector<TypeTotal>& m_types;
    std::vector<ListRow> m_rows;
    std::vector<QByteArray> m_captions;
};
