#pragma once
// Writing a file so that it is either wholly replaced or not touched at all: the new content goes to a
// temporary file in the target's folder, which is renamed over the target only after a complete write.
// The target's permissions are kept. An uncommitted temporary file is removed by the destructor.

#include <string>

namespace platform {

class TAtomicFile
{
public:
    TAtomicFile() = default;
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // Creates the empty temporary file beside `target`; false when the folder is not writable.
    bool Begin(const std::string& target);
    // Where the writers put the new content.
    const std::string& TempPath() const { return m_tempPath; }
    // Flushes the temporary file to disk, gives it the target's mode (or the default mode for a new file)
    // and renames it over the target. False, with the target untouched, when any step fails.
    bool Commit();
    // Removes the temporary file.
    void Cancel();

private:
    std::string m_target;
    std::string m_tempPath;
};

} // namespace platform
