#include "core/QpSDF.h"

#include <array>
#include <cstring>
#include <limits>

namespace {

// Width code of a field: 0 absent, 1 one byte, 2 two bytes, 3 four bytes.
std::uint8_t WidthCode(std::uint32_t value)
{
    if (value == 0) {
        return 0;
    }
    if (value <= 0xFF) {
        return 1;
    }
    if (value <= 0xFFFF) {
        return 2;
    }
    return 3;
}

constexpr std::array<std::size_t, 4> kWidthOfCode = {0, 1, 2, 4};

void PutLittleEndian(std::uint8_t* out, std::uint32_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t GetLittleEndian(const std::uint8_t* in, std::size_t width)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value |= std::uint32_t{in[i]} << (8 * i);
    }
    return value;
}

} // namespace

bool TQpSDFWriter::WriteBytes(const void* bytes, std::size_t count)
{
    if (!m_stream) {
        return false;
    }
    if (count > 0) {
        m_stream->write(static_cast<const char*>(bytes), static_cast<std::streamsize>(count));
    }
    return m_stream->good();
}

bool TQpSDFWriter::WriteItem(std::uint32_t id, std::uint32_t kind, std::uint32_t type, std::uint32_t size)
{
    const std::uint8_t idCode = WidthCode(id);
    const std::uint8_t typeCode = WidthCode(type);
    const std::uint8_t sizeCode = WidthCode(size);
    std::array<std::uint8_t, 13> bytes{};
    bytes[0] = static_cast<std::uint8_t>(((kind & 3) << 6) | (idCode << 4) | (typeCode << 2) | sizeCode);
    std::size_t length = 1;
    PutLittleEndian(&bytes[length], id, kWidthOfCode[idCode]);
    length += kWidthOfCode[idCode];
    PutLittleEndian(&bytes[length], type, kWidthOfCode[typeCode]);
    length += kWidthOfCode[typeCode];
    PutLittleEndian(&bytes[length], size, kWidthOfCode[sizeCode]);
    length += kWidthOfCode[sizeCode];
    return WriteBytes(bytes.data(), length);
}

bool TQpSDFWriter::WriteBeginNode(std::uint32_t id, const TQpGuid& guid)
{
    if (!WriteItem(id, kSDFKindNode, kQpTypeGuid, TQpGuid::kByteSize)) {
        return false;
    }
    const auto bytes = guid.ToBytes();
    return WriteBytes(bytes.data(), bytes.size());
}

bool TQpSDFWriter::WriteBeginNode(std::uint32_t id, std::int32_t value)
{
    std::array<std::uint8_t, 4> bytes{};
    PutLittleEndian(bytes.data(), static_cast<std::uint32_t>(value), bytes.size());
    return WriteItem(id, kSDFKindNode, kQpTypeInt32, 4) && WriteBytes(bytes.data(), bytes.size());
}

bool TQpSDFWriter::WriteEndNode()
{
    return WriteItem(0, kSDFKindEnd, 0, 0);
}

bool TQpSDFWriter::WriteBoolean(std::uint32_t id, bool value)
{
    const std::uint8_t byte = value ? 1 : 0;
    return WriteItem(id, kSDFKindValue, kQpTypeInt8, 1) && WriteBytes(&byte, 1);
}

bool TQpSDFWriter::WriteInteger(std::uint32_t id, std::int32_t value)
{
    std::array<std::uint8_t, 4> bytes{};
    PutLittleEndian(bytes.data(), static_cast<std::uint32_t>(value), bytes.size());
    return WriteItem(id, kSDFKindValue, kQpTypeInt32, 4) && WriteBytes(bytes.data(), bytes.size());
}

bool TQpSDFWriter::WriteWideString(std::uint32_t id, std::u16string_view text)
{
    if (!m_stream || text.size() > std::numeric_limits<std::uint32_t>::max() / 2) {
        return false;
    }
    const auto size = static_cast<std::uint32_t>(text.size() * 2);
    if (!WriteItem(id, kSDFKindValue, kQpTypeWideString, size)) {
        return false;
    }
    // Code units go out low byte first whatever the machine's byte order.
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(text[i]);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    return WriteBytes(bytes.data(), bytes.size());
}

