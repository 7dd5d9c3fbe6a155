#include "documents/QpGraphicsFormats.h"

#include "documents/QpDocument.h"
#include "documents/QpGraphicsFileInfo.h"
#include "documents/QpGraphicsThumbnail.h"
#include "documents/QpJPEGOptionsForm.h"
#include "framework/Localizer.h"
#include "framework/MessageBox.h"
#include "framework/QpApplication.h"
#include "framework/WaitCursor.h"
#include "model/QpGraphicsImage.h"
#include "platform/AtomicFile.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

std::string LocalPath(const std::u16string& name)
{
    return QFile::encodeName(QString::fromStdU16String(name)).toStdString();
}

} // namespace

TQpGraphicsFormats::TQpGraphicsFormats()
    : m_formats{{kJpegFormat, u"JPEG", u"*.jpg;*.jpeg", u".jpg"},
                {kTiffFormat, u"TIFF", u"*.tif;*.tiff", u".tif"},
                {kPngFormat, u"PNG", u"*.png", u".png"},
                {kBmpFormat, u"BMP", u"*.bmp;*.rle;*.dib", u".bmp"}}
{
}

const TQpFileFormatInfo* TQpGraphicsFormats::Format(int index) const
{
    return index >= 0 && index < Count() ? &m_formats[static_cast<std::size_t>(index)] : nullptr;
}

bool TQpGraphicsFormats::GetFileInfo(const std::u16string& name, std::unique_ptr<TQpFileInfo>& info) const
{
    if (!QFileInfo(QString::fromStdU16String(name)).isFile())
        return false;
    info = std::make_unique<TQpGraphicsFileInfo>(name);
    return true;
}

bool TQpGraphicsFormats::GetThumbnail(const std::u16string& name, int width,
                                      std::unique_ptr<TQpThumbnail>& thumbnail, int height) const
{
    auto made = std::make_unique<TQpGraphicsThumbnail>(name, width, height);
    if (!made->IsValid())
        return false;
    thumbnail = std::move(made);
    return true;
}

bool TQpGraphicsFormats::Load(TQpDocument& document, const std::u16string& name, std::int32_t& format)
{
    auto* image = dynamic_cast<TQpGraphicsImage*>(&document);
    if (!image)
        return false;
    TWaitCursor wait;
    return image->LoadImageFile(LocalPath(name), format);
}

void TQpGraphicsFormats::SetJpegQuality(int quality)
{
    m_jpegQuality = std::clamp(quality, 0, 100);
}

bool TQpGraphicsFormats::AskQuality(int& quality, bool* keepOwn) const
{
    if (m_question)
        return m_question(quality, keepOwn);
    TQpJPEGOptionsForm form(QApplication::activeWindow());
    form.SetQuality(quality);
    if (keepOwn)
        form.OfferKeepOwn(*keepOwn);
    if (form.exec() != QDialog::Accepted)
        return false;
    quality = form.Quality();
    if (keepOwn)
        *keepOwn = form.KeepOwn();
    return true;
}

bool TQpGraphicsFormats::Save(TQpDocument& document, const std::u16string& name, std::int32_t format)
{
    auto* image = dynamic_cast<TQpGraphicsImage*>(&document);
    if (!image)
        return false;
    m_saveFailure.clear();
    int quality = m_jpegQuality;
    bool reencode = false;
    const bool again = QString::fromStdU16String(name) == document.FileName() && document.Format() == format;
    if (format == kJpegFormat && image->JpegCodec()) {
        // Saved as itself a JPEG the codec holds keeps its compression; under a new name the user may pick.
        if (!again) {
            bool keepOwn = true;
            if (!AskQuality(quality, &keepOwn))
                return false;
            reencode = !keepOwn;
            if (reencode)
                SetJpegQuality(quality);
        }
    } else if (format == kJpegFormat && (!again || !m_qualityAsked)) {
        if (!AskQuality(quality, nullptr))
            return false;
        SetJpegQuality(quality);
        m_qualityAsked = true;
    }
    // A file its owner protected is replaced only when the user says so, as editors do.
    const std::string path = LocalPath(name);
    const bool replaceReadOnly = platform::IsReadOnlyFile(path);
    if (replaceReadOnly &&
        QpApplication->ShowMessageBox(
            LocalizedString(4016,
                            QStringLiteral("The file \"%s\" is read-only. Do you want to replace it anyway?"))
                .replace(QStringLiteral("%s"), QString::fromStdU16String(name)),
            framework::kMbYesNo | framework::kMbIconExclamation) != framework::kIdYes)
        return false;
    document.BeforeSave();
    TWaitCursor wait;
    const bool saved = image->SaveImageFile(path, format, m_jpegQuality, reencode, replaceReadOnly);
    document.AfterSave();
    if (!saved)
        m_saveFailure = image->SaveFailure();
    return saved;
}
