// Feeds arbitrary bytes to both readers of the transfer block: the program loading a block file, and
// the plug-in copying the program's result into the host's buffer as it was described when sent.
#include "FuzzSupport.h"
#include "bridge/TransferBlock.h"

#include <cstdlib>
#include <vector>

namespace {

// The plug-in's side, for a host of `hostPlanes` bytes a pixel whose rows end right after their pixels,
// so a copy past the rectangle leaves the buffer.
void CopyToHost(const std::uint8_t* data, std::size_t size, std::int32_t hostPlanes)
{
    const TTransferDescriptor sent = ReadTransferDescriptor(data);
    const auto layout = CheckTransferBlock(data, size, TBlockReader::PlugIn);
    // A block that does not fit the file says nothing about a host buffer: one byte stands in for it.
    const std::size_t rowBytes = layout ? static_cast<std::size_t>(sent.Width) * hostPlanes : 1;
    std::vector<std::uint8_t> host(layout ? rowBytes * static_cast<std::size_t>(sent.Height) : 1);
    const TResultStatus status = CopyTransferResult(data, size, sent, host.data(), rowBytes, hostPlanes);
    // The block describes itself as sent, so it is accepted exactly when it fits the file.
    if ((status == TResultStatus::Accepted) != layout.has_value())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::TInputFile file("block.tmp");
    const auto image = LoadTransferBlock(file.Write(data, size));
    if (image && (image->Width < 1 || image->Height < 1 ||
                  image->Stride < static_cast<std::size_t>(image->Width) * 3 ||
                  image->Pixels.size() != image->Stride * static_cast<std::size_t>(image->Height) ||
                  image->Exif.size() > kMaxExifLength))
        std::abort();

    // The plug-in reads the block from memory; a copy of exactly the input's size shows every overread.
    if (size < kTransferHeaderSize)
        return 0;
    const std::vector<std::uint8_t> block(data, data + size);
    const std::int32_t planes = ReadTransferDescriptor(block.data()).Planes;
    for (const std::int32_t hostPlanes : {1, 3, 4, planes})
        CopyToHost(block.data(), block.size(), hostPlanes);
    return 0;
}
