#include "bridge/FileMapping.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

TFileMapping::~TFileMapping()
{
    Close();
}

void TFileMapping::Close()
{
    for (const TView& view : m_views)
        ::munmap(view.Base, view.Length);
    m_views.clear();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_writable = false;
}

bool TFileMapping::Create(const std::string& path)
{
    Close();
    do
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    while (m_fd < 0 && errno == EINTR);
    m_writable = m_fd >= 0;
    return m_fd >= 0;
}

bool TFileMapping::OpenReadOnly(const std::string& path)
{
    Close();
    do
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    while (m_fd < 0 && errno == EINTR);
    return m_fd >= 0;
}

bool TFileMapping::SetSize(std::size_t size)
{
    if (m_fd < 0 || !m_writable || size > static_cast<std::size_t>(std::numeric_limits<off_t>::max()))
        return false;
    int result;
    do
        result = ::ftruncate(m_fd, static_cast<off_t>(size));
    while (result != 0 && errno == EINTR);
    if (result != 0)
        return false;
    // ftruncate only records the length; reserve the blocks now so a full disk fails here and not
    // later as a fault while writing through the view.
    if (size > 0) {
        result = ::posix_fallocate(m_fd, 0, static_cast<off_t>(size));
        if (result != 0 && result != EOPNOTSUPP && result != EINVAL)
            return false;
    }
    return true;
}

std::size_t TFileMapping::Size() const
{
    struct stat info
    {
    };
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || info.st_size < 0)
        return 0;
    return static_cast<std::size_t>(info.st_size);
}

std::uint8_t* TFileMapping::Map(std::size_t offset, std::size_t length, TMapAccess access)
{
    if (m_fd < 0 || (access == TMapAccess::Write && !m_writable))
        return nullptr;
    const std::size_t fileSize = Size();
    if (offset >= fileSize)
        return nullptr;
    if (length == 0)
        length = fileSize - offset;
    if (length > fileSize - offset)
        return nullptr;

    // mmap wants a page-aligned offset; map from the page start and hand out the inner address.
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    const std::size_t page = pageSize > 0 ? static_cast<std::size_t>(pageSize) : 4096;
    const std::size_t base = offset - offset % page;
    const std::size_t lead = offset - base;
    const int protection = access == TMapAccess::Write ? PROT_READ | PROT_WRITE : PROT_READ;
    void* mapped = ::mmap(nullptr, lead + length, protection, MAP_SHARED, m_fd, static_cast<off_t>(base));
    if (mapped == MAP_FAILED)
        return nullptr;
    auto* address = static_cast<std::uint8_t*>(mapped) + lead;
    m_views.push_back({mapped, lead + length, address});
    return address;
}

void TFileMapping::Unmap(void* address)
{
    for (auto it = m_views.begin(); it != m_views.end(); ++it) {
        if (it->Address == address) {
            ::munmap(it->Base, it->Length);
            m_views.erase(it);
            return;
        }
    }
}
