#include "export/ListRows.h"

#include "platform/FileName.h"
#include "records/TFileList.h"
#include "text/CellTexts.h"

const ListRow& FoundFileRows::row(qsizetype i) const {
    return m_files.entry(m_order[size_t(i)]);
}

std::string_view FoundFileRows::caption(qsizetype i) const {
    return m_files.arena()->view(row(i).caption);
}

const QString& FoundFileRows::text(quint32) const {
    Q_ASSERT_X(false, "FoundFileRows::text", "found files hold no texts but their paths");
    static const QString none;
    return none;
}

TypeTotalRows::TypeTotalRows(const std::vector<TypeTotal>& types) : m_types(types) {
    m_rows.reserve(types.size());
    m_captions.reserve(types.size());
    for (size_t i = 0; i < types.size(); ++i) {
        ListRow row;
        setCellValue(row, TypeColumn::Description, qint64(i)); // the description's id is the type's place
        setCellValue(row, TypeColumn::Count, types[i].count);
        setCellValue(row, TypeColumn::Size, types[i].size);
        m_rows.push_back(row);
        m_captions.push_back(platform::encodeFileName(types[i].type));
    }
}

std::string_view TypeTotalRows::caption(qsizetype i) const {
    const QByteArray& bytes = m_captions[size_t(i)];
    return {bytes.constData(), size_t(bytes.size())};
}

std::string_view FoundFileRows::hardLinkOf(qsizetype i) const {
    return m_files.hardLinkOf(m_order[size_t(i)]);
}
