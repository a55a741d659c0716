// The camera's pictures: real JPEGs of the asked size whose file size follows
// the quality code and stays affordable at the largest size.
#include <gtest/gtest.h>

#include <QImage>

#include "sim/picture.h"

namespace qzr::sim {
namespace {

QImage Decode(const Bytes& jpeg)
{
    QImage image;
    image.loadFromData(jpeg.data(), static_cast<int>(jpeg.size()), "JPG");
    return image;
}

TEST(TestPicture, LargestSizeAtBestQualityFitsTheConsolesBuffer)
{
    const Bytes jpeg = MakeTestPicture({21, 0, false, 12345});
    EXPECT_LT(jpeg.size(), 1024000u);
    EXPECT_EQ(Decode(jpeg).size(), QSize(4000, 3000));
}

TEST(TestPicture, QualityCodeMapsOntoJpegQuality)
{
    EXPECT_EQ(JpegQuality(0), 95);
    EXPECT_EQ(JpegQuality(12), 20);
    EXPECT_EQ(JpegQuality(200), 20);
    for (std::uint8_t code = 0; code < 12; ++code)
        EXPECT_GT(JpegQuality(code), JpegQuality(code + 1)) << int(code);

    const Bytes best = MakeTestPicture({8, 0});
    const Bytes worst = MakeTestPicture({8, 12});
    EXPECT_GT(best.size(), worst.size());
}

TEST(TestPicture, StartsAsAJpegAndShowsItsLabel)
{
    const Bytes one = MakeTestPicture({1, 1, false, 1});
    const Bytes two = MakeTestPicture({1, 1, false, 2});
    ASSERT_GE(one.size(), 3u);
    EXPECT_EQ(Bytes(one.begin(), one.begin() + 3), Bytes({0xFF, 0xD8, 0xFF}));
    EXPECT_NE(one, two);  // the running number is drawn
    // The label box is black in the middle of the test card.
    const QImage image = Decode(one);
    EXPECT_LT(qGray(image.pixel(image.width() / 2, image.height() / 2 - 5)), 80);
    EXPECT_NE(MakeTestPicture({1, 1, true, 1}), one);
}

}  // namespace
}  // namespace qzr::sim
