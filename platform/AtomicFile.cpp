#include "platform/AtomicFile.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// The process's file creation mask without changing it (umask() would, for every thread at once).
mode_t CurrentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "Umask:") {
            std::string value;
            status >> value;
            return static_cast<mode_t>(std::strtoul(value.c_str(), nullptr, 8));
        }
    }
    return 022;
}

} // namespace

TAtomicFile::~TAtomicFile()
{
    Cancel();
}

bool TAtomicFile::Begin(const std::string& target)
{
    Cancel();
    m_target = target;
    const std::size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string pattern = (slash == std::string::npos ? std::string() : folder) + "." + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0)
        return false;
    ::close(fd);
    m_tempPath = buffer.data();
    return true;
}

bool TAtomicFile::Commit()
{
    if (m_tempPath.empty())
        return false;
    const int fd = ::open(m_tempPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat existing
    {
    };
    const mode_t mode =
        ::stat(m_target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~CurrentUmask());
    const bool ok = ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok)
        return false;
    if (::rename(m_tempPath.c_str(), m_target.c_str()) != 0)
        return false;
    m_tempPath.clear();
    return true;
}

void TAtomicFile::Cancel()
{
    if (!m_tempPath.empty())
        ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
}

} // namespace platform
