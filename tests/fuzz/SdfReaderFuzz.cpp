// Feeds arbitrary bytes to the settings reader as a settings file would reach it, then walks the
// whole index and reads every value every way a module could.
#include "core/QpSDF.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

namespace {

void ReadEverything(TQpSDFReader& reader, const TQpSDFItems& items, const TQpGuid& guid)
{
    std::int32_t integer = 0;
    bool flag = false;
    std::u16string text;
    std::uint8_t block[16] = {};
    for (const TQpSDFElement& value : items.Values) {
        reader.ReadInteger(value.Identifier, integer);
        reader.ReadBoolean(value.Identifier, flag);
        reader.ReadWideString(value.Identifier, text);
        reader.ReadData(value.Identifier, block, value.Size < sizeof(block) ? value.Size : sizeof(block));
    }
    reader.ReadInteger(0, integer);
    reader.ReadWideString(0, text);
    for (const auto& node : items.Nodes) {
        if (reader.EnterNode(node->Identifier, guid)) {
            reader.LeaveNode();
        }
        if (reader.EnterNode(node->Identifier)) {
            // EnterNode takes the first match; later namesakes are only reachable by walking, so
            // descend only where the reader stands on this very node to visit each node once.
            if (reader.CurrentNode() == node.get()) {
                ReadEverything(reader, node->Children, guid);
            }
            reader.LeaveNode();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
    TQpSDFReader reader(stream);
    const TQpGuid guid = *TQpGuid::Parse("{7AF6D7FF-618B-41D9-882E-419D500DF28B}");
    ReadEverything(reader, reader.RootItems(), guid);
    return 0;
}
