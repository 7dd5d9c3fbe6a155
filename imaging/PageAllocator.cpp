#include "imaging/PageAllocator.h"

#include <cstdlib>
#include <sys/mman.h>
#include <utility>

namespace {

// From this size on an image asks for huge pages: a 24-megapixel image then takes a few dozen page
// faults instead of eighteen thousand, which is most of the cost of building a new image.
constexpr std::size_t kHugePageThreshold = std::size_t(2) << 20;

// Below this size a block comes from the heap: mapping, faulting in and unmapping fresh pages costs a
// small undo step more than the copy it holds, and the heap reuses what the last step gave back.
constexpr std::size_t kHeapThreshold = std::size_t(1) << 20;

void* MapPages(std::size_t bytes)
{
    if (bytes < kHeapThreshold)
        return std::calloc(bytes, 1);
    void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED)
        return nullptr;
#ifdef MADV_HUGEPAGE
    if (bytes >= kHugePageThreshold)
        madvise(pages, bytes, MADV_HUGEPAGE); // advice only: without huge pages nothing changes
#endif
    return pages;
}

void UnmapPages(void* pages, std::size_t bytes)
{
    if (bytes < kHeapThreshold)
        std::free(pages);
    else
        munmap(pages, bytes);
}

TPageAllocator& CurrentAllocator()
{
    static TPageAllocator allocator{&MapPages, &UnmapPages};
    return allocator;
}

} // namespace

TPageAllocator SetPageAllocator(const TPageAllocator& allocator)
{
    return std::exchange(CurrentAllocator(), allocator);
}

TPageAllocator SystemPageAllocator()
{
    return {&MapPages, &UnmapPages};
}

TPageBlock::TPageBlock(TPageBlock&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_free(std::exchange(other.m_free, nullptr))
{
}

TPageBlock& TPageBlock::operator=(TPageBlock&& other) noexcept
{
    if (this != &other) {
        Free();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_free = std::exchange(other.m_free, nullptr);
    }
    return *this;
}

bool TPageBlock::Allocate(std::size_t bytes)
{
    Free();
    if (bytes == 0)
        return true;
    void* pages = CurrentAllocator().Allocate(bytes);
    if (!pages)
        return false;
    m_data = static_cast<std::uint8_t*>(pages);
    m_size = bytes;
    m_free = CurrentAllocator().Free;
    return true;
}

void TPageBlock::Free()
{
    if (m_data)
        m_free(m_data, m_size);
    m_data = nullptr;
    m_size = 0;
    m_free = nullptr;
}