bool TQpSDFWriter::WriteData(std::uint32_t id, const void* buffer, std::size_t size)
{
    if (!m_stream || size > std::numeric_limits<std::uint32_t>::max() || (size > 0 && !buffer)) {
        return false;
    }
    return WriteItem(id, kSDFKindValue, kQpTypeBinary, static_cast<std::uint32_t>(size)) &&
           WriteBytes(buffer, size);
}

TQpSDFReader::TQpSDFReader(std::istream& stream) : m_stream(&stream)
{
    Parse();
}

TQpSDFReader::TQpSDFReader(std::unique_ptr<std::istream> stream)
    : m_ownedStream(std::move(stream)), m_stream(m_ownedStream.get())
{
    Parse();
}

void TQpSDFReader::Parse()
{
    if (!m_stream || !*m_stream) {
        return;
    }
    const std::istream::pos_type start = m_stream->tellg();
    m_stream->seekg(0, std::ios::end);
    const std::istream::pos_type end = m_stream->tellg();
    if (start < 0 || end < start) {
        m_stream->clear();
        return;
    }
    m_stream->seekg(start);
    const auto streamEnd = static_cast<std::uint64_t>(end);
    auto position = static_cast<std::uint64_t>(start);

    auto readBytes = [&](std::uint8_t* bytes, std::size_t count) {
        if (count == 0) {
            return true;
        }
        if (streamEnd - position < count) {
            return false;
        }
        m_stream->read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(count));
        if (m_stream->gcount() != static_cast<std::streamsize>(count)) {
            return false;
        }
        position += count;
        return true;
    };

    TQpSDFNode* current = nullptr;
    int depth = 0;
    for (;;) {
        std::uint8_t header = 0;
        if (!readBytes(&header, 1)) {
            break;
        }
        const std::uint32_t kind = header >> 6;
        std::array<std::uint32_t, 3> fields{}; // identifier, type, size
        bool complete = true;
        for (int i = 0; i < 3 && complete; ++i) {
            const std::size_t width = kWidthOfCode[(header >> (4 - 2 * i)) & 3];
            std::array<std::uint8_t, 4> bytes{};
            complete = readBytes(bytes.data(), width);
            fields[i] = GetLittleEndian(bytes.data(), width);
        }
        if (!complete) {
            break;
        }

        if (kind == kSDFKindEnd) {
            if (!current) {
                break;
            }
            current = current->Parent;
            --depth;
            continue;
        }

        // 64-bit, so a size near 2^32 cannot wrap past the end check.
        const std::uint64_t size = fields[2];
        if (streamEnd - position < size) {
            break;
        }
        TQpSDFItems& items = current ? current->Children : m_root;
        if (kind == kSDFKindValue) {
            items.Values.push_back(TQpSDFElement{fields[0], fields[1], fields[2], position});
        } else {
            if (depth >= kMaxDepth) {
                break;
            }
            auto node = std::make_unique<TQpSDFNode>();
            node->Identifier = fields[0];
            node->Type = fields[1];
            node->Size = fields[2];
            node->Position = position;
            node->Parent = current;
            current = node.get();
            ++depth;
            items.Nodes.push_back(std::move(node));
        }
        position += size;
        m_stream->seekg(static_cast<std::streamoff>(position));
        if (!*m_stream) {
            break;
        }
    }
    m_stream->clear();
    m_current = nullptr;
}

bool TQpSDFReader::EnterNode(std::uint32_t id)
{
    for (const auto& node : CurrentItems().Nodes) {
        if (node->Identifier == id) {
            m_current = node.get();
            return true;
        }
    }
    return false;
}

