#pragma once

#include <QtGlobal>

struct XXH3_state_s;

namespace platform {

// A fast hash of a file's content (XXH3, 64 bits), for telling whether a copy reads back as
// written. Not for security: it runs at memory speed so that checking a copy costs no more than
// reading it.
class ContentHash {
public:
    ContentHash();
    ~ContentHash();
    ContentHash(const ContentHash&) = delete;
    ContentHash& operator=(const ContentHash&) = delete;

    void add(const char* data, qsizetype size);
    // Adds size zero bytes, as a hole of a sparse file reads.
    void addZeros(qint64 size);
    quint64 value() const;

private:
    XXH3_state_s* m_state;
};

} // namespace platform
