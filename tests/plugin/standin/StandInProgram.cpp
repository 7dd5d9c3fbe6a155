// A stand-in for the program in plug-in mode. Started with a transfer block's path, it does to the block
// what its own file name says (the tests link one binary under several names) and exits as the program
// does: 0 when it wrote a result, -1 when the user cancelled.

#include "bridge/FileMapping.h"
#include "bridge/TransferBlock.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr int kExitCancelled = -1;
constexpr int kExitBadArguments = 3;
constexpr int kExitWrongFolder = 4;
constexpr int kExitNoBlock = 5;
constexpr int kExitUnknownRole = 6;

bool PatchInt32(const std::string& path, std::size_t offset, std::int32_t value)
{
    TFileMapping mapping;
    if (!mapping.Create(path))
        return false;
    std::uint8_t* data = mapping.Map(offset, 4, TMapAccess::Write);
    if (data == nullptr)
        return false;
    for (int i = 0; i < 4; ++i)
        data[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
    mapping.Unmap(data);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return kExitBadArguments;
    const fs::path self = argv[0];
    const std::string block = argv[1];
    const std::string role = self.filename().string();
    std::error_code error;
    if (!fs::equivalent(fs::current_path(), self.parent_path(), error))
        return kExitWrongFolder;

    if (role == "cancel")
        return kExitCancelled;
    if (role == "crash")
        std::abort();
    if (role == "record") {
        fs::copy_file(block, self.parent_path() / "received.block", fs::copy_options::overwrite_existing);
        return kExitCancelled;
    }
    if (role == "delete")
        return fs::remove(block) ? 0 : kExitNoBlock;

    auto image = LoadTransferBlock(block);
    if (!image)
        return kExitNoBlock;
    if (role == "invert") {
        // Long enough that the plug-in has to wait for it.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (std::int32_t y = 0; y < image->Height; ++y)
            for (std::size_t x = 0; x < static_cast<std::size_t>(image->Width) * 3; ++x)
                image->Pixels[y * image->Stride + x] ^= 0xFF;
        return SaveTransferBlock(block, image->Width, image->Height, image->Pixels.data(), image->Stride)
                   ? 0
                   : kExitNoBlock;
    }
    if (role == "resize")
        return SaveTransferBlock(block, image->Width - 1, image->Height, image->Pixels.data(), image->Stride)
                   ? 0
                   : kExitNoBlock;
    if (!SaveTransferBlock(block, image->Width, image->Height, image->Pixels.data(), image->Stride))
        return kExitNoBlock;
    if (role == "nomagic")
        return PatchInt32(block, 0, 0x58585858) ? 0 : kExitNoBlock;
    if (role == "rowbytes")
        return PatchInt32(block, 28, image->Width * 3 - 1) ? 0 : kExitNoBlock;
    if (role == "truncate") {
        fs::resize_file(block, kTransferHeaderSize + image->Stride);
        return 0;
    }
    return kExitUnknownRole;
}
