#pragma once

#include "export/ListRows.h"
#include "lists/ReportModel.h"

#include <QList>

// Rows of a list model for the writers (ListWriters.h): the rows given, in the order given, as
// the list holds them, rows given as texts included.
class ModelRows final : public ListRows {
public:
    ModelRows(const ReportModel& model, ListKind kind, QList<int> rows)
        : m_model(model), m_kind(kind), m_rows(std::move(rows)) {}

    ListKind kind() const override { return m_kind; }
    const QList<ListColumn>& columns() const override { return m_model.columns(); }
    qsizetype count() const override { return m_rows.size(); }
    const ListRow& row(qsizetype i) const override { return m_model.row(m_rows[i]); }
    std::string_view caption(qsizetype i) const override { return m_model.captionBytes(m_rows[i]); }
    const QString& text(quint32 id) const override { return m_model.textOf(id); }
    bool isTextRow(qsizetype i) const override { return m_model.isTextRow(m_rows[i]); }

private:
    const ReportModel& m_model;
    const ListKind m_kind;
    const QList<int> m_rows;
};
