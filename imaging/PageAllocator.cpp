#include "imaging/PageAllocator.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <utility>
#include <vector>

namespace {

// From this size on an image asks for huge pages: a 24-megapixel image then takes a few dozen page
// faults instead of eighteen thousand, which is most of the cost of building a new image.
constexpr std::size_t kHugePageThreshold = std::size_t(2) << 20;

// Below this size a block comes from the heap: mapping, faulting in and unmapping fresh pages costs a
// small undo step more than the copy it holds.
constexpr std::size_t kHeapThreshold = std::size_t(1) << 20;

// Small blocks come in power-of-two classes from 4 KB up to the heap threshold.
constexpr int kSmallestClassShift = 12;
constexpr int kClassCount = 9;
constexpr std::size_t kMaxCachedBytes = std::size_t(16) << 20;

int SizeClass(std::size_t bytes)
{
    int shift = kSmallestClassShift;
    while ((std::size_t(1) << shift) < bytes)
        ++shift;
    return shift - kSmallestClassShift;
}

// Set once the cache below is gone at exit; blocks freed later go straight back to the heap.
bool g_cacheClosed = false;

// Freed small blocks kept for the next request of their class. Brush steps come and go by the hundred;
// handing their memory back to the system and asking again costs a page fault per page, since the heap
// gives the top of its arena back and grows it anew.
class TSmallBlockCache
{
public:
    ~TSmallBlockCache()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        g_cacheClosed = true;
        for (std::vector<void*>& blocks : m_blocks)
            for (void* block : blocks)
                std::free(block);
    }

    // `bytes` zero bytes in a block of their class.
    void* Take(std::size_t bytes)
    {
        const int sizeClass = SizeClass(bytes);
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            std::vector<void*>& blocks = m_blocks[static_cast<std::size_t>(sizeClass)];
            if (!blocks.empty()) {
                void* block = blocks.back();
                blocks.pop_back();
                m_cachedBytes -= std::size_t(1) << (sizeClass + kSmallestClassShift);
                return std::memset(block, 0, bytes);
            }
        }
        return std::calloc(std::size_t(1) << (sizeClass + kSmallestClassShift), 1);
    }

    void Give(void* block, std::size_t bytes)
    {
        const int sizeClass = SizeClass(bytes);
        const std::size_t classBytes = std::size_t(1) << (sizeClass + kSmallestClassShift);
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (m_cachedBytes + classBytes <= kMaxCachedBytes) {
                try {
                    m_blocks[static_cast<std::size_t>(sizeClass)].push_back(block);
                    m_cachedBytes += classBytes;
                    return;
                } catch (const std::bad_alloc&) {
                    // freed below instead
                }
            }
        }
        std::free(block);
    }

private:
    std::mutex m_mutex;
    std::array<std::vector<void*>, kClassCount> m_blocks;
    std::size_t m_cachedBytes = 0;
};

TSmallBlockCache& SmallBlocks()
{
    static TSmallBlockCache cache;
    return cache;
}

void* MapPages(std::size_t bytes)
{
    if (bytes < kHeapThreshold)
        return g_cacheClosed ? std::calloc(bytes, 1) : SmallBlocks().Take(bytes);
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
    if (bytes < kHeapThreshold) {
        if (g_cacheClosed)
            std::free(pages);
        else
            SmallBlocks().Give(pages, bytes);
    } else
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
