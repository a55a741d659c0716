#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qzr {

// Free text a camera sends between replies (a start-up message, focus values),
// made into one line of the camera text box: the chunk's last byte becomes the
// line end (CR LF), the text ends at the first zero byte, and thousands
// separators are put in by the line's length, so that the digits 12345678 and
// a line feed read "12,345,678". Bytes stay in the camera's code page.
std::string FormatCameraText(std::span<const std::uint8_t> chunk);

// The same line before the separators go in.
std::string CameraTextLine(std::span<const std::uint8_t> chunk);

// The idle camera's request for a test shot: the bytes 01 05 06 starting at
// one of the positions 0 .. size - 6 of the gathered short chunks.
bool ContainsTestShotTrigger(std::span<const std::uint8_t> gathered);

}  // namespace qzr
