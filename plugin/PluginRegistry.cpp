#include "plugin/PluginRegistry.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

// A registry file is a handful of lines; anything larger is not one.
constexpr std::size_t kMaxFileBytes = 64 * 1024;

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::optional<std::string> ReadSmallFile(const std::string& path)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return std::nullopt;
    std::string content(kMaxFileBytes + 1, '\0');
    content.resize(std::fread(content.data(), 1, content.size(), file.get()));
    if (content.size() > kMaxFileBytes)
        return std::nullopt;
    return content;
}

// The value of `key` in one file's text; nothing when the key is not there.
std::optional<std::string> FindValue(std::string_view text, std::string_view key)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::string_view content = Trim(line);
        if (content.empty() || content.front() == '#' || content.front() == ';')
            continue;
        const std::size_t equals = line.find('=');
        if (equals != std::string_view::npos && EqualIgnoringAsciiCase(Trim(line.substr(0, equals)), key))
            return std::string(line.substr(equals + 1));
    }
    return std::nullopt;
}

} // namespace

std::vector<std::string> RegistryFiles()
{
    constexpr const char* kFile = "/Velmora/plugins.conf";
    std::vector<std::string> files;
    std::string userFolder = Environment("XDG_CONFIG_HOME");
    if (userFolder.empty() || userFolder.front() != '/') {
        const std::string home = Environment("HOME");
        userFolder = home.empty() ? std::string() : home + "/.config";
    }
    if (!userFolder.empty())
        files.push_back(userFolder + kFile);

    std::string systemFolders = Environment("XDG_CONFIG_DIRS");
    if (systemFolders.empty())
        systemFolders = "/etc/xdg";
    std::string_view rest = systemFolders;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        // Relative entries are invalid in the variable and are skipped.
        if (!folder.empty() && folder.front() == '/')
            files.push_back(std::string(folder) + kFile);
    }
    return files;
}

std::string ReadRegistryValue(const std::vector<std::string>& files, std::string_view key)
{
    for (const std::string& path : files) {
        const auto text = ReadSmallFile(path);
        if (!text)
            continue;
        auto value = FindValue(*text, key);
        if (!value)
            continue;
        if (value->size() + 1 > kMaxRegistryValueBytes)
            return {};
        return *value;
    }
    return {};
}

std::string ReadProgramPath()
{
    return ReadRegistryValue(RegistryFiles(), kProgramKey);
}
