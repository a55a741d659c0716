#include "protocol/codes.h"

#include <array>
#include <utility>

namespace qzr {
namespace {

constexpr std::array<std::string_view, 33> kResolutionList = {
    "160x120",   "320x240",   "640x480",   "800x600",   "1280x960",  "1024x768",  "1280x800",
    "1600x1024", "1600x1200", "2048x1536", "2560x1920", "2592x1944", "1280x720",  "1920x1080",
    "1280x1024", "3000x2000", "3264x2448", "3648x2736", "4000x3000", "-----16:9-----",
    "480x270",   "640x360",   "800x450",   "960x540",   "1024x576",  "1280x720",  "1366x768",
    "1440x810",  "1600x900",  "1920x1080", "2560x1440", "3200x1800", "3840x2160",
};

// Compared in this order; the first equal text wins, so the 16:9 copies of
// 1280x720 and 1920x1080 give 15 and 16 as well.
constexpr std::pair<std::string_view, std::uint8_t> kResolutionCodes[] = {
    {"160x120", 1},    {"320x240", 3},    {"640x480", 5},    {"1280x960", 6},   {"800x600", 7},
    {"1024x768", 8},   {"1280x800", 9},   {"1600x1024", 10}, {"1600x1200", 11}, {"2048x1536", 12},
    {"2560x1920", 13}, {"2592x1944", 14}, {"1280x720", 15},  {"1920x1080", 16}, {"1280x1024", 17},
    {"3000x2000", 18}, {"3264x2448", 19}, {"3648x2736", 20}, {"4000x3000", 21}, {"480x270", 30},
    {"640x360", 31},   {"800x450", 32},   {"960x540", 33},   {"1024x576", 34},  {"1366x768", 36},
    {"1440x810", 37},  {"1600x900", 38},  {"2560x1440", 40}, {"3200x1800", 41}, {"3840x2160", 42},
};

constexpr std::pair<std::uint8_t, PictureSize> kResolutionSizes[] = {
    {1, {160, 120}},    {3, {320, 240}},    {6, {1280, 960}},   {7, {800, 600}},    {8, {1024, 768}},
    {9, {1280, 800}},   {10, {1600, 1024}}, {11, {1600, 1200}}, {12, {2048, 1536}}, {13, {2560, 1920}},
    {14, {2592, 1944}}, {15, {1280, 720}},  {16, {1920, 1080}}, {17, {1280, 1024}}, {18, {3000, 2000}},
    {19, {3264, 2448}}, {20, {3648, 2736}}, {21, {4000, 3000}}, {30, {480, 270}},   {31, {640, 360}},
    {32, {800, 450}},   {33, {960, 540}},   {34, {1024, 576}},  {35, {1280, 720}},  {36, {1366, 768}},
    {37, {1440, 810}},  {38, {1600, 900}},  {39, {1920, 1080}}, {40, {2560, 1440}}, {41, {3200, 1800}},
    {42, {3840, 2160}},
};

constexpr std::array<std::string_view, 13> kQualityList = {"0", "1", "2", "3", "4", "5", "6",
                                                           "7", "8", "9", "10", "11", "12"};

}  // namespace

std::span<const std::string_view> ResolutionList() { return kResolutionList; }

std::span<const std::string_view> QualityList() { return kQualityList; }

std::uint8_t ResolutionCodeFromText(std::string_view text)
{
    for (const auto& [name, code] : kResolutionCodes)
        if (name == text)
            return code;
    return 5;
}

std::uint8_t QualityCodeFromText(std::string_view text)
{
    for (std::size_t i = 0; i < kQualityList.size(); ++i)
        if (kQualityList[i] == text)
            return static_cast<std::uint8_t>(i);
    return 1;
}

PictureSize ResolutionSize(std::uint8_t code)
{
    for (const auto& [c, size] : kResolutionSizes)
        if (c == code)
            return size;
    return {640, 480};
}

}  // namespace qzr
