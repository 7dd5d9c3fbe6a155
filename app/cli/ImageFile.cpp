#include "app/cli/ImageFile.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <cstring>

namespace cli {

namespace {

QString ToQString(const std::string& text)
{
    return QString::fromStdString(text);
}

// Decodes the file with the reader's limits set on purpose: Qt's default allocation limit (128 MB) would
// refuse ordinary camera photos, and orientation is applied as viewers show it.
bool ReadImage(const std::string& path, QImage& image, std::string& error)
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

bool WriteImage(const std::string& path, const QImage& image, const QByteArray& format, int quality,
                std::string& error)
{
    QSaveFile file(ToQString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        error = "cannot write \"" + path + "\": " + file.errorString().toStdString();
        return false;
    }
    QImageWriter writer(&file, format);
    if (format == "jpeg")
        writer.setQuality(quality);
    if (!writer.write(image)) {
        error = "cannot write \"" + path + "\": " + writer.errorString().toStdString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = "cannot write \"" + path + "\": " + file.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace

bool LoadImageFile(const std::string& path, TQpPixelBuffer& out, std::string& error)
{
    QImage image;
    if (!ReadImage(path, image, error))
        return false;
    // Converting a non-premultiplied format drops alpha and keeps the stored colour.
    if (image.format() == QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32);
    image = image.convertToFormat(QImage::Format_BGR888);
    if (image.isNull()) {
        error = "cannot read \"" + path + "\": out of memory while converting";
        return false;
    }
    TQpPixelBuffer buffer;
    if (!buffer.SetFormatAndBounds(pfBGR24, {0, 0, image.width(), image.height()})) {
        error = "cannot read \"" + path + "\": out of memory";
        return false;
    }
    const std::size_t rowBytes = std::size_t(image.width()) * 3;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(buffer.PixelPtr(0, y), image.constScanLine(y), rowBytes);
    out = std::move(buffer);
    return true;
}

bool SaveImageFile(const std::string& path, const TQpPixels& pixels, std::string& error, int jpegQuality)
{
    const QByteArray format = FormatForPath(path, true);
    if (format.isEmpty()) {
        error = "cannot write \"" + path + "\": use a .png, .bmp, .jpg or .tif file name";
        return false;
    }
    if (pixels.Format != pfBGR24 || !pixels.Data || pixels.Width < 1 || pixels.Height < 1) {
        error = "cannot write \"" + path + "\": no 24-bit image to write";
        return false;
    }
    // Wraps the pixels without copying them.
    const QImage image(pixels.Data, pixels.Width, pixels.Height, pixels.Stride, QImage::Format_BGR888);
    return WriteImage(path, image, format, jpegQuality, error);
}

bool LoadMaskFile(const std::string& path, TQpPixelMask& out, std::string& error)
{
    QImage image;
    if (!ReadImage(path, image, error))
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
    return WriteImage(path, image, format, 100, error);
}

} // namespace cli
