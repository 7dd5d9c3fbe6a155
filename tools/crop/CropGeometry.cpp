#include "tools/crop/CropGeometry.h"

#include <numeric>

QPoint CropHandlePoint(const TQpRect& r, int code)
{
    const int midX = (r.Left + r.Right) / 2;
    const int midY = (r.Top + r.Bottom) / 2;
    switch (code) {
    case 4:
        return {midX, r.Top};
    case 5:
        return {r.Right, r.Top};
    case 6:
        return {r.Right, midY};
    case 7:
        return {r.Right, r.Bottom};
    case 8:
        return {midX, r.Bottom};
    case 9:
        return {r.Left, r.Bottom};
    case 10:
        return {r.Left, midY};
    default:
        return {r.Left, r.Top};
    }
}

int CropHitCode(const TQpRect& rect, QPoint point)
{
    for (int code : {11, 4, 5, 6, 9, 8, 7, 10}) {
        const QPoint h = CropHandlePoint(rect, code);
        if (point.x() >= h.x() - 4 && point.x() < h.x() + 5 && point.y() >= h.y() - 4 &&
            point.y() < h.y() + 5)
            return code;
    }
    const bool inside =
        point.x() >= rect.Left && point.x() < rect.Right && point.y() >= rect.Top && point.y() < rect.Bottom;
    return inside ? 3 : 0;
}

TQpRect HoldToRatio(const TQpRect& rect, TCropRatio ratio, int code)
{
    if (ratio.Free())
        return rect;
    const int a = ratio.Width, b = ratio.Height;
    TQpRect r = rect;
    const int w = r.Right - r.Left, h = r.Bottom - r.Top;
    switch (code) {
    case 4:
    case 5:
        r.Top = r.Bottom - (h / b) * b;
        r.Right = r.Left + ((r.Bottom - r.Top) / b) * a;
        break;
    case 7:
    case 8:
        r.Bottom = r.Top + (h / b) * b;
        r.Right = r.Left + ((r.Bottom - r.Top) / b) * a;
        break;
    case 6:
        r.Right = r.Left + (w / a) * a;
        r.Top = r.Bottom - ((r.Right - r.Left) / a) * b;
        break;
    case 10:
        r.Left = r.Right - (w / a) * a;
        r.Top = r.Bottom - ((r.Right - r.Left) / a) * b;
        break;
    case 9:
        r.Bottom = r.Top + (h / b) * b;
        r.Left = r.Right - ((r.Bottom - r.Top) / b) * a;
        break;
    case 11:
        r.Top = r.Bottom - (h / b) * b;
        r.Left = r.Right - ((r.Bottom - r.Top) / b) * a;
        break;
    default:
        break;
    }
    return r;
}

TCropRatio RatioOfItem(const QString& item)
{
    const qsizetype x = item.indexOf(QLatin1Char('x'));
    if (x <= 0)
        return {};
    bool okA = false, okB = false;
    const int a = item.left(x).trimmed().toInt(&okA);
    qsizetype end = item.indexOf(QLatin1Char(' '), x + 1);
    if (end < 0)
        end = item.size();
    const int b = item.mid(x + 1, end - x - 1).toInt(&okB);
    // A selection cleared or an item without both numbers would give gcd(0, 0).
    if (!okA || !okB || a < 1 || b < 1)
        return {};
    const int g = std::gcd(a, b);
    return {a / g, b / g};
}
