#include "core/QpFileFormats.h"
#include "core/QpLocalizedText.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class TTestFormats : public TQpFileFormats
{
public:
    explicit TTestFormats(TQpFileFormatArray formats) : m_formats(std::move(formats)) {}
    int Count() const override { return static_cast<int>(m_formats.size()); }
    const TQpFileFormatInfo* Format(int index) const override
    {
        return index >= 0 && index < Count() ? &m_formats[static_cast<std::size_t>(index)] : nullptr;
    }

private:
    TQpFileFormatArray m_formats;
};

const TQpFileFormatInfo kJpeg{1, u"JPEG", u"*.jpg;*.jpeg", u".jpg"};
const TQpFileFormatInfo kPng{2, u"PNG", u"*.png", u".png"};

TEST(QpFileFormatsTest, OpenListAppendsAllSupportedAndAllFiles)
{
    const TTestFormats registry({kJpeg, kPng});
    TQpFileFormatArray formats;
    registry.GetOpenFormats(formats);
    const TQpFileFormatArray expected = {
        kJpeg,
        kPng,
        {0, u"All supported formats", u"*.jpg;*.jpeg;*.png", u""},
        {0, u"All files", u"*.*", u""},
    };
    EXPECT_EQ(formats, expected);

    const std::u16string filter = FormatFilterText(formats);
    EXPECT_EQ(filter, u"JPEG (*.jpg;*.jpeg)|*.jpg;*.jpeg|PNG (*.png)|*.png|"
                      u"All supported formats (*.jpg;*.jpeg;*.png)|*.jpg;*.jpeg;*.png|All files (*.*)|*.*");
    EXPECT_EQ(std::count(filter.begin(), filter.end(), u'|') + 1, 8);
    EXPECT_EQ(FormatFilterText({kPng}), u"PNG (*.png)|*.png");

    EXPECT_EQ(FormatNameFilters(formats)[0], u"JPEG (*.jpg *.jpeg)");
    EXPECT_EQ(FormatNameFilters(formats)[3], u"All files (*.*)");
    EXPECT_EQ(IndexOfFormatIdentifier(formats, 0), 2);
    EXPECT_EQ(IndexOfFormatIdentifier(formats, 2), 1);
    EXPECT_EQ(IndexOfFormatIdentifier(formats, 9), -1);
}

TEST(QpFileFormatsTest, ExtraEntriesTakeTheLocalizedNames)
{
    SetCoreLocalizeFunction([](int id, std::u16string_view fallback) -> std::u16string {
        return id == 146   ? u"Alle unterst\u00fctzten Formate"
               : id == 147 ? u"Alle Dateien"
                           : std::u16string(fallback);
    });
    TQpFileFormatArray formats;
    TTestFormats({kPng}).GetOpenFormats(formats);
    SetCoreLocalizeFunction({});
    ASSERT_EQ(formats.size(), 3u);
    EXPECT_EQ(formats[1].Name, u"Alle unterst\u00fctzten Formate");
    EXPECT_EQ(formats[2].Name, u"Alle Dateien");

    TTestFormats({}).GetOpenFormats(formats);
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].Name, u"All supported formats");
    EXPECT_EQ(formats[0].Masks, u"");
}

TEST(QpFileFormatsTest, SaveListIsEveryFormatInOrder)
{
    const TTestFormats registry({kJpeg, kPng});
    TQpFileFormatArray formats = {kPng};
    registry.GetSaveFormats(formats);
    EXPECT_EQ(formats, (TQpFileFormatArray{kJpeg, kPng}));
    EXPECT_EQ(registry.IndexOfFormat(2), 1);
    EXPECT_EQ(registry.IndexOfFormat(0), -1);
    EXPECT_EQ(registry.Format(2), nullptr);
}

} // namespace
