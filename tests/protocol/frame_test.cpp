// The CRC against published check values, and the picture codes.
#include <gtest/gtest.h>

#include <string>

#include "protocol/codes.h"
#include "protocol/crc16.h"
#include "protocol/frame.h"

namespace qzr {
namespace {

TEST(Crc16, PublishedCheckValues)
{
    const std::string digits = "123456789";
    EXPECT_EQ(crc16_ccitt(reinterpret_cast<const std::uint8_t*>(digits.data()), 9), 0x31C3);
    EXPECT_EQ(crc16_ccitt(nullptr, 0), 0x0000);
    EXPECT_EQ(crc16_ccitt(0x1234, nullptr, 0), 0x1234) << "an empty continuation keeps the start value";
}

TEST(Crc16, ContinuingFormEqualsOnePass)
{
    Bytes data(4097);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 31 + 7);
    const std::uint16_t whole = crc16_ccitt(data.data(), static_cast<std::uint16_t>(data.size()));
    for (std::uint16_t split : {0, 1, 8, 128, 4096, 4097}) {
        const std::uint16_t head = crc16_ccitt(data.data(), split);
        EXPECT_EQ(crc16_ccitt(head, data.data() + split, static_cast<std::uint16_t>(data.size() - split)), whole) << split;
    }
}

TEST(PictureCodes, ResolutionAndQualityTexts)
{
    const std::pair<const char*, int> resolutions[] = {
        {"160x120", 1}, {"640x480", 5}, {"1280x960", 6}, {"1920x1080", 16}, {"1280x720", 15},
        {"3840x2160", 42}, {"-----16:9-----", 5}, {"", 5}, {"640X480", 5},
    };
    for (const auto& [text, code] : resolutions)
        EXPECT_EQ(ResolutionCodeFromText(text), code) << text;
    // Every entry of the list below the separator maps to the first equal text.
    EXPECT_EQ(ResolutionList().size(), 33u);
    EXPECT_EQ(ResolutionCodeFromText(ResolutionList()[29]), 16) << "second 1920x1080";

    const std::pair<const char*, int> qualities[] = {{"0", 0}, {"1", 1}, {"12", 12}, {"15", 1}, {"", 1}, {" 3", 1}};
    for (const auto& [text, code] : qualities)
        EXPECT_EQ(QualityCodeFromText(text), code) << text;
}

TEST(PictureCodes, SizesOfCodes)
{
    EXPECT_EQ(ResolutionSize(1), (PictureSize{160, 120}));
    EXPECT_EQ(ResolutionSize(14), (PictureSize{2592, 1944}));
    EXPECT_EQ(ResolutionSize(39), (PictureSize{1920, 1080}));
    EXPECT_EQ(ResolutionSize(5), (PictureSize{640, 480}));
    EXPECT_EQ(ResolutionSize(99), (PictureSize{640, 480}));
}

}  // namespace
}  // namespace qzr
