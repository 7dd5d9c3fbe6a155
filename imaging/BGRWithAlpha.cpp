#include "imaging/BGRWithAlpha.h"

#include "imaging/ThumbnailFiles.h"

#include <QImage>
#include <QImageReader>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

namespace {

constexpr std::size_t kMaxPngFileSize = std::size_t(1) << 30;

struct TFilter
{
    double Radius;
    double (*Weight)(double);
};

// The interpolation filters shared with the rotation tools; t >= 0 is the distance.
const TFilter kFilters[] = {
    {0.0, [](double) { return 1.0; }},
    {1.0, [](double t) { return t < 1.0 ? 1.0 - t : 0.0; }},
    {1.0, [](double t) { return t < 1.0 ? (2.0 * t - 3.0) * t * t + 1.0 : 0.0; }},
    {1.5,
     [](double t) {
         if (t < 0.5) {
             return 0.75 - t * t;
         }
         return t < 1.5 ? 0.5 * (t - 1.5) * (t - 1.5) : 0.0;
     }},
    {2.0,
     [](double t) {
         if (t < 1.0) {
             return t * t * t / 2.0 - t * t + 2.0 / 3.0;
         }
         return t < 2.0 ? (2.0 - t) * (2.0 - t) * (2.0 - t) / 6.0 : 0.0;
     }},
    {2.0,
     [](double t) {
         if (t < 1.0) {
             return 7.0 / 6.0 * t * t * t - 2.0 * t * t + 8.0 / 9.0;
         }
         return t < 2.0 ? -7.0 / 18.0 * t * t * t + 2.0 * t * t - 10.0 / 3.0 * t + 16.0 / 9.0 : 0.0;
     }},
    {3.0,
     [](double t) {
         if (t == 0.0) {
             return 1.0;
         }
         if (t >= 3.0) {
             return 0.0;
         }
         const double pt = std::numbers::pi * t;
         return std::sin(pt) * std::sin(pt / 3.0) / (pt * pt / 3.0);
     }},
};

std::uint32_t ColorValue(const std::uint8_t* bgr)
{
    return std::uint32_t(bgr[0]) << 16 | std::uint32_t(bgr[1]) << 8 | bgr[2];
}

} // namespace

TBGRWithAlpha::TBGRWithAlpha() : m_alpha(std::make_unique<TAlphaChanal>()) {}

bool TBGRWithAlpha::SetSize(int width, int height)
{
    m_colors.clear();
    m_width = 0;
    m_height = 0;
    if (!m_alpha->SetSize(width, height)) {
        return false;
    }
    m_colors.assign(std::size_t(width) * std::size_t(height) * 3, 0);
    m_width = width;
    m_height = height;
    return true;
}

void TBGRWithAlpha::SetPixel(int x, int y, std::uint32_t colorValue, std::uint8_t alpha)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return;
    }
    std::uint8_t* p = &m_colors[Index(x, y)];
    p[0] = std::uint8_t(colorValue >> 16);
    p[1] = std::uint8_t(colorValue >> 8);
    p[2] = std::uint8_t(colorValue);
    m_alpha->SetValue(x, y, alpha);
}

void TBGRWithAlpha::MakeEmpty()
{
    SetSize(kEmptySize, kEmptySize);
}

void TBGRWithAlpha::Load(const std::filesystem::path& folder, const std::string& name, int kind)
{
    m_changed = true;
    if (name.empty()) {
        m_alpha->Clear();
    } else if (kind == 1) {
        LoadCutout(folder, name);
    } else if (kind == 2) {
        LoadPicture(folder, name);
    } else {
        MakeEmpty();
    }
}

