#pragma once

#include <cstdint>
#include <optional>

namespace qzr {

// Line rates by number rather than by the named speed constants of termios,
// for the camera rates those have no name for (28800, 256000, 345600 and any
// rate an operator types). On Linux through the termios2 interface, which
// drivers and pseudo-terminals both understand; on systems whose speed
// values are the rates themselves, through termios.

// Sets the output and input rate of the open terminal `fd` and leaves its
// other settings; false when the rate is 0 or the driver refuses it.
bool SetLineRate(int fd, std::uint32_t rate);

// The output rate `fd` is set to; on the master side of a pseudo-terminal the
// rate its slave side was set to. nullopt when it cannot be read.
std::optional<std::uint32_t> LineRate(int fd);

}  // namespace qzr
