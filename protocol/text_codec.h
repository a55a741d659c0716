#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocol/frame.h"

namespace qzr {

// The camera's code page is GBK; the console keeps text as UTF-8. nullopt when
// the text holds a character GBK cannot represent (or is not valid UTF-8).
std::optional<Bytes> Utf8ToGbk(std::string_view utf8);

// Text from a camera, for showing: GBK bytes to UTF-8; a byte sequence that is
// not GBK becomes U+FFFD, so nothing a camera sends can make the text invalid.
std::string GbkToUtf8(std::string_view gbk);

}  // namespace qzr