bool TQpSDFReader::EnterNode(std::uint32_t id, const TQpGuid& guid)
{
    for (const auto& node : CurrentItems().Nodes) {
        if (node->Identifier != id || node->Type != kQpTypeGuid || node->Size != TQpGuid::kByteSize) {
            continue;
        }
        std::array<std::uint8_t, TQpGuid::kByteSize> bytes{};
        if (ReadPayload(*node, bytes.data(), bytes.size()) && TQpGuid::FromBytes(bytes.data()) == guid) {
            m_current = node.get();
            return true;
        }
    }
    return false;
}

void TQpSDFReader::LeaveNode()
{
    if (m_current) {
        m_current = m_current->Parent;
    }
}

const TQpSDFElement* TQpSDFReader::FindValue(std::uint32_t id) const
{
    if (id == 0) {
        return m_current;
    }
    for (const auto& value : CurrentItems().Values) {
        if (value.Identifier == id) {
            return &value;
        }
    }
    return nullptr;
}

bool TQpSDFReader::ReadPayload(const TQpSDFElement& element, void* bytes, std::size_t count)
{
    if (!m_stream || count > element.Size) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    m_stream->clear();
    m_stream->seekg(static_cast<std::streamoff>(element.Position));
    m_stream->read(static_cast<char*>(bytes), static_cast<std::streamsize>(count));
    const bool complete = m_stream->gcount() == static_cast<std::streamsize>(count);
    m_stream->clear();
    return complete;
}

bool TQpSDFReader::ReadData(std::uint32_t id, void* buffer, std::size_t size)
{
    const TQpSDFElement* element = FindValue(id);
    if (!element || element->Size != size) {
        return false;
    }
    // Through a copy, so a failing stream cannot leave the caller's record half overwritten.
    std::vector<std::uint8_t> bytes(size);
    if (!ReadPayload(*element, bytes.data(), size)) {
        return false;
    }
    if (size > 0) {
        std::memcpy(buffer, bytes.data(), size);
    }
    return true;
}

bool TQpSDFReader::ReadInteger(std::uint32_t id, std::int32_t& value)
{
    const TQpSDFElement* element = FindValue(id);
    if (!element) {
        return false;
    }
    const bool known = (element->Type == kQpTypeInt32 && element->Size == 4) ||
                       (element->Type == kQpTypeInt8 && element->Size == 1) ||
                       (element->Type == kQpTypeUInt8 && element->Size == 1) ||
                       (element->Type == kQpTypeInt16 && element->Size == 2) ||
                       (element->Type == kQpTypeUInt16 && element->Size == 2);
    std::array<std::uint8_t, 4> bytes{};
    if (!known || !ReadPayload(*element, bytes.data(), element->Size)) {
        return false;
    }
    switch (element->Type) {
    case kQpTypeInt8:
        value = static_cast<std::int8_t>(bytes[0]);
        break;
    case kQpTypeUInt8:
        value = bytes[0];
        break;
    case kQpTypeInt16:
        value = static_cast<std::int16_t>(GetLittleEndian(bytes.data(), 2));
        break;
    case kQpTypeUInt16:
        value = static_cast<std::int32_t>(GetLittleEndian(bytes.data(), 2));
        break;
    default:
        value = static_cast<std::int32_t>(GetLittleEndian(bytes.data(), 4));
        break;
    }
    return true;
}

bool TQpSDFReader::ReadBoolean(std::uint32_t id, bool& value)
{
    std::int32_t integer = 0;
    if (!ReadInteger(id, integer)) {
        return false;
    }
    value = integer != 0;
    return true;
}

bool TQpSDFReader::ReadWideString(std::uint32_t id, std::u16string& text)
{
    const TQpSDFElement* element = FindValue(id);
    if (!element || element->Type != kQpTypeWideString) {
        return false;
    }
    // The parse checked that the payload lies within the stream, so this is bounded by its size.
    std::vector<std::uint8_t> bytes(element->Size);
    if (!ReadPayload(*element, bytes.data(), bytes.size())) {
        return false;
    }
    std::u16string result(element->Size / 2, u'\0');
    for (std::size_t i = 0; i < result.size(); ++i) {
        result[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    text = std::move(result);
    return true;
}
