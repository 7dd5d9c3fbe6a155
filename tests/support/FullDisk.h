#pragma once
// A disk that fills up after a few bytes, for this process only and whoever runs it (the superuser
// too): writes past the limit fail as on a full disk, instead of killing the process.

#include <csignal>
#include <cstdint>
#include <sys/resource.h>

class TFullDisk
{
public:
    explicit TFullDisk(std::uint64_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = m_saved;
        small.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~TFullDisk()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previous);
    }
    TFullDisk(const TFullDisk&) = delete;
    TFullDisk& operator=(const TFullDisk&) = delete;

private:
    struct rlimit m_saved
    {
    };
    void (*m_previous)(int) = nullptr;
};
