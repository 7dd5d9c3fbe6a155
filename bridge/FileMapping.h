#pragma once
// A file shared between two processes and the views mapped from it. Holds the file descriptor and
// every view it handed out; destroying it unmaps what is left and closes the file. Plain POSIX.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class TMapAccess
{
    Read,
    Write // read and write, as the other process must see the bytes
};

class TFileMapping
{
public:
    TFileMapping() = default;
    ~TFileMapping();
    TFileMapping(const TFileMapping&) = delete;
    TFileMapping& operator=(const TFileMapping&) = delete;

    // Opens the file for reading and writing, creating it (mode 0600) when it does not exist.
    bool Create(const std::string& path);
    // Opens an existing file for reading only and never creates one, so probing a file the user
    // merely opened leaves read-only media and stale names untouched.
    bool OpenReadOnly(const std::string& path);
    // Moves the file end to `size` bytes. False when the end cannot be set: writing through a view
    // past the real end would kill the process, so callers must stop.
    bool SetSize(std::size_t size);
    // Maps `length` bytes from `offset` (0 = to the end of the file); nullptr when the range is empty,
    // lies outside the file or cannot be mapped. Write access needs a file opened by Create.
    std::uint8_t* Map(std::size_t offset, std::size_t length, TMapAccess access);
    void Unmap(void* address);
    // Current file size, 0 when closed.
    std::size_t Size() const;
    bool IsOpen() const { return m_fd >= 0; }

private:
    struct TView
    {
        void* Base;
        std::size_t Length;
        std::uint8_t* Address;
    };

    void Close();

    int m_fd = -1;
    bool m_writable = false;
    std::vector<TView> m_views;
};
