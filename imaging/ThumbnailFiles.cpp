#include "imaging/ThumbnailFiles.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kLargestName = 999999;

std::string SixDigits(int number)
{
    char text[16];
    std::snprintf(text, sizeof text, "%06d", number);
    return text;
}

bool EndsWithTmb(const std::string& file)
{
    if (file.size() != 10) {
        return false;
    }
    std::string extension = file.substr(6);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension == ".tmb";
}

// A unique file next to `near`, opened for writing; -1 on failure.
int CreateUniqueSibling(const fs::path& near, std::string& name)
{
    name = near.string() + ".XXXXXX";
    return mkstemp(name.data());
}

bool WriteAll(int fd, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= std::size_t(written);
    }
    return true;
}

} // namespace

fs::path ObjectsFolder(const fs::path& userDataFolder)
{
    fs::path folder = userDataFolder / "Velmora" / "";
    std::error_code error;
    fs::create_directories(folder, error);
    return folder;
}

fs::path TempFileName(const fs::path& folder)
{
    std::string name;
    const int fd = CreateUniqueSibling(folder / "temp.tmp", name);
    if (fd < 0) {
        return {};
    }
    ::close(fd);
    return name;
}

bool IsItemName(std::string_view name)
{
    return name.size() == 6 &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> ItemNames(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string file = it->path().filename().string();
        if (EndsWithTmb(file)) {
            names.push_back(file.substr(0, 6));
        }
    }
    // The directory lists in no particular order; items keep a stable, ordinal one.
    std::sort(names.begin(), names.end());
    return names;
}

std::string NewItemName(const fs::path& folder)
{
    std::vector<int> numbers;
    for (const std::string& name : ItemNames(folder)) {
        if (IsItemName(name)) {
            numbers.push_back(std::stoi(name));
        }
    }
    if (numbers.empty()) {
        return SixDigits(1);
    }
    if (numbers.back() < kLargestName) {
        return SixDigits(numbers.back() + 1);
    }
    // A seventh digit would make an item no listing finds; reuse the lowest gap instead.
    int candidate = 1;
    for (const int number : numbers) {
        if (number > candidate) {
            break;
        }
        if (number == candidate) {
            ++candidate;
        }
    }
    return candidate <= kLargestName ? SixDigits(candidate) : std::string();
}

std::string ReserveNewItemName(const fs::path& folder)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = NewItemName(folder);
        if (name.empty()) {
            return {};
        }
        const int fd =
            ::open((folder / (name + ".tmb")).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    return {};
}

void DeleteItemFiles(const fs::path& folder, const std::string& name)
{
    for (const char* extension : {".tmb", ".alp", ".jpg", ".png"}) {
        std::error_code error;
        fs::remove(folder / (name + extension), error);
    }
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const fs::path& path, std::size_t maxSize)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 || bytes.size() + std::size_t(got) > maxSize) {
            ok = false;
            break;
        }
        if (got == 0) {
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    ::close(fd);
    if (!ok) {
        return std::nullopt;
    }
    return bytes;
}

bool WriteFileReplacing(const fs::path& path, const void* data, std::size_t size)
{
    std::string temporary;
    const int fd = CreateUniqueSibling(path, temporary);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, data, size) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    // mkstemp makes the file private; items are ordinary user files.
    ok = ok && ::chmod(temporary.c_str(), 0644) == 0;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
    }
    return ok;
}

std::optional<std::vector<std::uint8_t>> CompressBytes(std::string_view data)
{
    uLongf size = compressBound(uLong(data.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()), 9) !=
        Z_OK) {
        return std::nullopt;
    }
    out.resize(size);
    return out;
}

std::optional<std::string> DecompressBytes(const std::vector<std::uint8_t>& data, std::size_t maxSize)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return std::nullopt;
    }
    std::string out;
    char chunk[65536];
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = uInt(data.size());
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) {
            break;
        }
        const std::size_t produced = sizeof chunk - stream.avail_out;
        if (out.size() + produced > maxSize) {
            result = Z_MEM_ERROR;
            break;
        }
        out.append(chunk, produced);
        if (result == Z_OK && produced == 0 && stream.avail_in == 0) {
            // The input ended before the stream did.
            result = Z_DATA_ERROR;
        }
    }
    const bool complete = result == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    if (!complete) {
        return std::nullopt;
    }
    return out;
}

bool CompressFile(const fs::path& source, const fs::path& destination)
{
    const auto bytes = ReadWholeFile(source);
    if (!bytes) {
        return false;
    }
    const auto packed =
        CompressBytes(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    return packed && WriteFileReplacing(destination, packed->data(), packed->size());
}

bool DecompressFile(const fs::path& source, const fs::path& destination)
{
    const auto bytes = ReadWholeFile(source);
    if (!bytes) {
        return false;
    }
    const auto text = DecompressBytes(*bytes);
    return text && WriteFileReplacing(destination, text->data(), text->size());
}
