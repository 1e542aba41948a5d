#include "search/TFileList.h"

#include "platform/FileName.h"

void TFileList::append(std::string_view folder, std::string_view name, qint64 created, qint64 modified, qint64 size,
                       quint32 attr) {
    if (!m_arena)
        m_arena = std::make_shared<PathArena>();
    m_entries.push_back({created, modified, size, m_arena->appendJoined(folder, name), attr});
}

void TFileList::push_back(const TFileRec& rec) {
    if (!m_arena)
        m_arena = std::make_shared<PathArena>();
    const QByteArray bytes = platform::encodeFileName(rec.FileName);
    m_entries.push_back({rec.Created, rec.Modified, rec.Size,
                         m_arena->append(std::string_view(bytes.constData(), size_t(bytes.size()))), rec.Attr});
}

void TFileList::clear() {
    m_entries = {};
    m_arena.reset();
}

QString TFileList::fileName(qsizetype i) const {
    const std::string_view bytes = m_arena->view(m_entries[size_t(i)].path);
    return platform::decodeFileName(bytes.data(), qsizetype(bytes.size()));
}

TFileRec TFileList::operator[](qsizetype i) const {
    const Entry& e = m_entries[size_t(i)];
    TFileRec rec;
    rec.FileName = fileName(i);
    rec.Created = e.Created;
    rec.Modified = e.Modified;
    rec.Size = e.Size;
    rec.Attr = e.Attr;
    return rec;
}
