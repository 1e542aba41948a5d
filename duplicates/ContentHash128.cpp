#include "duplicates/ContentHash128.h"

#include <new>
#include <xxhash.h>

namespace {

Hash128 fromXxh(XXH128_hash_t h) {
    return {h.low64, h.high64};
}

} // namespace

ContentHash128::ContentHash128() : m_state(XXH3_createState()) {
    if (!m_state)
        throw std::bad_alloc();
    XXH3_128bits_reset(m_state);
}

ContentHash128::~ContentHash128() {
    XXH3_freeState(m_state);
}

void ContentHash128::reset() {
    XXH3_128bits_reset(m_state);
}

void ContentHash128::add(const char* data, qsizetype size) {
    XXH3_128bits_update(m_state, data, size_t(size));
}

Hash128 ContentHash128::value() const {
    return fromXxh(XXH3_128bits_digest(m_state));
}

Hash128 ContentHash128::of(const char* data, qsizetype size) {
    return fromXxh(XXH3_128bits(data, size_t(size)));
}
