#pragma once

#include <cstdint>

#include "protocol/frame.h"

namespace qzr {

// The poll of manual focusing: the camera answers with a line of text holding
// its sharpness value (13 bytes, tail left for the sender).
Bytes BuildFocusValueRequest(std::uint8_t cameraId);

}  // namespace qzr
