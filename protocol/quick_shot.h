#pragma once

#include <span>

#include "protocol/frame.h"

namespace qzr {

// CMD_QUICK_SNAPSHOT: the quick shot window's one request, always to camera 1,
// written exactly as it stands (payload 55 AA, tail C1 C2, no CRC). The camera
// answers with the bare JPEG, no frame around it.
Bytes BuildQuickSnapshotRequest();
bool IsQuickSnapshotRequest(std::span<const std::uint8_t> frame);

}  // namespace qzr
