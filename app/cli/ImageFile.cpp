#include "app/cli/ImageFile.h"

#include "platform/AtomicFile.h"
#include "platform/ImageCodec.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <cstring>
#include <iostream>

namespace cli {

namespace {

QString ToQString(const std::string& text)
{
    return QString::fromStdString(text);
}

// Decodes a mask with the reader's limits set on purpose: Qt's default allocation limit (128 MB) would
// refuse masks of ordinary camera photos, and orientation is applied as viewers show it.
bool ReadMaskImage(const std::string& path, QImage& image, std::string& error)
{
    QImageReader::setAllocationLimit(kImageAllocationLimitMB);
    QImageReader reader(ToQString(path));
    reader.setAutoTransform(true);
    if (!QFileInfo::exists(ToQString(path))) {
        error = "cannot read \"" + path + "\": no such file";
        return false;
    }
    const QSize declared = reader.size();
    if (declared.isValid() && (declared.width() > kMaxImageSide || declared.height() > kMaxImageSide)) {
        error = "cannot read \"" + path + "\": " + std::to_string(declared.width()) + " x " +
                std::to_string(declared.height()) + " pixels is larger than " +
                std::to_string(kMaxImageSide) + " per side";
        return false;
    }
    if (!reader.read(&image)) {
        error = "cannot read \"" + path + "\": " + reader.errorString().toStdString();
        return false;
    }
    if (image.width() < 1 || image.height() < 1 || image.width() > kMaxImageSide ||
        image.height() > kMaxImageSide) {
        error = "cannot read \"" + path + "\": unsupported size " + std::to_string(image.width()) + " x " +
                std::to_string(image.height());
        return false;
    }
    return true;
}

// The writer's format name for the file's extension, empty when none fits.
QByteArray FormatForPath(const std::string& path, bool allowJpeg)
{
    const QString suffix = QFileInfo(ToQString(path)).suffix().toLower();
    if (suffix == "png" || suffix == "bmp")
        return suffix.toLatin1();
    if (suffix == "tif" || suffix == "tiff")
        return "tiff";
    if (allowJpeg && (suffix == "jpg" || suffix == "jpeg"))
        return "jpeg";
    return {};
}

// The platform encoder's type for a photo file's extension, null when none fits.
const char* MimeTypeForPath(const std::string& path)
{
    const QByteArray format = FormatForPath(path, true);
    if (format == "png")
        return "image/png";
    if (format == "bmp")
        return "image/bmp";
    if (format == "tiff")
        return "image/tiff";
    if (format == "jpeg")
        return "image/jpeg";
    return nullptr;
}

} // namespace

bool WriteEncodedImage(const std::string& path, const QImage& image, const QByteArray& format,
                       std::string& error)
{
    // Encoded in memory first, then written with every write checked: a full disk never leaves a cut
    // file in place of the old one.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image)) {
        error = "cannot write \"" + path + "\": " + writer.errorString().toStdString();
        return false;
    }
    platform::TAtomicFile file;
    if (!file.Begin(path)) {
        error = "cannot write \"" + path + "\": " + file.Failure();
        return false;
    }
    if (!platform::WriteWholeFile(file.TempPath(), bytes.constData(),
                                  static_cast<std::size_t>(bytes.size()))) {
        error = "cannot write \"" + path + "\": " + file.WriteFailure("the write failed");
        return false;
    }
    if (!file.Commit()) {
        error = "cannot write \"" + path + "\": " + file.Failure();
        return false;
    }
    return true;
}

namespace {

// Writes a mask through a temporary file, so an existing file survives a failed write.
bool WriteMaskImage(const std::string& path, const QImage& image, const QByteArray& format,
                    std::string& error)
{
    return WriteEncodedImage(path, image, format, error);
    return true;
}

} // namespace

