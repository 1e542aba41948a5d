#include "records/TFileList.h"

#include "platform/FileName.h"

void TFileList::append(std::string_view folder, std::string_view name, qint64 created, qint64 modified, qint64 size,
                       quint32 attr) {
    if (!m_arena)
        m_arena = std::make_shared<PathArena>();
    m_rows.push_back({m_arena->appendJoined(folder, name), attr, {created, modified, size}});
}

void TFileList::push_back(const TFileRec& rec) {
    if (!m_arena)
        m_arena = std::make_shared<PathArena>();
    const QByteArray bytes = platform::encodeFileName(rec.FileName);
    m_rows.push_back({m_arena->append(std::string_view(bytes.constData(), size_t(bytes.size()))),
                      rec.Attr,
                      {rec.Created, rec.Modified, rec.Size}});
}

void TFileList::clear() {
    m_rows.clear();
    m_arena.reset();
    m_hardLinks.clear();
}

TFileList::Taken TFileList::takeRows() {
    Taken taken{std::move(m_rows), m_arena ? std::move(m_arena) : std::make_shared<PathArena>()};
    clear();
    return taken;
}

QString TFileList::fileName(qsizetype i) const {
    const std::string_view bytes = m_arena->view(m_rows[size_t(i)].caption);
    return platform::decodeFileName(bytes.data(), qsizetype(bytes.size()));
}

TFileRec TFileList::operator[](qsizetype i) const {
    const Entry& e = m_rows[size_t(i)];
    TFileRec rec;
    rec.FileName = fileName(i);
    rec.Created = e.values[FileSlot::Created];
    rec.Modified = e.values[FileSlot::Modified];
    rec.Size = e.values[FileSlot::Size];
    rec.Attr = e.word;
    return rec;
}
