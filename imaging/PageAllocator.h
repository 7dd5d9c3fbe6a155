#pragma once
// Zero-filled storage for pixel buffers and bitmaps. Large blocks are anonymous mappings that go straight
// back to the system when released, so large images never fragment the general heap; blocks below a
// megabyte (undo steps of brush strokes, small images) come from the heap, which is far cheaper for them,
// and freed ones wait for the next block of their size class.

#include <cstddef>
#include <cstdint>

// The functions behind every page allocation. Tests swap them to make an allocation fail on purpose.
struct TPageAllocator
{
    void* (*Allocate)(std::size_t bytes); // zero-filled pages, or null on failure
    void (*Free)(void* pages, std::size_t bytes);
};

// Installs `allocator` and returns the one it replaces.
TPageAllocator SetPageAllocator(const TPageAllocator& allocator);
// The system's allocator (anonymous mmap / munmap, the heap for small blocks).
TPageAllocator SystemPageAllocator();

// One owned block of pages. Empty when it holds no bytes.
class TPageBlock
{
public:
    TPageBlock() = default;
    ~TPageBlock() { Free(); }
    TPageBlock(TPageBlock&& other) noexcept;
    TPageBlock& operator=(TPageBlock&& other) noexcept;
    TPageBlock(const TPageBlock&) = delete;
    TPageBlock& operator=(const TPageBlock&) = delete;

    // Replaces the block by `bytes` zero bytes (none for 0). False, and the block empty, when the system
    // refuses.
    bool Allocate(std::size_t bytes);
    void Free();

    std::uint8_t* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }

private:
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    // Pages go back to the allocator that made them, even if another was installed since.
    void (*m_free)(void*, std::size_t) = nullptr;
};
