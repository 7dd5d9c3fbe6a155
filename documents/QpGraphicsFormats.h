#pragma once
// The image editor's format registry: JPEG, TIFF, PNG and BMP, plus the transfer block of the host
// plug-in (identifier -1, never offered in a dialog). Load and Save work on any document that is a
// TQpGraphicsImage; saving JPEG asks for the quality unless the lossless codec holds the image.

#include "core/QpFileFormats.h"

#include <functional>

class TQpGraphicsFormats : public TQpDocumentFormats
{
public:
    // Asks for a JPEG quality, starting from the value given; false when the user cancels.
    using TQualityQuestion = std::function<bool(int& quality)>;

    TQpGraphicsFormats();

    int Count() const override { return 4; }
    const TQpFileFormatInfo* Format(int index) const override;
    bool GetFileInfo(const std::u16string& name, std::unique_ptr<TQpFileInfo>& info) const override;
    bool GetThumbnail(const std::u16string& name, int width, std::unique_ptr<TQpThumbnail>& thumbnail,
                      int height) const override;
    bool Load(TQpDocument& document, const std::u16string& name, std::int32_t& format) override;
    bool Save(TQpDocument& document, const std::u16string& name, std::int32_t format) override;

    // The quality last chosen in the JPEG dialog, 80 at first.
    int JpegQuality() const { return m_jpegQuality; }
    void SetJpegQuality(int quality);
    // Replaces the JPEG dialog (scripts and tests); an empty question restores it.
    void SetQualityQuestion(TQualityQuestion question) { m_question = std::move(question); }

private:
    bool AskQuality(int& quality) const;

    TQpFileFormatArray m_formats;
    std::int32_t m_jpegQuality = 80;
    TQualityQuestion m_question;
};
