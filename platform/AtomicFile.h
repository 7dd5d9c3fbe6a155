#pragma once
// Writing a file so that it is either wholly replaced or not touched at all: the new content goes to a
// temporary file in the target's folder, which is renamed over the target only after a complete write.
// The target's permissions are kept. An uncommitted temporary file is removed by the destructor. Every
// failure leaves a reason a user can act on.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class TAtomicFile
{
public:
    TAtomicFile() = default;
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // Creates the empty temporary file beside `target`. False, with Failure() set, when the folder is
    // missing or not writable, the target is a folder, or the target is read-only and `replaceReadOnly`
    // is not given: editors refuse to replace a file its owner protected unless asked to.
    bool Begin(const std::string& target, bool replaceReadOnly = false);
    // Where the writers put the new content.
    const std::string& TempPath() const { return m_tempPath; }
    // Flushes the temporary file to disk, gives it the target's mode (or the default mode for a new file)
    // and renames it over the target. False, with the target untouched and Failure() set, when any step
    // fails.
    bool Commit();
    // Removes the temporary file.
    void Cancel();
    // Why Begin or Commit failed: "the disk is full", "permission denied in /photos", ...
    const std::string& Failure() const { return m_failure; }
    // After a writer into TempPath failed: the likeliest reason (a full disk), or `fallback`.
    std::string WriteFailure(const std::string& fallback) const;

    // Tests: every commit of a temporary file larger than `bytes` fails as on a full disk (-1: never).
    static void FailCommitsLargerThanForTesting(std::int64_t bytes);

private:
    bool Fail(int error, const std::string& where);

    std::string m_target;
    std::string m_tempPath;
    std::string m_failure;
};

// Writes `size` bytes to `path` (created or emptied), checking every write and the close; false on any
// failure, a full disk included.
bool WriteWholeFile(const std::string& path, const void* data, std::size_t size);
// Whether the user may not write `path` (an existing file): its mode says so even for the super-user.
bool IsReadOnlyFile(const std::string& path);
// A short reason for an errno value from a file operation ("the disk is full", "permission denied").
std::string FileErrorText(int error);

} // namespace platform
