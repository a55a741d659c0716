#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "ui/types.h"

namespace headless {

// Decodes JPEG bytes completely and returns the picture's size, or nullopt when
// they are not a picture that decodes. The only place headless touches Qt.
std::optional<ui::Size> DecodeJpegSize(std::span<const std::uint8_t> jpeg);

}  // namespace headless
