#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

// A sequence of plain values that grows in fixed chunks: appending never moves what is already
// there, so a list of millions of rows grows at a steady cost and its peak is its size, not the
// twice its size a doubling vector reaches while it copies.
template <class T, size_t ChunkBits = 14> class ChunkedArray {
public:
    static constexpr size_t kChunk = size_t(1) << ChunkBits;

    ChunkedArray() = default;
    ChunkedArray(ChunkedArray&& other) noexcept
        : m_chunks(std::move(other.m_chunks)), m_size(std::exchange(other.m_size, 0)) {}
    ChunkedArray& operator=(ChunkedArray&& other) noexcept {
        m_chunks = std::move(other.m_chunks);
        m_size = std::exchange(other.m_size, 0);
        return *this;
    }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    T& operator[](size_t i) { return m_chunks[i >> ChunkBits][i & (kChunk - 1)]; }
    const T& operator[](size_t i) const { return m_chunks[i >> ChunkBits][i & (kChunk - 1)]; }
    T& back() { return (*this)[m_size - 1]; }

    void push_back(const T& value) {
        if ((m_size >> ChunkBits) == m_chunks.size())
            m_chunks.push_back(std::make_unique_for_overwrite<T[]>(kChunk));
        (*this)[m_size++] = value;
    }
    // Keeps the first n values and frees the chunks no longer needed.
    void truncate(size_t n) {
        if (n >= m_size)
            return;
        m_size = n;
        m_chunks.resize((n + kChunk - 1) >> ChunkBits);
    }
    void clear() {
        m_chunks.clear();
        m_chunks.shrink_to_fit();
        m_size = 0;
    }
    // Bytes held, for memory accounting.
    size_t capacityBytes() const { return m_chunks.size() * kChunk * sizeof(T); }

private:
    std::vector<std::unique_ptr<T[]>> m_chunks;
    size_t m_size = 0;
};
