#pragma once
// Property bags: ordered lists of tagged binary values, each addressed by a 32-bit identifier. They
// hold the arguments of a demonstration script line and the metadata items of an image, whose
// type tags are the imaging library's own and are kept without interpretation. A bag owns its items.

#include "core/QpValueTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// One value: its identifier, type tag and data bytes. A type-16 item also holds the counted
// reference it stands for.
struct TQpPropertyItem
{
    std::uint32_t Id = 0;
    std::uint32_t Size = 0;
    std::uint32_t Type = 0;
    std::unique_ptr<std::uint8_t[]> Bytes;
    std::shared_ptr<void> Reference;

    const std::uint8_t* Data() const { return Bytes.get(); }
};

// What GetValue makes of an item: nothing, an integer, a double or a byte string.
using TQpPropertyValue = std::variant<std::monostate, std::int32_t, double, std::string>;

class TQpCustomProperties
{
public:
    TQpCustomProperties() = default;
    TQpCustomProperties(const TQpCustomProperties&) = delete;
    TQpCustomProperties& operator=(const TQpCustomProperties&) = delete;
    virtual ~TQpCustomProperties() = default;

    // Replaces the content with copies of the source's items, in the source's order. Assigning a
    // bag to itself leaves it as it is.
    virtual void Assign(const TQpCustomProperties& source);

    int Count() const { return static_cast<int>(m_items.size()); }
    // nullptr outside 0 .. Count - 1, so also for an empty bag.
    const TQpPropertyItem* Items(int index) const;
    // Searches from the last item to the first; -1 when absent.
    int IndexOf(std::uint32_t id) const;

    // Replaces the item with that identifier in place, or appends a new one, with a copy of `size`
    // bytes of `data`. `data` may point into this bag, even into the item being replaced.
    void SetItem(std::uint32_t id, std::uint32_t type, std::uint32_t size, const void* data);
    void SetInteger(std::uint32_t id, std::int32_t value);
    void SetDouble(std::uint32_t id, double value);
    void SetString(std::uint32_t id, std::string_view text);

    // By position. Empty out of range, for other types, and for an integer or double item whose
    // size is not 4 or 8 (metadata reuses those tags for rationals, and sizes in files lie).
    TQpPropertyValue GetValue(int index) const;

    void Delete(std::uint32_t id);
    void Clear();

protected:
    // Releases whatever the item's data refers to before the item is freed or replaced.
    virtual void FreeItemData(TQpPropertyItem& item);

    // Stores a finished item, as SetItem does; for subclasses that attach a reference.
    void StoreItem(TQpPropertyItem item);

private:
    std::vector<TQpPropertyItem> m_items;
};

// The bag of demonstration arguments: releases the references of its type-16 items.
class TQpProperties : public TQpCustomProperties
{
public:
    ~TQpProperties() override;

    // A type-16 item holding `reference`; the bag shares ownership until the item goes.
    void SetInterface(std::uint32_t id, std::shared_ptr<void> reference);
    // The reference held by the item at that position, nullptr when there is none.
    std::shared_ptr<void> Interface(int index) const;

protected:
    void FreeItemData(TQpPropertyItem& item) override;
};
