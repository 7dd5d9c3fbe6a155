#include "core/QpFileFormats.h"

#include "core/QpLocalizedText.h"

#include <algorithm>

void TQpFileInfo::Description(std::u16string& text) const
{
    text.clear();
}

bool TQpFileFormats::GetFileInfo(const std::u16string&, std::unique_ptr<TQpFileInfo>&) const
{
    return false;
}

bool TQpFileFormats::GetThumbnail(const std::u16string&, int, std::unique_ptr<TQpThumbnail>&, int) const
{
    return false;
}

void TQpFileFormats::GetSaveFormats(TQpFileFormatArray& formats) const
{
    formats.clear();
    for (int index = 0; index < Count(); ++index) {
        if (const TQpFileFormatInfo* format = Format(index)) {
            formats.push_back(*format);
        }
    }
}

void TQpFileFormats::GetOpenFormats(TQpFileFormatArray& formats) const
{
    formats.clear();
    std::u16string joinedMasks;
    for (int index = 0; index < Count(); ++index) {
        const TQpFileFormatInfo* format = Format(index);
        if (!format) {
            continue;
        }
        if (!formats.empty()) {
            joinedMasks += u';';
        }
        formats.push_back(*format);
        joinedMasks += format->Masks;
    }
    formats.push_back(
        {0, CoreLocalizedString(kAllSupportedFormatsText, u"All supported formats"), joinedMasks, {}});
    formats.push_back({0, CoreLocalizedString(kAllFilesText, u"All files"), u"*.*", {}});
}

int TQpFileFormats::IndexOfFormat(std::int32_t identifier) const
{
    for (int index = 0; index < Count(); ++index) {
        const TQpFileFormatInfo* format = Format(index);
        if (format && format->Identifier == identifier) {
            return index;
        }
    }
    return -1;
}

std::u16string FormatFilterText(const TQpFileFormatArray& formats)
{
    std::u16string text;
    for (const TQpFileFormatInfo& format : formats) {
        if (!text.empty()) {
            text += u'|';
        }
        text += format.Name + u" (" + format.Masks + u")|" + format.Masks;
    }
    return text;
}

std::vector<std::u16string> FormatNameFilters(const TQpFileFormatArray& formats)
{
    std::vector<std::u16string> filters;
    for (const TQpFileFormatInfo& format : formats) {
        std::u16string masks = format.Masks;
        for (char16_t& c : masks) {
            if (c == u';') {
                c = u' ';
            }
        }
        filters.push_back(format.Name + u" (" + masks + u")");
    }
    return filters;
}

int IndexOfFormatExtension(const TQpFileFormatArray& formats, std::u16string_view extension)
{
    if (extension.empty())
        return -1;
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    for (std::size_t index = 0; index < formats.size(); ++index) {
        std::u16string_view masks = formats[index].Masks;
        while (!masks.empty()) {
            const std::size_t end = std::min(masks.find(u';'), masks.size());
            const std::u16string_view mask = masks.substr(0, end);
            masks.remove_prefix(std::min(end + 1, masks.size()));
            if (mask.size() != extension.size() + 2 || mask[0] != u'*' || mask[1] != u'.')
                continue;
            if (std::equal(extension.begin(), extension.end(), mask.begin() + 2,
                           [&](char16_t a, char16_t b) { return lower(a) == lower(b); }))
                return static_cast<int>(index);
        }
    }
    return -1;
}

int IndexOfFormatIdentifier(const TQpFileFormatArray& formats, std::int32_t identifier)
{
    for (std::size_t index = 0; index < formats.size(); ++index) {
        if (formats[index].Identifier == identifier) {
            return static_cast<int>(index);
        }
    }
    return -1;
}
