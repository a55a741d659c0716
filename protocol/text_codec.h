#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocol/frame.h"

namespace qzr {

// The camera's code page is GBK; the console keeps text as UTF-8. nullopt when
// the text holds a character GBK cannot represent (or is not valid UTF-8).
std::optional<Bytes> Utf8ToGbk(std::string_view utf8);

}  // namespace qzr
