#pragma once
// A fresh folder under the system temporary folder, removed with everything in it at the end of a test.

#include <cstdlib>
#include <filesystem>
#include <string>

class TTempFolder
{
public:
    TTempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-bridge-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
    }
    ~TTempFolder()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};
