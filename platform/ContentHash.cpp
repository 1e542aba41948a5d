#include "platform/ContentHash.h"

#include <algorithm>
#include <new>
#include <xxhash.h>

namespace platform {

ContentHash::ContentHash() : m_state(XXH3_createState()) {
    if (!m_state)
        throw std::bad_alloc();
    XXH3_64bits_reset(m_state);
}

ContentHash::~ContentHash() {
    XXH3_freeState(m_state);
}

void ContentHash::add(const char* data, qsizetype size) {
    XXH3_64bits_update(m_state, data, size_t(size));
}

void ContentHash::addZeros(qint64 size) {
    static const char zeros[64 * 1024] = {};
    while (size > 0) {
        const qint64 n = std::min<qint64>(size, qint64(sizeof zeros));
        add(zeros, qsizetype(n));
        size -= n;
    }
}

quint64 ContentHash::value() const {
    return XXH3_64bits_digest(m_state);
}

} // namespace platform
