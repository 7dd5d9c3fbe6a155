#pragma once
// The settings data format: a tree of nodes and typed values, each value addressed by a small
// identifier within its node. TQpSDFWriter appends items to a stream; TQpSDFReader parses a whole
// stream once into an index and reads values on demand by seeking to them. Each module writes one
// top-level node carrying its own GUID and reads only that node, so foreign sections are harmless.

#include "core/QpGuid.h"
#include "core/QpValueTypes.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Item kinds, bits 7-6 of an item's header byte. 2 also opens a node; the writer always uses 3.
constexpr std::uint32_t kSDFKindEnd = 0;
constexpr std::uint32_t kSDFKindValue = 1;
constexpr std::uint32_t kSDFKindNode = 3;

// Writes one item per call at the stream's current position. Keeps no nesting state: balancing
// begins and ends is the caller's duty. Every operation returns whether a stream was present and
// took the bytes; with no stream nothing is written.
class TQpSDFWriter
{
public:
    TQpSDFWriter() = default;
    explicit TQpSDFWriter(std::ostream& stream) : m_stream(&stream) {}
    explicit TQpSDFWriter(std::unique_ptr<std::ostream> stream)
        : m_ownedStream(std::move(stream)), m_stream(m_ownedStream.get())
    {
    }
    TQpSDFWriter(const TQpSDFWriter&) = delete;
    TQpSDFWriter& operator=(const TQpSDFWriter&) = delete;

    // Header byte and the identifier, type and size fields, each in its smallest width; the caller
    // then writes exactly `size` payload bytes.
    bool WriteItem(std::uint32_t id, std::uint32_t kind, std::uint32_t type, std::uint32_t size);
    bool WriteBeginNode(std::uint32_t id, const TQpGuid& guid);
    bool WriteBeginNode(std::uint32_t id, std::int32_t value);
    bool WriteEndNode();
    bool WriteBoolean(std::uint32_t id, bool value);
    bool WriteInteger(std::uint32_t id, std::int32_t value);
    bool WriteWideString(std::uint32_t id, std::u16string_view text);
    // Fails without writing when the block is too large for a 32-bit size field.
    bool WriteData(std::uint32_t id, const void* buffer, std::size_t size);

private:
    bool WriteBytes(const void* bytes, std::size_t count);

    std::unique_ptr<std::ostream> m_ownedStream;
    std::ostream* m_stream = nullptr;
};

// One parsed value: where its payload lies in the stream.
struct TQpSDFElement
{
    std::uint32_t Identifier = 0;
    std::uint32_t Type = 0;
    std::uint32_t Size = 0;
    std::uint64_t Position = 0;
};

struct TQpSDFNode;

// The values and the child nodes of one node (or of the top level), each list in stream order.
// Owns everything in it.
struct TQpSDFItems
{
    std::vector<TQpSDFElement> Values;
    std::vector<std::unique_ptr<TQpSDFNode>> Nodes;
};

// A node is also an element: its own payload (a GUID, a list count) is read like a value.
struct TQpSDFNode : TQpSDFElement
{
    TQpSDFNode* Parent = nullptr; // nullptr at top level
    TQpSDFItems Children;
};

// Parses the stream from its current position to its end at construction. Parsing stops at the
// first damage (a field or payload running past the end, an end item at top level, nesting deeper
// than kMaxDepth) and keeps everything parsed before it. The index never changes afterwards;
// entering and leaving nodes only moves the current node.
class TQpSDFReader
{
public:
    // Real settings nest about three deep; a deeper stream is damaged or crafted.
    static constexpr int kMaxDepth = 64;

    TQpSDFReader() = default; // no stream: an empty index
    explicit TQpSDFReader(std::istream& stream);
    explicit TQpSDFReader(std::unique_ptr<std::istream> stream);
    TQpSDFReader(const TQpSDFReader&) = delete;
    TQpSDFReader& operator=(const TQpSDFReader&) = delete;

    // Enters the first child node with that identifier; false (and no move) when there is none.
    bool EnterNode(std::uint32_t id);
    // Enters the first child node with that identifier whose payload is exactly that GUID.
    bool EnterNode(std::uint32_t id, const TQpGuid& guid);
    // Back to the parent; at top level it stays at top level.
    void LeaveNode();

    // id != 0: the first value with that identifier in the current node; id == 0: the current node
    // itself, nullptr at top level.
    const TQpSDFElement* FindValue(std::uint32_t id) const;

    // Every read fails when the value is missing or of another type or size, and then leaves the
    // destination untouched. ReadData checks the size only, not the type.
    bool ReadData(std::uint32_t id, void* buffer, std::size_t size);
    bool ReadInteger(std::uint32_t id, std::int32_t& value);
    bool ReadBoolean(std::uint32_t id, bool& value);
    bool ReadWideString(std::uint32_t id, std::u16string& text);

    const TQpSDFItems& RootItems() const { return m_root; }
    const TQpSDFNode* CurrentNode() const { return m_current; }

private:
    void Parse();
    const TQpSDFItems& CurrentItems() const { return m_current ? m_current->Children : m_root; }
    // Reads exactly `count` payload bytes of `element` from its recorded position.
    bool ReadPayload(const TQpSDFElement& element, void* bytes, std::size_t count);

    std::unique_ptr<std::istream> m_ownedStream;
    std::istream* m_stream = nullptr;
    TQpSDFItems m_root;
    TQpSDFNode* m_current = nullptr;
};
