#include "documents/QpGraphicsFileInfo.h"

#include "framework/Localizer.h"
#include "platform/ImageCodec.h"
#include "platform/ImageMetadata.h"

#include <QFile>
#include <QString>

using platform::TImageMetadata;
using platform::TRawFormat;

TQpGraphicsFileInfo::TQpGraphicsFileInfo(std::u16string fileName) : TQpFileInfo(std::move(fileName))
{
    const std::string path = QFile::encodeName(QString::fromStdU16String(FileName())).toStdString();
    platform::TImageInfo info;
    if (!platform::TImageCodec::ReadInfo(path, info))
        return;
    QString text;
    const char* format = nullptr;
    switch (info.Format) {
    case TRawFormat::Bmp:
        format = "BMP";
        break;
    case TRawFormat::Jpeg:
        format = "JPEG";
        break;
    case TRawFormat::Png:
        format = "PNG";
        break;
    case TRawFormat::Tiff:
        format = "TIFF";
        break;
    default:
        break;
    }
    if (format)
        text = LocalizedString(215, QStringLiteral("Format")) + QStringLiteral(": ") +
               QString::fromLatin1(format);
    text += QStringLiteral("\n") + LocalizedString(504, QStringLiteral("Dimensions")) + QStringLiteral(": ") +
            QStringLiteral("%1 x %2").arg(info.Width).arg(info.Height);
    TQpCustomProperties items;
    TImageMetadata::ReadFile(path, items);
    if (items.IndexOf(platform::kTagDateTime) >= 0)
        text += QStringLiteral("\n") + LocalizedString(519, QStringLiteral("Date taken")) +
                QStringLiteral(": ") +
                QString::fromLatin1(TImageMetadata::Text(items, platform::kTagDateTime));
    if (items.IndexOf(platform::kTagMake) >= 0 || items.IndexOf(platform::kTagModel) >= 0) {
        const QString maker = QString::fromLatin1(TImageMetadata::Text(items, platform::kTagMake));
        const QString model = QString::fromLatin1(TImageMetadata::Text(items, platform::kTagModel));
        text += QStringLiteral("\n") + LocalizedString(518, QStringLiteral("Camera")) + QStringLiteral(": ") +
                maker + (maker.isEmpty() ? QString() : QStringLiteral(" ")) + model;
    }
    m_description = text.toStdU16String();
}
