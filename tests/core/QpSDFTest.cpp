#include "core/QpSDF.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const TQpGuid kMainWindowGuid = *TQpGuid::Parse("{7AF6D7FF-618B-41D9-882E-419D500DF28B}");
const TQpGuid kToolPanelGuid = *TQpGuid::Parse("{9FC124C8-2014-4832-8878-3489538D623F}");

// The writer's output, byte by byte.
template <typename Write> Bytes Written(Write write)
{
    std::ostringstream stream;
    TQpSDFWriter writer(stream);
    write(writer);
    const std::string text = stream.str();
    return Bytes(text.begin(), text.end());
}

std::string AsString(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The GUID of the main window's section as it lies in the file.
const Bytes kMainWindowGuidBytes = {0xFF, 0xD7, 0xF6, 0x7A, 0x8B, 0x61, 0xD9, 0x41,
                                    0x88, 0x2E, 0x41, 0x9D, 0x50, 0x0D, 0xF2, 0x8B};

// Modules declare their section GUIDs as constants.
static_assert(TQpGuid::Parse("{7AF6D7FF-618B-41D9-882E-419D500DF28B}")->Data1 == 0x7AF6D7FF);

TEST(QpGuidTest, ParsesBracedTextAndRejectsMalformedText)
{
    const auto guid = TQpGuid::Parse("{09dbb784-BB3E-49EE-A9FC-F31F762510F3}");
    ASSERT_TRUE(guid.has_value());
    EXPECT_EQ(guid->Data1, 0x09DBB784u);
    EXPECT_EQ(guid->Data2, 0xBB3Eu);
    EXPECT_EQ(guid->Data3, 0x49EEu);
    EXPECT_EQ(guid->Data4[0], 0xA9);
    EXPECT_EQ(guid->Data4[7], 0xF3);
    EXPECT_EQ(TQpGuid::Parse("09DBB784-BB3E-49EE-A9FC-F31F762510F3"), guid);
    const auto bytes = guid->ToBytes();
    EXPECT_EQ(TQpGuid::FromBytes(bytes.data()), *guid);

    EXPECT_FALSE(TQpGuid::Parse("{09DBB784-BB3E-49EE-A9FC-F31F762510F}").has_value());
    EXPECT_FALSE(TQpGuid::Parse("{09DBB784BBB3E-49EE-A9FC-F31F762510F3}").has_value());
    EXPECT_FALSE(TQpGuid::Parse("{09DBB784-BB3E-49EE-A9FC-F31F762510G3}").has_value());
}

TEST(QpSDFWriterTest, ItemsHaveTheirExactByteLayout)
{
    EXPECT_EQ(Written([](TQpSDFWriter& w) { w.WriteInteger(2, 300); }),
              (Bytes{0x55, 0x02, 0x05, 0x04, 0x2C, 0x01, 0x00, 0x00}));
    EXPECT_EQ(Written([](TQpSDFWriter& w) { w.WriteInteger(1, -2); }),
              (Bytes{0x55, 0x01, 0x05, 0x04, 0xFE, 0xFF, 0xFF, 0xFF}));
    // Sizes never shrink: small integers still take four bytes, Booleans one.
    EXPECT_EQ(Written([](TQpSDFWriter& w) { w.WriteInteger(1, 0); }),
              (Bytes{0x55, 0x01, 0x05, 0x04, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Written([](TQpSDFWriter& w) {
                  w.WriteBoolean(1, true);
                  w.WriteBoolean(2, false);
              }),
              (Bytes{0x55, 0x01, 0x01, 0x01, 0x01, 0x55, 0x02, 0x01, 0x01, 0x00}));
    EXPECT_EQ(Written([](TQpSDFWriter& w) { w.WriteWideString(4, u"A\u00e9"); }),
              (Bytes{0x55, 0x04, 0x0C, 0x04, 0x41, 0x00, 0xE9, 0x00}));
    EXPECT_EQ(Written([](TQpSDFWriter& w) { w.WriteWideString(4, u""); }), (Bytes{0x54, 0x04, 0x0C}));
    const std::uint8_t block[3] = {1, 2, 3};
    EXPECT_EQ(Written([&](TQpSDFWriter& w) { w.WriteData(5, block, 3); }),
              (Bytes{0x55, 0x05, 0x0E, 0x03, 0x01, 0x02, 0x03}));
    EXPECT_EQ(Written([](TQpSDFWriter& w) { w.WriteEndNode(); }), (Bytes{0x00}));
}

TEST(QpSDFWriterTest, NodesCarryGuidInPlatformLayoutOrAnInteger)
{
    EXPECT_EQ(Written([](TQpSDFWriter& w) { w.WriteBeginNode(1, kMainWindowGuid); }),
              Concat({{0xD5, 0x01, 0x0D, 0x10}, kMainWindowGuidBytes}));
    EXPECT_EQ(Written([](TQpSDFWriter& w) { w.WriteBeginNode(3, 2); }),
              (Bytes{0xD5, 0x03, 0x05, 0x04, 0x02, 0x00, 0x00, 0x00}));
}

TEST(QpSDFWriterTest, FieldWidthsFollowTheValueRanges)
{
    EXPECT_EQ(Written([](TQpSDFWriter& w) { w.WriteItem(0, 1, 0, 0); }), (Bytes{0x40}));
    EXPECT_EQ(Written([](TQpSDFWriter& w) { w.WriteItem(255, 1, 256, 65535); }),
              (Bytes{0x5A, 0xFF, 0x00, 0x01, 0xFF, 0xFF}));
    EXPECT_EQ(Written([](TQpSDFWriter& w) { w.WriteItem(300, 1, 5, 4); }),
              (Bytes{0x65, 0x2C, 0x01, 0x05, 0x04}));
    EXPECT_EQ(Written([](TQpSDFWriter& w) { w.WriteItem(0x12345, 2, 65536, 0xFFFFFFFF); }),
              (Bytes{0xBF, 0x45, 0x23, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(QpSDFWriterTest, WithoutStreamOrOversizedBlockNothingIsWritten)
{
    TQpSDFWriter none;
    EXPECT_FALSE(none.WriteInteger(1, 1));
    EXPECT_FALSE(none.WriteEndNode());
    EXPECT_FALSE(none.WriteWideString(1, u"x"));

    std::uint8_t byte = 7;
    EXPECT_TRUE(
        Written([&](TQpSDFWriter& w) { EXPECT_FALSE(w.WriteData(1, &byte, std::size_t{1} << 32)); }).empty());
}

// A settings file as modules write it: a main window section with a value and a list, then a tool
// panel section.
Bytes SampleSettings()
{
    return Written([](TQpSDFWriter& w) {
        w.WriteBeginNode(1, kMainWindowGuid);
        w.WriteInteger(1, -7);
        w.WriteWideString(2, u"Deutsch");
        w.WriteBoolean(3, true);
        w.WriteBeginNode(4, 2);
        w.WriteWideString(1, u"a.jpg");
        w.WriteWideString(2, u"b.png");
        w.WriteEndNode();
        w.WriteEndNode();
        w.WriteBeginNode(1, kToolPanelGuid);
        w.WriteInteger(300, 42);
        w.WriteEndNode();
    });
}

TEST(QpSDFReaderTest, ModulesFindTheirSectionsByGuidInAnyOrder)
{
    std::istringstream stream(AsString(SampleSettings()));
    TQpSDFReader reader(stream);

    ASSERT_TRUE(reader.EnterNode(1, kToolPanelGuid));
    std::int32_t value = 0;
    EXPECT_TRUE(reader.ReadInteger(300, value));
    EXPECT_EQ(value, 42);
    reader.LeaveNode();

    ASSERT_TRUE(reader.EnterNode(1, kMainWindowGuid));
    std::u16string text;
    EXPECT_TRUE(reader.ReadWideString(2, text));
    EXPECT_EQ(text, u"Deutsch");
    EXPECT_TRUE(reader.ReadInteger(1, value));
    EXPECT_EQ(value, -7);
    // Reads seek, so a value may be read again after others.
    text.clear();
    EXPECT_TRUE(reader.ReadWideString(2, text));
    EXPECT_EQ(text, u"Deutsch");
    bool flag = false;
    EXPECT_TRUE(reader.ReadBoolean(3, flag));
    EXPECT_TRUE(flag);

    // A list: the node's own payload is the count, read through identifier 0.
    ASSERT_TRUE(reader.EnterNode(4));
    std::int32_t count = 0;
    EXPECT_TRUE(reader.ReadInteger(0, count));
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(reader.ReadWideString(2, text));
    EXPECT_EQ(text, u"b.png");
    reader.LeaveNode();
    reader.LeaveNode();
    EXPECT_EQ(reader.CurrentNode(), nullptr);
    reader.LeaveNode();
    EXPECT_EQ(reader.CurrentNode(), nullptr);

    const auto missing = *TQpGuid::Parse("{C0F4C248-34D7-4014-8116-24BEE9AB5C30}");
    EXPECT_FALSE(reader.EnterNode(1, missing));
    EXPECT_EQ(reader.CurrentNode(), nullptr);
}

TEST(QpSDFReaderTest, GuidSearchSkipsOtherGuidsAndPayloadTypesAndTakesTheFirstMatch)
{
    const Bytes bytes = Written([](TQpSDFWriter& w) {
        w.WriteBeginNode(1, 16); // same identifier, but an integer payload
        w.WriteEndNode();
        w.WriteBeginNode(1, kToolPanelGuid);
        w.WriteEndNode();
        w.WriteBeginNode(2, kMainWindowGuid); // right GUID, other identifier
        w.WriteEndNode();
        w.WriteBeginNode(1, kMainWindowGuid);
        w.WriteInteger(1, 10);
        w.WriteEndNode();
        w.WriteBeginNode(1, kMainWindowGuid); // a second section with the same GUID is never read
        w.WriteInteger(1, 20);
        w.WriteEndNode();
    });
    std::istringstream stream(AsString(bytes));
    TQpSDFReader reader(stream);
    ASSERT_TRUE(reader.EnterNode(1, kMainWindowGuid));
    std::int32_t value = 0;
    EXPECT_TRUE(reader.ReadInteger(1, value));
    EXPECT_EQ(value, 10);
}

TEST(QpSDFReaderTest, ValuesAndNodesWithOneIdentifierAreKeptApart)
{
    const Bytes bytes = Written([](TQpSDFWriter& w) {
        w.WriteBeginNode(5, 1);
        w.WriteEndNode();
        w.WriteInteger(5, 99);
        w.WriteInteger(5, 100); // only the first value with an identifier is found
    });
    std::istringstream stream(AsString(bytes));
    TQpSDFReader reader(stream);
    std::int32_t value = 0;
    EXPECT_TRUE(reader.ReadInteger(5, value));
    EXPECT_EQ(value, 99);
    EXPECT_EQ(reader.FindValue(0), nullptr); // top level has no payload of its own
    ASSERT_TRUE(reader.EnterNode(5));
    EXPECT_TRUE(reader.ReadInteger(0, value));
    EXPECT_EQ(value, 1);
    EXPECT_FALSE(reader.ReadInteger(5, value));
}

TEST(QpSDFReaderTest, IntegerReadsExtendEachSmallTypeAndRejectOtherSizes)
{
    const Bytes bytes = {
        0x55, 0x01, 0x01, 0x01, 0xFF,                   // 1: type 1, -1
        0x55, 0x02, 0x02, 0x01, 0xFF,                   // 2: type 2, 255
        0x55, 0x03, 0x03, 0x02, 0xFE, 0xFF,             // 3: type 3, -2
        0x55, 0x04, 0x04, 0x02, 0xFE, 0xFF,             // 4: type 4, 65534
        0x55, 0x05, 0x05, 0x02, 0x01, 0x00,             // 5: type 5 with two bytes
        0x55, 0x06, 0x01, 0x02, 0x01, 0x00,             // 6: type 1 with two bytes
        0x55, 0x07, 0x0C, 0x02, 0x31, 0x00,             // 7: a wide string
        0x55, 0x08, 0x05, 0x04, 0x02, 0x00, 0x00, 0x00, // 8: 2 as Boolean
    };
    std::istringstream stream(AsString(bytes));
    TQpSDFReader reader(stream);
    std::int32_t value = 0;
    ASSERT_TRUE(reader.ReadInteger(1, value));
    EXPECT_EQ(value, -1);
    ASSERT_TRUE(reader.ReadInteger(2, value));
    EXPECT_EQ(value, 255);
    ASSERT_TRUE(reader.ReadInteger(3, value));
    EXPECT_EQ(value, -2);
    ASSERT_TRUE(reader.ReadInteger(4, value));
    EXPECT_EQ(value, 65534);

    value = 1234;
    EXPECT_FALSE(reader.ReadInteger(5, value));
    EXPECT_FALSE(reader.ReadInteger(6, value));
    EXPECT_FALSE(reader.ReadInteger(7, value));
    EXPECT_FALSE(reader.ReadInteger(9, value));
    EXPECT_EQ(value, 1234);

    bool flag = false;
    EXPECT_TRUE(reader.ReadBoolean(8, flag));
    EXPECT_TRUE(flag);
    EXPECT_FALSE(reader.ReadBoolean(7, flag));
    EXPECT_TRUE(flag);

    std::u16string text = u"keep";
    EXPECT_FALSE(reader.ReadWideString(1, text));
    EXPECT_EQ(text, u"keep");
    EXPECT_TRUE(reader.ReadWideString(7, text));
    EXPECT_EQ(text, u"1");
}

TEST(QpSDFReaderTest, BlockReadsCheckTheSizeButNotTheType)
{
    const Bytes bytes = Written([](TQpSDFWriter& w) {
        const std::uint8_t record[4] = {9, 8, 7, 6};
        w.WriteData(1, record, 4);
        w.WriteInteger(2, 0x01020304);
        w.WriteData(3, nullptr, 0);
    });
    std::istringstream stream(AsString(bytes));
    TQpSDFReader reader(stream);

    std::uint8_t buffer[5] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_FALSE(reader.ReadData(1, buffer, 5));
    EXPECT_FALSE(reader.ReadData(1, buffer, 3));
    EXPECT_EQ(Bytes(buffer, buffer + 5), (Bytes{0xAA, 0xAA, 0xAA, 0xAA, 0xAA}));
    EXPECT_TRUE(reader.ReadData(1, buffer, 4));
    EXPECT_EQ(Bytes(buffer, buffer + 5), (Bytes{9, 8, 7, 6, 0xAA}));
    EXPECT_TRUE(reader.ReadData(2, buffer, 4));
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{4, 3, 2, 1}));
    EXPECT_TRUE(reader.ReadData(3, buffer, 0));
}

TEST(QpSDFReaderTest, LargeIdentifiersAndEmptyStringsRoundTrip)
{
    const Bytes bytes = Written([](TQpSDFWriter& w) {
        w.WriteInteger(300, 5);
        w.WriteWideString(0x10000, u"");
    });
    EXPECT_EQ(bytes[0], 0x65);
    std::istringstream stream(AsString(bytes));
    TQpSDFReader reader(stream);
    std::int32_t value = 0;
    EXPECT_TRUE(reader.ReadInteger(300, value));
    EXPECT_EQ(value, 5);
    std::u16string text = u"old";
    EXPECT_TRUE(reader.ReadWideString(0x10000, text));
    EXPECT_EQ(text, u"");
}

TEST(QpSDFReaderTest, EmptyOrMissingStreamGivesEmptyIndex)
{
    std::istringstream empty;
    TQpSDFReader reader(empty);
    EXPECT_FALSE(reader.EnterNode(1, kMainWindowGuid));
    EXPECT_FALSE(reader.EnterNode(1));
    EXPECT_EQ(reader.FindValue(1), nullptr);
    EXPECT_EQ(reader.FindValue(0), nullptr);

    TQpSDFReader none;
    std::int32_t value = 3;
    EXPECT_FALSE(none.ReadInteger(0, value));
    EXPECT_EQ(value, 3);
}

TEST(QpSDFReaderTest, ParseStartsAtTheStreamsPositionAndCanOwnIt)
{
    const Bytes body = Written([](TQpSDFWriter& w) { w.WriteInteger(1, 77); });
    auto stream = std::make_unique<std::istringstream>(AsString(Concat({{0x00, 0x00, 0x00}, body})));
    stream->seekg(3);
    TQpSDFReader reader(std::move(stream));
    std::int32_t value = 0;
    EXPECT_TRUE(reader.ReadInteger(1, value));
    EXPECT_EQ(value, 77);
}

// Damaged streams: everything before the damage stays readable.
TEST(QpSDFReaderTest, FileCutInsideASectionKeepsEverythingBeforeTheCut)
{
    const Bytes whole = SampleSettings();
    // Cut inside the second list entry's payload: the first entry, the main window's values and
    // nothing of the tool panel remain.
    const Bytes entry = Written([](TQpSDFWriter& w) { w.WriteWideString(2, u"b.png"); });
    const auto at = std::search(whole.begin(), whole.end(), entry.begin(), entry.end());
    ASSERT_NE(at, whole.end());
    for (std::size_t cut = 0; cut < entry.size(); ++cut) {
        const Bytes damaged(whole.begin(), at + static_cast<std::ptrdiff_t>(cut));
        std::istringstream stream(AsString(damaged));
        TQpSDFReader reader(stream);
        EXPECT_EQ(reader.CurrentNode(), nullptr) << cut;
        EXPECT_FALSE(reader.EnterNode(1, kToolPanelGuid)) << cut;
        ASSERT_TRUE(reader.EnterNode(1, kMainWindowGuid)) << cut;
        std::int32_t value = 0;
        EXPECT_TRUE(reader.ReadInteger(1, value)) << cut;
        EXPECT_EQ(value, -7);
        ASSERT_TRUE(reader.EnterNode(4)) << cut;
        std::u16string text;
        EXPECT_TRUE(reader.ReadWideString(1, text)) << cut;
        EXPECT_EQ(text, u"a.jpg");
        EXPECT_FALSE(reader.ReadWideString(2, text)) << cut;
    }
}

TEST(QpSDFReaderTest, SizesPastTheEndStopTheParseWithoutWrapping)
{
    const Bytes good = {0x55, 0x01, 0x05, 0x04, 0x07, 0x00, 0x00, 0x00};
    // A four-byte size of 2^32 - 1 followed by a few bytes, then a value that must not be reached.
    const Bytes bytes = Concat({good, {0x57, 0x02, 0x0E, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02}, good});
    std::istringstream stream(AsString(bytes));
    TQpSDFReader reader(stream);
    ASSERT_EQ(reader.RootItems().Values.size(), 1u);
    std::int32_t value = 0;
    EXPECT_TRUE(reader.ReadInteger(1, value));
    EXPECT_EQ(value, 7);
    EXPECT_EQ(reader.FindValue(2), nullptr);

    // The same for a node's payload.
    std::istringstream nodeStream(AsString(Concat({good, {0xD7, 0x02, 0x0D, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}})));
    TQpSDFReader nodeReader(nodeStream);
    EXPECT_TRUE(nodeReader.RootItems().Nodes.empty());
    EXPECT_EQ(nodeReader.RootItems().Values.size(), 1u);
}

TEST(QpSDFReaderTest, TruncatedFieldsAndStrayEndsStopTheParse)
{
    const Bytes good = {0x55, 0x01, 0x05, 0x04, 0x07, 0x00, 0x00, 0x00};
    for (const Bytes& tail : {Bytes{0x7F}, Bytes{0x7F, 0x01, 0x02, 0x03, 0x04, 0x05}, Bytes{0x55, 0x02},
                              Bytes{0x00, 0x55, 0x02, 0x05, 0x04, 0x01, 0x00, 0x00, 0x00}}) {
        std::istringstream stream(AsString(Concat({good, tail})));
        TQpSDFReader reader(stream);
        EXPECT_EQ(reader.RootItems().Values.size(), 1u);
        EXPECT_EQ(reader.FindValue(2), nullptr);
    }
}

TEST(QpSDFReaderTest, UnclosedNodesKeepTheirItemsAndSearchStartsAtTopLevel)
{
    const Bytes bytes = Written([](TQpSDFWriter& w) {
        w.WriteBeginNode(1, kMainWindowGuid);
        w.WriteBeginNode(2, 0);
        w.WriteInteger(1, 5);
    });
    std::istringstream stream(AsString(bytes));
    TQpSDFReader reader(stream);
    ASSERT_TRUE(reader.EnterNode(1, kMainWindowGuid));
    ASSERT_TRUE(reader.EnterNode(2));
    std::int32_t value = 0;
    EXPECT_TRUE(reader.ReadInteger(1, value));
    EXPECT_EQ(value, 5);
}

TEST(QpSDFReaderTest, NestingBeyondTheLimitIsTreatedAsDamage)
{
    // Each 0xC0 opens a node with no fields; a megabyte of them must neither overflow the stack
    // nor hide the nodes parsed before the limit.
    const std::string deep(1 << 20, static_cast<char>(0xC0));
    std::istringstream stream(deep);
    TQpSDFReader reader(stream);
    for (int depth = 0; depth < TQpSDFReader::kMaxDepth; ++depth) {
        ASSERT_TRUE(reader.EnterNode(0)) << depth;
    }
    EXPECT_FALSE(reader.EnterNode(0));
}

} // namespace
