#pragma once
// The open dialog's picture of an image file: the image fitted into the preview box with its aspect
// ratio kept, decoded once when the object is made (possibly on the preview thread).

#include "core/QpFileFormats.h"

#include <QImage>

class TQpGraphicsThumbnail : public TQpThumbnail
{
public:
    TQpGraphicsThumbnail(const std::u16string& fileName, int width, int height);
    // False when the file could not be read.
    bool IsValid() const { return !m_image.isNull(); }
    const QImage& Image() const { return m_image; }
    // The fitted size; the short side is floored and at least 1.
    static void FitInto(int imageWidth, int imageHeight, int width, int height, int& fittedWidth,
                        int& fittedHeight);

    bool Draw(QPainter& painter, const TQpRect& rect, TQpRect& drawnRect) override;

private:
    QImage m_image;
};
