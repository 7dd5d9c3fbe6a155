#pragma once
// A language file in memory: INI sections of key=value lines, decoded to UTF-8 on loading
// (byte order mark, else a CodePage key, else plain UTF-8), and the sorted string table
// the localizer looks texts up in.

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TQpLanguageFile
{
public:
    // Reads and decodes the file; an unreadable file gives an empty one.
    static TQpLanguageFile Load(const QString& fileName);
    // Decodes raw file bytes as Load does.
    static TQpLanguageFile FromBytes(const std::string& bytes);

    // The first value of `key` in `section` (both compared without case), if any.
    std::optional<std::string> Value(const std::string& section, const std::string& key) const;
    // Every key=value line of a section, in file order.
    std::vector<std::pair<std::string, std::string>> Section(const std::string& section) const;

private:
    struct Line
    {
        std::string section;
        std::string key;
        std::string value;
    };
    std::vector<Line> m_lines;
};

class TQpLocalStringList
{
public:
    // Replaces the text of an existing identifier, or appends it and clears the sorted flag.
    void Add(std::int32_t id, std::string text);
    void Sort();
    const std::string* Find(std::int32_t id) const;
    void Clear();
    int Count() const { return static_cast<int>(m_entries.size()); }
    bool Sorted() const { return m_sorted; }

private:
    std::vector<std::pair<std::int32_t, std::string>> m_entries;
    bool m_sorted = false;
};
