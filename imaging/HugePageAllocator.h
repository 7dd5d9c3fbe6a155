#pragma once
// A standard allocator for the large per-point arrays (marks, their backups, undo snapshots, blur grids).
// Blocks of 2 MB and more are mapped directly with huge-page advice: touching fresh memory page by page
// costs more than the work done on it, most of all under virtualisation. Smaller blocks use the heap.

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

template <class T> class THugePageAllocator
{
public:
    using value_type = T;

    static constexpr std::size_t kMappedFrom = std::size_t(2) << 20;

    THugePageAllocator() noexcept = default;
    template <class U> THugePageAllocator(const THugePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n)
    {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kMappedFrom) {
            void* block = std::malloc(bytes > 0 ? bytes : 1);
            if (!block)
                throw std::bad_alloc();
            return static_cast<T*>(block);
        }
        void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED)
            throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        madvise(block, bytes, MADV_HUGEPAGE); // advice only
#endif
        return static_cast<T*>(block);
    }

    void deallocate(T* block, std::size_t n) noexcept
    {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kMappedFrom)
            std::free(block);
        else
            munmap(block, bytes);
    }

    template <class U>
    friend bool operator==(const THugePageAllocator&, const THugePageAllocator<U>&) noexcept
    {
        return true;
    }
};

template <class T> using THugeVector = std::vector<T, THugePageAllocator<T>>;
