#include "headless/jpeg.h"

#include <climits>

#include <QtCore/QLoggingCategory>
#include <QtGui/QImage>

namespace headless {

std::optional<ui::Size> DecodeJpegSize(std::span<const std::uint8_t> jpeg)
{
    if (jpeg.empty() || jpeg.size() > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    // A picture cut short on the line is an everyday event, reported by the
    // window itself; the decoder's own complaints would only clutter stderr.
    static const bool quiet = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg=false"));
        return true;
    }();
    (void)quiet;
    QImage image;
    if (!image.loadFromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPEG") || image.isNull())
        return std::nullopt;
    return ui::Size{image.width(), image.height()};
}

}  // namespace headless
