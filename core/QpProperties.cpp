#include "core/QpProperties.h"

#include <bit>
#include <cstring>

namespace {

std::uint64_t GetLittleEndian(const std::uint8_t* bytes, int width)
{
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i) {
        value |= std::uint64_t{bytes[i]} << (8 * i);
    }
    return value;
}

} // namespace

void TQpCustomProperties::Assign(const TQpCustomProperties& source)
{
    if (&source == this) {
        return;
    }
    Clear();
    for (const TQpPropertyItem& item : source.m_items) {
        TQpPropertyItem copy;
        copy.Id = item.Id;
        copy.Type = item.Type;
        copy.Size = item.Size;
        copy.Bytes = std::make_unique<std::uint8_t[]>(item.Size);
        if (item.Size > 0) {
            std::memcpy(copy.Bytes.get(), item.Bytes.get(), item.Size);
        }
        // The copy holds its own count, so both bags may release theirs.
        copy.Reference = item.Reference;
        StoreItem(std::move(copy));
    }
}

const TQpPropertyItem* TQpCustomProperties::Items(int index) const
{
    if (index < 0 || index >= Count()) {
        return nullptr;
    }
    return &m_items[static_cast<std::size_t>(index)];
}

int TQpCustomProperties::IndexOf(std::uint32_t id) const
{
    for (int index = Count() - 1; index >= 0; --index) {
        if (m_items[static_cast<std::size_t>(index)].Id == id) {
            return index;
        }
    }
    return -1;
}

void TQpCustomProperties::StoreItem(TQpPropertyItem item)
{
    const int index = IndexOf(item.Id);
    if (index < 0) {
        m_items.push_back(std::move(item));
        return;
    }
    TQpPropertyItem& old = m_items[static_cast<std::size_t>(index)];
    FreeItemData(old);
    old = std::move(item);
}

void TQpCustomProperties::SetItem(std::uint32_t id, std::uint32_t type, std::uint32_t size, const void* data)
{
    // The copy is made before the old item goes, since `data` may lie inside it.
    TQpPropertyItem item;
    item.Id = id;
    item.Type = type;
    item.Size = size;
    item.Bytes = std::make_unique<std::uint8_t[]>(size);
    if (size > 0 && data) {
        std::memcpy(item.Bytes.get(), data, size);
    }
    StoreItem(std::move(item));
}

void TQpCustomProperties::SetInteger(std::uint32_t id, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                                   static_cast<std::uint8_t>(bits >> 16),
                                   static_cast<std::uint8_t>(bits >> 24)};
    SetItem(id, kQpTypeInt32, 4, bytes);
}

void TQpCustomProperties::SetDouble(std::uint32_t id, double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    std::uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    SetItem(id, kQpTypeDouble, 8, bytes);
}

void TQpCustomProperties::SetString(std::uint32_t id, std::string_view text)
{
    SetItem(id, kQpTypeByteString, static_cast<std::uint32_t>(text.size()), text.data());
}

TQpPropertyValue TQpCustomProperties::GetValue(int index) const
{
    const TQpPropertyItem* item = Items(index);
    if (!item) {
        return {};
    }
    if (item->Type == kQpTypeInt32 && item->Size == 4) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(GetLittleEndian(item->Data(), 4)));
    }
    if (item->Type == kQpTypeDouble && item->Size == 8) {
        return std::bit_cast<double>(GetLittleEndian(item->Data(), 8));
    }
    if (item->Type == kQpTypeByteString) {
        return std::string(reinterpret_cast<const char*>(item->Data()), item->Size);
    }
    return {};
}

void TQpCustomProperties::Delete(std::uint32_t id)
{
    const int index = IndexOf(id);
    if (index < 0) {
        return;
    }
    FreeItemData(m_items[static_cast<std::size_t>(index)]);
    m_items.erase(m_items.begin() + index);
}

void TQpCustomProperties::Clear()
{
    for (TQpPropertyItem& item : m_items) {
        FreeItemData(item);
    }
    m_items.clear();
    m_items.shrink_to_fit();
}

void TQpCustomProperties::FreeItemData(TQpPropertyItem&) {}

TQpProperties::~TQpProperties()
{
    // The base destructor would no longer reach this class's FreeItemData.
    Clear();
}

void TQpProperties::SetInterface(std::uint32_t id, std::shared_ptr<void> reference)
{
    TQpPropertyItem item;
    item.Id = id;
    item.Type = kQpTypeInterface;
    item.Size = 0;
    item.Bytes = std::make_unique<std::uint8_t[]>(0);
    item.Reference = std::move(reference);
    StoreItem(std::move(item));
}

std::shared_ptr<void> TQpProperties::Interface(int index) const
{
    const TQpPropertyItem* item = Items(index);
    return item && item->Type == kQpTypeInterface ? item->Reference : nullptr;
}

void TQpProperties::FreeItemData(TQpPropertyItem& item)
{
    if (item.Type == kQpTypeInterface) {
        item.Reference.reset();
    }
}
