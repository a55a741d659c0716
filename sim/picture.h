#pragma once

#include <cstdint>

#include "protocol/frame.h"

namespace qzr::sim {

// What a picture is made of: the codes of the request and the camera's running
// number, which the picture shows so that two pictures always differ.
struct PictureParams {
    std::uint8_t resolution = 5;
    std::uint8_t quality = 1;  // 0 best .. 12 worst; higher codes count as 12
    bool test = false;         // the request carried quality + 100
    unsigned number = 1;
};

// The JPEG quality (Qt's 0..100 scale) a quality code stands for: 0 gives 95,
// 12 gives 20, in even steps.
int JpegQuality(std::uint8_t qualityCode);

// A test card of the resolution's size: colour bars over a grey ramp, with a
// label "WxH Q<code> #<number>" (and "TEST" for test pictures) in the middle,
// encoded as JPEG. Kept plain so that 4000 x 3000 at the best quality stays
// well below a megabyte.
Bytes MakeTestPicture(const PictureParams& params);

}  // namespace qzr::sim
