#include "protocol/lens.h"

#include "protocol/commands.h"

namespace qzr {

Bytes BuildFocusValueRequest(std::uint8_t cameraId)
{
    const std::uint8_t payload[] = {0x11, 0x22, 0x33, 0x44, 0xEF};
    return BuildFrame(cameraId, CMD_FOCUS_VALUE_REQUEST, payload);
}

}  // namespace qzr
