#pragma once
// The files of the stored-objects collection: the folder, item names, whole-file reading and
// replacing, and the zlib stream the alpha files travel in. Every item is six digits plus ".tmb",
// ".jpg" and ".alp" (a cut-out object) or ".tmb" and ".png" (an imported picture).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Decompressed alpha files larger than this are refused (a 32767 x 8192 channel as text).
constexpr std::size_t kMaxDecompressedSize = std::size_t(1) << 30;

// <userDataFolder>/Velmora/ with a trailing separator; created with its parents when missing.
std::filesystem::path ObjectsFolder(const std::filesystem::path& userDataFolder);

// A fresh, uniquely named empty file in the folder; empty on failure. The caller removes it.
std::filesystem::path TempFileName(const std::filesystem::path& folder);

// True for names of exactly six decimal digits.
bool IsItemName(std::string_view name);
// One more than the largest item of the folder, six digits; past "999999" the lowest free number;
// empty when every number is taken.
std::string NewItemName(const std::filesystem::path& folder);
// NewItemName, reserved by creating its ".tmb" exclusively so that a second program storing at the
// same time takes another number. The empty ".tmb" reads as an invalid thumbnail until written; a
// caller whose store fails removes it with DeleteItemFiles.
std::string ReserveNewItemName(const std::filesystem::path& folder);
// The item names of the folder (".tmb" matched without regard to case), sorted.
std::vector<std::string> ItemNames(const std::filesystem::path& folder);
// Removes name + ".tmb", ".alp", ".jpg" and ".png"; missing files are no failure.
void DeleteItemFiles(const std::filesystem::path& folder, const std::string& name);

// The whole file, or nothing when it cannot be read or is larger than maxSize.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path,
                                                       std::size_t maxSize = kMaxDecompressedSize);
// Writes a unique sibling file and renames it over the path, so an old file survives a failed write.
bool WriteFileReplacing(const std::filesystem::path& path, const void* data, std::size_t size);

// One zlib stream at level 9.
std::optional<std::vector<std::uint8_t>> CompressBytes(std::string_view data);
// Nothing for a damaged stream, trailing garbage or output beyond maxSize.
std::optional<std::string> DecompressBytes(const std::vector<std::uint8_t>& data,
                                           std::size_t maxSize = kMaxDecompressedSize);
bool CompressFile(const std::filesystem::path& source, const std::filesystem::path& destination);
bool DecompressFile(const std::filesystem::path& source, const std::filesystem::path& destination);
