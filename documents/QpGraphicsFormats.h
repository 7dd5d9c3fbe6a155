#pragma once
// The image editor's format registry: JPEG, TIFF, PNG and BMP, plus the transfer block of the host
// plug-in (identifier -1, never offered in a dialog). Load and Save work on any document that is a
// TQpGraphicsImage; saving JPEG asks for the quality, except when a file is saved again as itself: a JPEG the
// lossless codec holds keeps its compression, any other takes the quality asked the first time.

#include "core/QpFileFormats.h"

#include <functional>

class TQpGraphicsFormats : public TQpDocumentFormats
{
public:
    // Asks for a JPEG quality, starting from the value given; false when the user cancels. `keepOwn` is
    // given (true at first) for a JPEG the codec holds: kept, the photo keeps its own compression.
    using TQualityQuestion = std::function<bool(int& quality, bool* keepOwn)>;

    TQpGraphicsFormats();

    int Count() const override { return 4; }
    const TQpFileFormatInfo* Format(int index) const override;
    bool GetFileInfo(const std::u16string& name, std::unique_ptr<TQpFileInfo>& info) const override;
    bool GetThumbnail(const std::u16string& name, int width, std::unique_ptr<TQpThumbnail>& thumbnail,
                      int height) const override;
    bool Load(TQpDocument& document, const std::u16string& name, std::int32_t& format) override;
    bool Save(TQpDocument& document, const std::u16string& name, std::int32_t format) override;
    std::string LastSaveFailure() const override { return m_saveFailure; }

    // The quality last chosen in the JPEG dialog, 80 at first.
    int JpegQuality() const { return m_jpegQuality; }
    void SetJpegQuality(int quality);
    // Replaces the JPEG dialog (scripts and tests); an empty question restores it.
    void SetQualityQuestion(TQualityQuestion question) { m_question = std::move(question); }

private:
    bool AskQuality(int& quality, bool* keepOwn) const;

    TQpFileFormatArray m_formats;
    std::int32_t m_jpegQuality = 80;
    bool m_qualityAsked = false;
    std::string m_saveFailure;
    TQualityQuestion m_question;
};
