#pragma once
// What the fuzz targets share: exact-size pixel storage and a file for readers that take only a path.

#include "imaging/PageAllocator.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace fuzz {

// The system allocator rounds blocks up to pages or size classes, where a step past the end goes
// unseen; exact heap blocks let AddressSanitizer report it.
inline void UseExactPageAllocator()
{
    SetPageAllocator({[](std::size_t bytes) -> void* { return std::calloc(bytes, 1); },
                      [](void* pages, std::size_t) { std::free(pages); }});
}

// A file for the input at `name` inside a folder of its own, removed with the folder at exit. The
// process id keeps parallel runs apart.
class TInputFile
{
public:
    explicit TInputFile(const std::string& name)
        : m_folder(std::filesystem::temp_directory_path() / ("velmora-fuzz-" + std::to_string(::getpid()))),
          m_path((m_folder / name).string())
    {
        std::filesystem::create_directories(std::filesystem::path(m_path).parent_path());
    }
    ~TInputFile()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    TInputFile(const TInputFile&) = delete;
    TInputFile& operator=(const TInputFile&) = delete;

    // The folder, ending in a separator.
    std::string Folder() const { return (m_folder / "").string(); }

    // The path of the file, now holding the input. A file that cannot be written ends the run rather
    // than let every later input pass untested.
    const std::string& Write(const std::uint8_t* data, std::size_t size)
    {
        std::FILE* file = std::fopen(m_path.c_str(), "wb");
        if (!file || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0)
            std::abort();
        return m_path;
    }

private:
    std::filesystem::path m_folder;
    std::string m_path;
};

} // namespace fuzz
