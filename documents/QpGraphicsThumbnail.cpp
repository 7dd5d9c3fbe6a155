#include "documents/QpGraphicsThumbnail.h"

#include "imaging/QpPixels.h"
#include "platform/ImageCodec.h"

#include <QFile>
#include <QPainter>
#include <algorithm>

void TQpGraphicsThumbnail::FitInto(int imageWidth, int imageHeight, int width, int height, int& fittedWidth,
                                   int& fittedHeight)
{
    fittedWidth = std::max(1, width);
    fittedHeight = std::max(1, height);
    if (imageWidth < 1 || imageHeight < 1)
        return;
    if (static_cast<std::int64_t>(imageWidth) * fittedHeight >=
        static_cast<std::int64_t>(imageHeight) * fittedWidth)
        fittedHeight = std::max<int>(
            1, static_cast<int>(static_cast<std::int64_t>(imageHeight) * fittedWidth / imageWidth));
    else
        fittedWidth = std::max<int>(
            1, static_cast<int>(static_cast<std::int64_t>(imageWidth) * fittedHeight / imageHeight));
}

TQpGraphicsThumbnail::TQpGraphicsThumbnail(const std::u16string& fileName, int width, int height)
{
    const std::string path = QFile::encodeName(QString::fromStdU16String(fileName)).toStdString();
    platform::TImageInfo info;
    if (width < 1 || height < 1 || !platform::TImageCodec::ReadInfo(path, info))
        return;
    int fittedWidth = 0, fittedHeight = 0;
    FitInto(info.Width, info.Height, width, height, fittedWidth, fittedHeight);
    const QImage image = platform::TImageCodec::Thumbnail(path, fittedWidth, fittedHeight);
    if (!image.isNull())
        m_image = image.scaled(fittedWidth, fittedHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool TQpGraphicsThumbnail::Draw(QPainter& painter, const TQpRect& rect, TQpRect& drawnRect)
{
    if (m_image.isNull())
        return false;
    const int left = rect.Left + (rect.Width() - m_image.width()) / 2;
    const int top = rect.Top + (rect.Height() - m_image.height()) / 2;
    drawnRect = {left, top, left + m_image.width(), top + m_image.height()};
    painter.drawImage(QRect(left, top, m_image.width(), m_image.height()), m_image);
    return true;
}
