#include "protocol/camera_text.h"

#include <cstring>

namespace qzr {

std::string CameraTextLine(std::span<const std::uint8_t> chunk)
{
    if (chunk.empty())
        return {};
    std::string text(reinterpret_cast<const char*>(chunk.data()), chunk.size() - 1);
    text += "\r\n";
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string FormatCameraText(std::span<const std::uint8_t> chunk)
{
    std::string text = CameraTextLine(chunk);
    const std::size_t d = text.size();
    if (d > 8) {
        text.insert(d - 8, 1, ',');
        text.insert(d - 4, 1, ',');
    } else if (d > 5) {
        text.insert(d - 5, 1, ',');
    }
    return text;
}

bool ContainsTestShotTrigger(std::span<const std::uint8_t> gathered)
{
    if (gathered.size() < 8)
        return false;
    for (std::size_t i = 0; i + 6 <= gathered.size(); ++i)
        if (gathered[i] == 0x01 && gathered[i + 1] == 0x05 && gathered[i + 2] == 0x06)
            return true;
    return false;
}

}  // namespace qzr
