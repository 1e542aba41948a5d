#pragma once

#include <QtGlobal>
#include <compare>

struct XXH3_state_s;

// A 128-bit content hash. At 128 bits, equal hashes of equal-sized files stand for equal content:
// the odds of two different files colliding are far below those of a disk returning wrong bytes.
struct Hash128 {
    quint64 low = 0;
    quint64 high = 0;
    auto operator<=>(const Hash128&) const = default;
};

// XXH3 with 128 bits over data added in pieces; it runs at memory speed, so hashing costs less than
// reading. Not for security.
class ContentHash128 {
public:
    ContentHash128();
    ~ContentHash128();
    ContentHash128(const ContentHash128&) = delete;
    ContentHash128& operator=(const ContentHash128&) = delete;

    // Starts again, as if nothing had been added.
    void reset();
    void add(const char* data, qsizetype size);
    Hash128 value() const;

    // The hash of one piece, the same as reset(), add(data, size), value().
    static Hash128 of(const char* data, qsizetype size);

private:
    XXH3_state_s* m_state;
};
