#include "platform/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::atomic<std::int64_t> g_commitLimit{-1};

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

std::string FolderOf(const std::string& target)
{
    const std::size_t slash = target.find_last_of('/');
    return slash == std::string::npos ? std::string(".")
           : slash == 0               ? std::string("/")
                                      : target.substr(0, slash);
}

} // namespace

std::string FileErrorText(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "the disk is full";
    case EACCES:
    case EPERM:
        return "permission denied";
    case EROFS:
        return "the disk is mounted read-only";
    case ENOENT:
        return "it does not exist";
    case EISDIR:
        return "it is a folder";
    case ENOTDIR:
        return "a part of the path is not a folder";
    case ENAMETOOLONG:
        return "the name is too long";
    default:
        return std::strerror(error);
    }
}

bool WriteWholeFile(const std::string& path, const void* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const auto* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && ok;
}

bool IsReadOnlyFile(const std::string& path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if ((info.st_mode & 0222) == 0)
        return true;
    return ::geteuid() != 0 && ::access(path.c_str(), W_OK) != 0;
}

TAtomicFile::~TAtomicFile()
{
    Cancel();
}

bool TAtomicFile::Fail(int error, const std::string& where)
{
    m_failure = FileErrorText(error) + (where.empty() ? std::string() : " (" + where + ")");
    return false;
}

void TAtomicFile::FailCommitsLargerThanForTesting(std::int64_t bytes)
{
    g_commitLimit = bytes;
}

bool TAtomicFile::Begin(const std::string& target, bool replaceReadOnly)
{
    Cancel();
    m_failure.clear();
    m_target = target;
    const std::string folder = FolderOf(target);
    struct stat info
    {
    };
    if (::stat(folder.c_str(), &info) != 0) {
        m_failure = "the folder " + folder + " does not exist";
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        m_failure = folder + " is not a folder";
        return false;
    }
    if (::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        m_failure = "it is a folder";
        return false;
    }
    if (!replaceReadOnly && IsReadOnlyFile(target)) {
        m_failure = "the file is read-only";
        return false;
    }
    const std::size_t slash = target.find_last_of('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string pattern =
        (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) + "." + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0)
        return Fail(errno, errno == EACCES || errno == EPERM ? "in " + folder : std::string());
    ::close(fd);
    m_tempPath = buffer.data();
    return true;
}

std::string TAtomicFile::WriteFailure(const std::string& fallback) const
{
    struct statvfs space
    {
    };
    const std::string folder = FolderOf(m_target);
    if (::statvfs(folder.c_str(), &space) == 0 && space.f_bavail == 0)
        return FileErrorText(ENOSPC);
    return fallback;
}

bool TAtomicFile::Commit()
{
    if (m_tempPath.empty())
        return false;
    const int fd = ::open(m_tempPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return Fail(errno, {});
    struct stat existing
    {
    };
    const mode_t mode =
        ::stat(m_target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~CurrentUmask());
    struct stat written
    {
    };
    const std::int64_t limit = g_commitLimit.load();
    if (limit >= 0 && ::fstat(fd, &written) == 0 && written.st_size > limit) {
        ::close(fd);
        Cancel();
        return Fail(ENOSPC, {});
    }
    int error = 0;
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(m_tempPath.c_str(), m_target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        Cancel();
        return Fail(error, {});
    }
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
