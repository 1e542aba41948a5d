#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <type_traits>

// A large array of plain values for one operation (a sort of a million rows), mapped in huge
// pages where the system allows them: faulting in tens of megabytes of small pages costs as much
// as the work itself. Zero-filled; freed with the object.
template <class T> class ScratchArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    explicit ScratchArray(size_t count) : m_count(count) {
        if (count == 0)
            return;
        constexpr size_t kHuge = size_t(2) << 20;
        m_mapped = (count * sizeof(T) + kHuge) & ~(kHuge - 1);
        void* at = ::mmap(nullptr, m_mapped + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (at == MAP_FAILED)
            throw std::bad_alloc();
        // Aligned to a huge page, so the kernel can back all of it with them.
        const auto base = reinterpret_cast<std::uintptr_t>(at);
        const std::uintptr_t aligned = (base + kHuge - 1) & ~(kHuge - 1);
        if (aligned > base)
            ::munmap(at, aligned - base);
        const size_t tail = (base + m_mapped + kHuge) - (aligned + m_mapped);
        if (tail > 0)
            ::munmap(reinterpret_cast<void*>(aligned + m_mapped), tail);
        m_data = reinterpret_cast<T*>(aligned);
        ::madvise(m_data, m_mapped, MADV_HUGEPAGE);
    }
    ~ScratchArray() {
        if (m_data)
            ::munmap(m_data, m_mapped);
    }
    ScratchArray(const ScratchArray&) = delete;
    ScratchArray& operator=(const ScratchArray&) = delete;

    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }
    T* data() { return m_data; }
    size_t size() const { return m_count; }

private:
    T* m_data = nullptr;
    size_t m_count = 0;
    size_t m_mapped = 0;
};
