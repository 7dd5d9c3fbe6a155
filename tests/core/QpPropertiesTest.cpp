#include "core/QpProperties.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ItemBytes(const TQpCustomProperties& bag, int index)
{
    const TQpPropertyItem* item = bag.Items(index);
    return item ? Bytes(item->Data(), item->Data() + item->Size) : Bytes{};
}

TEST(QpPropertiesTest, SettersStoreTheirTypeTagsAndLittleEndianBytes)
{
    TQpProperties bag;
    bag.SetInteger(0, -2);
    bag.SetDouble(1, 1.5);
    bag.SetString(2, "Abc");
    bag.SetString(3, "");
    ASSERT_EQ(bag.Count(), 4);

    EXPECT_EQ(bag.Items(0)->Type, 5u);
    EXPECT_EQ(ItemBytes(bag, 0), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(bag.Items(1)->Type, 10u);
    EXPECT_EQ(ItemBytes(bag, 1), (Bytes{0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));
    EXPECT_EQ(bag.Items(2)->Type, 11u);
    EXPECT_EQ(ItemBytes(bag, 2), (Bytes{'A', 'b', 'c'}));
    EXPECT_EQ(bag.Items(3)->Size, 0u);

    EXPECT_EQ(bag.GetValue(0), TQpPropertyValue(std::int32_t{-2}));
    EXPECT_EQ(bag.GetValue(1), TQpPropertyValue(1.5));
    EXPECT_EQ(bag.GetValue(2), TQpPropertyValue(std::string("Abc")));
    EXPECT_EQ(bag.GetValue(3), TQpPropertyValue(std::string()));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(bag.GetValue(-1)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(bag.GetValue(4)));
}

TEST(QpPropertiesTest, SettingAnIdentifierAgainReplacesTheItemInPlace)
{
    TQpCustomProperties bag;
    bag.SetInteger(7, 1);
    bag.SetInteger(8, 2);
    bag.SetString(7, "longer than four bytes");
    ASSERT_EQ(bag.Count(), 2);
    EXPECT_EQ(bag.Items(0)->Id, 7u);
    EXPECT_EQ(bag.GetValue(0), TQpPropertyValue(std::string("longer than four bytes")));
    EXPECT_EQ(bag.IndexOf(8), 1);
    EXPECT_EQ(bag.IndexOf(9), -1);

    bag.Delete(9); // absent: nothing happens
    bag.Delete(7);
    ASSERT_EQ(bag.Count(), 1);
    EXPECT_EQ(bag.GetValue(0), TQpPropertyValue(std::int32_t{2}));
}

TEST(QpPropertiesTest, SetItemMayCopyFromTheItemItReplaces)
{
    TQpCustomProperties bag;
    bag.SetString(1, "source text");
    bag.SetString(2, "x");
    // Shrinking an item onto its own bytes, and copying a sibling's bytes: both read the old data.
    bag.SetItem(1, 11, 6, bag.Items(0)->Data());
    bag.SetItem(2, 11, 6, bag.Items(0)->Data());
    EXPECT_EQ(bag.GetValue(0), TQpPropertyValue(std::string("source")));
    EXPECT_EQ(bag.GetValue(1), TQpPropertyValue(std::string("source")));
}

TEST(QpPropertiesTest, MetadataTagsAreKeptButOnlyExactSizesReadAsNumbers)
{
    TQpCustomProperties bag;
    const std::uint8_t rational[8] = {1, 0, 0, 0, 3, 0, 0, 0}; // tag 5 in metadata: two 32-bit halves
    const std::uint8_t ascii[3] = {'a', 'b', 0};
    const std::uint8_t one = 9;
    bag.SetItem(0x829A, 5, 8, rational);
    bag.SetItem(0x010F, 2, 3, ascii);
    bag.SetItem(0x0001, 10, 1, &one);
    bag.SetItem(0x0002, 5, 0, nullptr);
    for (int index = 0; index < bag.Count(); ++index) {
        EXPECT_TRUE(std::holds_alternative<std::monostate>(bag.GetValue(index))) << index;
    }
    EXPECT_EQ(bag.Items(0)->Type, 5u);
    EXPECT_EQ(ItemBytes(bag, 0), Bytes(rational, rational + 8));
    EXPECT_EQ(ItemBytes(bag, 1), Bytes(ascii, ascii + 3));
}

TEST(QpPropertiesTest, ClearEmptiesAndTheBagCanBeFilledAgain)
{
    TQpCustomProperties bag;
    EXPECT_EQ(bag.Count(), 0);
    EXPECT_EQ(bag.Items(0), nullptr);
    bag.SetInteger(0, 1);
    bag.Clear();
    EXPECT_EQ(bag.Count(), 0);
    EXPECT_EQ(bag.Items(0), nullptr);
    bag.SetInteger(5, 3);
    EXPECT_EQ(bag.Count(), 1);
    EXPECT_EQ(bag.IndexOf(5), 0);
}

TEST(QpPropertiesTest, AssignCopiesInOrderAndIgnoresItself)
{
    TQpCustomProperties source;
    source.SetString(3, "three");
    source.SetInteger(1, 1);
    source.SetItem(0x9003, 2, 2, "1");

    TQpCustomProperties target;
    target.SetInteger(99, 99);
    target.Assign(source);
    ASSERT_EQ(target.Count(), 3);
    EXPECT_EQ(target.Items(0)->Id, 3u);
    EXPECT_EQ(target.Items(1)->Id, 1u);
    EXPECT_EQ(target.Items(2)->Type, 2u);
    EXPECT_EQ(ItemBytes(target, 2), (Bytes{'1', 0}));
    EXPECT_EQ(target.IndexOf(99), -1);
    // The copy is independent of its source.
    EXPECT_NE(target.Items(0)->Data(), source.Items(0)->Data());

    target.Assign(target);
    ASSERT_EQ(target.Count(), 3);
    EXPECT_EQ(target.GetValue(0), TQpPropertyValue(std::string("three")));
}

TEST(QpPropertiesTest, InterfaceReferencesAreReleasedWhenTheirItemGoes)
{
    auto object = std::make_shared<int>(5);
    {
        TQpProperties bag;
        bag.SetInterface(1, object);
        bag.SetInterface(2, object);
        bag.SetInterface(3, object);
        EXPECT_EQ(object.use_count(), 4);
        EXPECT_EQ(bag.Interface(0), object);
        EXPECT_TRUE(std::holds_alternative<std::monostate>(bag.GetValue(0)));

        bag.SetInteger(1, 0); // replaced by a plain value
        EXPECT_EQ(object.use_count(), 3);
        EXPECT_EQ(bag.Interface(0), nullptr);
        bag.Delete(2);
        EXPECT_EQ(object.use_count(), 2);

        TQpProperties copy;
        copy.Assign(bag);
        EXPECT_EQ(object.use_count(), 3);
        copy.Clear();
        EXPECT_EQ(object.use_count(), 2);
    }
    EXPECT_EQ(object.use_count(), 1);
}

} // namespace
