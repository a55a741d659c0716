#include "headless/jpeg.h"

#include <climits>

#include <QtGui/QImage>

namespace headless {

std::optional<ui::Size> DecodeJpegSize(std::span<const std::uint8_t> jpeg)
{
    if (jpeg.empty() || jpeg.size() > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    QImage image;
    if (!image.loadFromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPEG") || image.isNull())
        return std::nullopt;
    return ui::Size{image.width(), image.height()};
}

}  // namespace headless
