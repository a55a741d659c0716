// The one translation unit of the camera that uses Qt: drawing and encoding
// its pictures.
#include "sim/picture.h"

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <string>

#include "protocol/codes.h"

namespace qzr::sim {
namespace {

constexpr int kBestQuality = 95;
constexpr int kWorstQuality = 20;
constexpr int kWorstCode = 12;

// 5 x 7 glyphs, one row per entry, bit 4 the leftmost pixel.
struct Glyph {
    char c;
    std::uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'x', {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11}}, {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}},
    {'#', {0x0A, 0x0A, 0x1F, 0x0A, 0x1F, 0x0A, 0x0A}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
};

const Glyph* FindGlyph(char c)
{
    for (const auto& g : kGlyphs)
        if (g.c == c)
            return &g;
    return nullptr;  // blank
}

void FillRect(QImage& image, int x0, int y0, int w, int h, QRgb colour)
{
    const int x1 = std::min(image.width(), x0 + w);
    const int y1 = std::min(image.height(), y0 + h);
    x0 = std::max(0, x0);
    y0 = std::max(0, y0);
    for (int y = y0; y < y1; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + x0, line + x1, colour);
    }
}

void DrawBackground(QImage& image)
{
    static constexpr QRgb kBars[] = {0xFFEBEBEB, 0xFFEBEB10, 0xFF10EBEB, 0xFF10EB10,
                                     0xFFEB10EB, 0xFFEB1010, 0xFF1010EB, 0xFF101010};
    const int w = image.width();
    const int h = image.height();
    const int barsHeight = h * 3 / 5;
    for (int i = 0; i < 8; ++i)
        FillRect(image, w * i / 8, 0, w * (i + 1) / 8 - w * i / 8, barsHeight, kBars[i]);
    // A grey ramp in eight-pixel steps, so that JPEG blocks stay flat.
    for (int x = 0; x < w; x += 8) {
        const int grey = 16 + 220 * x / std::max(1, w - 1);
        FillRect(image, x, barsHeight, 8, h - barsHeight, qRgb(grey, grey, grey));
    }
}

void DrawLabel(QImage& image, const std::string& text)
{
    const int glyphCell = 6;  // 5 pixels and a gap
    const int textWidth = static_cast<int>(text.size()) * glyphCell;
    // About two thirds of the picture's width, whole pixels per glyph pixel.
    const int scale = std::max(1, std::min(image.width() * 2 / 3 / textWidth, image.height() / 4 / 9));
    const int boxW = (textWidth + 2) * scale;
    const int boxH = 11 * scale;
    const int left = (image.width() - boxW) / 2;
    const int top = (image.height() - boxH) / 2;
    FillRect(image, left, top, boxW, boxH, 0xFF000000);
    int x = left + 2 * scale;
    const int y = top + 2 * scale;
    for (char c : text) {
        if (const Glyph* g = FindGlyph(c))
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g->rows[row] & (0x10 >> col))
                        FillRect(image, x + col * scale, y + row * scale, scale, scale, 0xFFFFFFFF);
        x += glyphCell * scale;
    }
}

}  // namespace

int JpegQuality(std::uint8_t qualityCode)
{
    const int code = std::min<int>(qualityCode, kWorstCode);
    return kBestQuality - (kBestQuality - kWorstQuality) * code / kWorstCode;
}

Bytes MakeTestPicture(const PictureParams& params)
{
    const PictureSize size = ResolutionSize(params.resolution);
    QImage image(size.width, size.height, QImage::Format_RGB32);
    DrawBackground(image);
    std::string label = std::to_string(size.width) + "x" + std::to_string(size.height) + " Q" +
                        std::to_string(params.quality) + " #" + std::to_string(params.number);
    if (params.test)
        label += " TEST";
    DrawLabel(image, label);

    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", JpegQuality(params.quality));
    return Bytes(encoded.begin(), encoded.end());
}

}  // namespace qzr::sim
