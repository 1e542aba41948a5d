#include "records/PathArena.h"

#include <algorithm>
#include <cstring>

char* PathArena::reserve(size_t length, Ref& ref) {
    if (m_blocks.empty() || m_used + length > m_lastSize) {
        m_lastSize = std::max(kBlockSize, length);
        // Not zeroed: every byte is written before it is read, and a block is only paged in as it fills.
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(m_lastSize));
        m_capacity += m_lastSize;
        m_used = 0;
    }
    ref.block = quint32(m_blocks.size() - 1);
    ref.offset = quint32(m_used);
    ref.length = quint32(length);
    char* at = m_blocks.back().get() + m_used;
    m_used += length;
    return at;
}

PathArena::Ref PathArena::append(std::string_view bytes) {
    Ref ref;
    char* at = reserve(bytes.size(), ref);
    if (!bytes.empty())
        std::memcpy(at, bytes.data(), bytes.size());
    return ref;
}

PathArena::Ref PathArena::appendJoined(std::string_view folder, std::string_view name) {
    const bool slash = folder.empty() || folder.back() != '/';
    Ref ref;
    char* at = reserve(folder.size() + (slash ? 1 : 0) + name.size(), ref);
    if (!folder.empty())
        std::memcpy(at, folder.data(), folder.size());
    at += folder.size();
    if (slash)
        *at++ = '/';
    if (!name.empty())
        std::memcpy(at, name.data(), name.size());
    return ref;
}