bool TBGRWithAlpha::LoadCutout(const std::filesystem::path& folder, const std::string& name)
{
    try {
        if (!m_alpha->LoadCompressed((folder / (name + ".alp")).string()) || m_alpha->Width() < 1 ||
            m_alpha->Height() < 1) {
            MakeEmpty();
            return false;
        }
        const int width = m_alpha->Width();
        const int height = m_alpha->Height();
        m_colors.assign(std::size_t(width) * std::size_t(height) * 3, 0);
        m_width = width;
        m_height = height;

        QImageReader reader(QString::fromStdString((folder / (name + ".jpg")).string()));
        // Only the part that overlaps the matte is used, so a larger picture is not worth decoding.
        const QSize size = reader.size();
        if (size.isValid() && size.width() <= TAlphaChanal::kMaxSide &&
            size.height() <= TAlphaChanal::kMaxSide) {
            reader.setAllocationLimit(1024);
            QImage image = reader.read();
            if (!image.isNull()) {
                image = image.convertToFormat(QImage::Format_RGB888);
                // A picture that does not match its matte is copied only where the two overlap.
                const int mx = m_alpha->MarginX();
                const int my = m_alpha->MarginY();
                const int copyWidth = std::min(image.width(), width - mx);
                const int copyHeight = std::min(image.height(), height - my);
                for (int y = 0; y < copyHeight; ++y) {
                    const uchar* line = image.constScanLine(y);
                    for (int x = 0; x < copyWidth; ++x) {
                        std::uint8_t* p = &m_colors[Index(x + mx, y + my)];
                        p[0] = line[x * 3 + 2];
                        p[1] = line[x * 3 + 1];
                        p[2] = line[x * 3];
                    }
                }
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        MakeEmpty();
        return false;
    }
}

bool TBGRWithAlpha::LoadPicture(const std::filesystem::path& folder, const std::string& name)
{
    try {
        const auto bytes = ReadWholeFile(folder / (name + ".png"), kMaxPngFileSize);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!bytes || !png_image_begin_read_from_memory(&image, bytes->data(), bytes->size())) {
            MakeEmpty();
            return false;
        }
        // The size is checked before anything is allocated for the pixels.
        if (image.width < 1 || image.height < 1 || image.width > std::uint32_t(TAlphaChanal::kMaxSide) ||
            image.height > std::uint32_t(TAlphaChanal::kMaxSide) ||
            std::size_t(image.width) * image.height > TAlphaChanal::kMaxArea) {
            png_image_free(&image);
            MakeEmpty();
            return false;
        }
        image.format = PNG_FORMAT_RGBA;
        std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
            png_image_free(&image);
            MakeEmpty();
            return false;
        }
        const int width = int(image.width);
        const int height = int(image.height);
        SetSize(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* s = &rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
                SetPixel(x, y, std::uint32_t(s[2]) << 16 | std::uint32_t(s[1]) << 8 | s[0], s[3]);
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        MakeEmpty();
        return false;
    }
}

bool TBGRWithAlpha::SaveToPng(const std::filesystem::path& path) const
{
    if (m_width < 1 || m_height < 1) {
        return false;
    }
    std::vector<std::uint8_t> rgba(std::size_t(m_width) * std::size_t(m_height) * 4);
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            std::uint8_t* d = &rgba[(std::size_t(y) * std::size_t(m_width) + std::size_t(x)) * 4];
            const std::uint8_t* s = &m_colors[Index(x, y)];
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
            d[3] = m_alpha->Value(x, y);
        }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = std::uint32_t(m_width);
    image.height = std::uint32_t(m_height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) {
        return false;
    }
    std::vector<std::uint8_t> file(size);
    if (!png_image_write_to_memory(&image, file.data(), &size, 0, rgba.data(), 0, nullptr)) {
        return false;
    }
    return WriteFileReplacing(path, file.data(), size);
}

std::pair<int, std::uint32_t> TBGRWithAlpha::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return {0, 0};
    }
    return {m_alpha->Value(x, y), ColorValue(&m_colors[Index(x, y)])};
}

std::uint32_t TBGRWithAlpha::Sample(double x, double y, int quality, std::uint32_t background) const
{
    if (m_flipX) {
        x = m_width - 1 - x;
    }
    if (m_flipY) {
        y = m_height - 1 - y;
    }
    if (quality <= 0) {
        const double rx = std::nearbyint(x);
        const double ry = std::nearbyint(y);
        if (rx >= 0 && ry >= 0 && rx < m_width && ry < m_height && m_alpha->Value(int(rx), int(ry)) >= 128) {
            return ColorValue(&m_colors[Index(int(rx), int(ry))]);
        }
        return background;
    }
    if (!std::isfinite(x) || !std::isfinite(y)) {
        return background;
    }
    const TFilter& filter = kFilters[std::min(quality, 6)];
    // Clamped in double first so that far-away points cannot overflow the integer bounds.
    const auto bound = [](double v, int low, int high) {
        return int(std::clamp(v, double(low), double(high)));
    };
    const int left = bound(std::floor(x - filter.Radius), 0, m_width);
    const int right = bound(std::ceil(x + filter.Radius), -1, m_width - 1);
    const int top = bound(std::floor(y - filter.Radius), 0, m_height);
    const int bottom = bound(std::ceil(y + filter.Radius), -1, m_height - 1);
    float sum[3] = {0.0f, 0.0f, 0.0f};
    float alphaSum = 0.0f;
    float weightSum = 0.0f;
    for (int i = left; i <= right; ++i) {
        for (int j = top; j <= bottom; ++j) {
            const float w = float(filter.Weight(std::sqrt((x - i) * (x - i) + (y - j) * (y - j))));
            if (w == 0.0f) {
                continue;
            }
            const std::uint8_t* p = &m_colors[Index(i, j)];
            // Red, green, blue, the order of a colour value from its low byte up.
            sum[0] += w * float(p[2]);
            sum[1] += w * float(p[1]);
            sum[2] += w * float(p[0]);
            alphaSum += w * float(m_alpha->Value(i, j)) / 255.0f;
            weightSum += w;
        }
    }
    if (weightSum <= 0.0001f) {
        return background;
    }
    const float a = alphaSum / weightSum;
    std::uint32_t result = 0;
    for (int c = 0; c < 3; ++c) {
        const float back = float((background >> (8 * c)) & 0xFF);
        const float v = a * (sum[c] / weightSum) + (1.0f - a) * back;
        result |= std::uint32_t(std::nearbyint(std::clamp(v, 0.0f, 255.0f))) << (8 * c);
    }
    return result;
}
