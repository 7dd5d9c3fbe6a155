#include "framework/LanguageFile.h"

#include "platform/Languages.h"

#include <QFile>
#include <algorithm>
#include <charconv>

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

struct RawLine
{
    std::string section;
    std::string key;
    std::string value;
};

// INI rules as the platform applies them: [section] lines, key=value lines with blanks trimmed,
// ';' comments, and one pair of enclosing double quotes removed from a value.
std::vector<RawLine> ParseIni(const std::string& text)
{
    std::vector<RawLine> lines;
    std::string section;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            section = Lower(Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)));
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        lines.push_back({section, Lower(Trim(line.substr(0, equals))), std::move(value)});
    }
    return lines;
}

std::optional<long long> ToInteger(const std::string& text)
{
    long long value = 0;
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end || begin == end)
        return std::nullopt;
    return value;
}

} // namespace

TQpLanguageFile TQpLanguageFile::Load(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return FromBytes(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

TQpLanguageFile TQpLanguageFile::FromBytes(const std::string& bytes)
{
    std::string text;
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF) {
        text = bytes.substr(3);
    } else {
        // The CodePage key is plain ASCII in every code page, so it can be read before decoding.
        std::optional<long long> codePage;
        for (const RawLine& line : ParseIni(bytes)) {
            if (line.key == "codepage") {
                codePage = ToInteger(line.value);
                break;
            }
        }
        text = bytes;
        if (codePage && *codePage > 0 && *codePage <= 65535) {
            // A code page the system cannot convert leaves the text as UTF-8.
            if (auto converted = platform::CodePageToUtf8(bytes, static_cast<int>(*codePage)))
                text = std::move(*converted);
        }
    }

    TQpLanguageFile file;
    for (RawLine& line : ParseIni(text))
        file.m_lines.push_back({std::move(line.section), std::move(line.key), std::move(line.value)});
    return file;
}

std::optional<std::string> TQpLanguageFile::Value(const std::string& section, const std::string& key) const
{
    const std::string wantedSection = Lower(section);
    const std::string wantedKey = Lower(key);
    for (const Line& line : m_lines) {
        if (line.section == wantedSection && line.key == wantedKey)
            return line.value;
    }
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> TQpLanguageFile::Section(const std::string& section) const
{
    const std::string wanted = Lower(section);
    std::vector<std::pair<std::string, std::string>> result;
    for (const Line& line : m_lines) {
        if (line.section == wanted)
            result.emplace_back(line.key, line.value);
    }
    return result;
}

void TQpLocalStringList::Add(std::int32_t id, std::string text)
{
    for (auto& entry : m_entries) {
        if (entry.first == id) {
            entry.second = std::move(text);
            return;
        }
    }
    m_entries.emplace_back(id, std::move(text));
    m_sorted = false;
}

void TQpLocalStringList::Sort()
{
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    m_sorted = true;
}

const std::string* TQpLocalStringList::Find(std::int32_t id) const
{
    if (m_sorted) {
        auto it = std::lower_bound(m_entries.begin(), m_entries.end(), id,
                                   [](const auto& entry, std::int32_t value) { return entry.first < value; });
        return it != m_entries.end() && it->first == id ? &it->second : nullptr;
    }
    for (const auto& entry : m_entries) {
        if (entry.first == id)
            return &entry.second;
    }
    return nullptr;
}

void TQpLocalStringList::Clear()
{
    m_entries.clear();
    m_sorted = false;
}
