#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace qzr {

// The entries of the "JPEG Resolution" combo, in list order (the separator and
// the repeated 16:9 entries included).
std::span<const std::string_view> ResolutionList();

// Resolution code of a combo text: the first equal entry of the code table;
// any other text (the separator included) gives 5.
std::uint8_t ResolutionCodeFromText(std::string_view text);

// Quality code of a "Compression Ratio" text: "0" .. "12" give 0 .. 12, any
// other text gives 1.
std::uint8_t QualityCodeFromText(std::string_view text);

// The entries of the "Compression Ratio" combo: "0" .. "12".
std::span<const std::string_view> QualityList();

struct PictureSize {
    int width;
    int height;
    bool operator==(const PictureSize&) const = default;
};

// Pixel size of a resolution code; unknown codes (5 included) give 640 x 480.
PictureSize ResolutionSize(std::uint8_t code);

}  // namespace qzr
