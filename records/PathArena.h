#pragma once

#include <QtGlobal>
#include <memory>
#include <string_view>
#include <vector>

// Paths of a large list as native bytes, packed into large blocks: about one byte per character
// and no allocation per path, where a QString costs two bytes per character plus its own block.
// A path never spans two blocks, so its bytes are one contiguous view.
class PathArena {
public:
    struct Ref {
        quint32 block = 0;
        quint32 offset = 0;
        quint32 length = 0;
    };

    Ref append(std::string_view bytes);
    // Appends the concatenation of two pieces, with a "/" between them unless the first ends in one.
    Ref appendJoined(std::string_view folder, std::string_view name);
    std::string_view view(Ref ref) const { return {m_blocks[ref.block].get() + ref.offset, ref.length}; }
    // Bytes held, for memory accounting.
    size_t capacity() const { return m_capacity; }

private:
    char* reserve(size_t length, Ref& ref);

    static constexpr size_t kBlockSize = 1 << 20;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    size_t m_used = kBlockSize; // in the last block; full before the first block exists
    size_t m_lastSize = 0;
    size_t m_capacity = 0;
};
