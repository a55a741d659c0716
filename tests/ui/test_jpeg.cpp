#include "tests/ui/test_jpeg.h"

#include <QtCore/QBuffer>
#include <QtCore/QByteArray>
#include <QtGui/QImage>

namespace qzr::test {

std::vector<std::uint8_t> MakeJpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 80);
    return {bytes.begin(), bytes.end()};
}

}  // namespace qzr::test