bool LoadImageFile(const std::string& path, TQpGraphicsImage& image, std::string& error)
{
    const auto fail = [&](const std::string& why) {
        error = "cannot read \"" + path + "\": " + why;
        return false;
    };
    std::int32_t format = 0;
    if (!image.LoadImageFile(path, format)) {
        using TLoadProblem = TQpGraphicsImage::TLoadProblem;
        switch (image.LoadProblem()) {
        case TLoadProblem::Missing:
            return fail("the file does not exist");
        case TLoadProblem::Folder:
            return fail("it is a folder");
        case TLoadProblem::Unreadable:
            return fail(image.LoadProblemDetail().empty() ? "it cannot be read" : image.LoadProblemDetail());
        case TLoadProblem::TooLarge:
            return fail(image.LoadProblemDetail());
        case TLoadProblem::Damaged:
            return fail("the image is damaged");
        default:
            return fail("not an image this program reads");
        }
    }
    if (image.LoadProblem() == TQpGraphicsImage::TLoadProblem::Damaged)
        std::cerr << "warning: \"" << path << "\" is damaged: only part of the picture could be read"
                  << (image.LoadProblemDetail().empty() ? "" : " (" + image.LoadProblemDetail() + ")")
                  << '\n';
    return true;
}

bool LoadImageFile(const std::string& path, TQpPixelBuffer& out, std::string& error)
{
    TQpGraphicsImage image;
    if (!LoadImageFile(path, image, error))
        return false;
    TQpPixelBuffer buffer;
    if (!image.CurrentImage().CopyTo(buffer)) {
        error = "cannot read \"" + path + "\": out of memory";
        return false;
    }
    out = std::move(buffer);
    return true;
}

bool SaveImageFile(const std::string& path, const TQpPixels& pixels, std::string& error, int jpegQuality)
{
    const char* mimeType = MimeTypeForPath(path);
    if (!mimeType) {
        error = "cannot write \"" + path + "\": use a .png, .bmp, .jpg or .tif file name";
        return false;
    }
    if (pixels.Format != pfBGR24 || !pixels.Data || pixels.Width < 1 || pixels.Height < 1) {
        error = "cannot write \"" + path + "\": no 24-bit image to write";
        return false;
    }
    // The temporary file is removed unless committed, so a failed write leaves an old file as it was.
    platform::TAtomicFile file;
    if (!file.Begin(path)) {
        error = "cannot write \"" + path + "\": " + file.Failure();
        return false;
    }
    if (!platform::TImageCodec::Encode(pixels, file.TempPath(), mimeType, jpegQuality)) {
        error = "cannot write \"" + path + "\": " + file.WriteFailure("the encoder failed");
        return false;
    }
    if (!file.Commit()) {
        error = "cannot write \"" + path + "\": " + file.Failure();
        return false;
    }
    return true;
}

bool LoadMaskFile(const std::string& path, TQpPixelMask& out, std::string& error)
{
    QImage image;
    if (!ReadMaskImage(path, image, error))
        return false;
    image = image.convertToFormat(QImage::Format_Grayscale8);
    TQpPixelMask mask;
    if (image.isNull() || !mask.SetBounds(0, 0, image.width(), image.height())) {
        error = "cannot read \"" + path + "\": out of memory";
        return false;
    }
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(mask.ValuePtr(0, y), image.constScanLine(y), std::size_t(image.width()));
    out = std::move(mask);
    return true;
}

bool SaveMaskFile(const std::string& path, const TQpPixelMask& mask, std::string& error)
{
    const QByteArray format = FormatForPath(path, false);
    if (format.isEmpty()) {
        error = "cannot write \"" + path + "\": use a .png, .bmp or .tif file name for a mask";
        return false;
    }
    if (!mask.Values || mask.Width < 1 || mask.Height < 1) {
        error = "cannot write \"" + path + "\": the mask is empty";
        return false;
    }
    QImage image(mask.Width, mask.Height, QImage::Format_Grayscale8);
    if (image.isNull()) {
        error = "cannot write \"" + path + "\": out of memory";
        return false;
    }
    for (int y = 0; y < mask.Height; ++y)
        std::memcpy(image.scanLine(y), mask.Values + std::size_t(y) * std::size_t(mask.Width),
                    std::size_t(mask.Width));
    return WriteMaskImage(path, image, format, error);
}

} // namespace cli
