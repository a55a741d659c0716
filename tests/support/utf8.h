#pragma once

#include <cstddef>
#include <string_view>

namespace qzr::test {

// Strict UTF-8 (no overlong forms, surrogates or code points past U+10FFFF), as boxes and files must hold.
inline bool IsValidUtf8(std::string_view text)
{
    constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i++]);
        const std::size_t extra = lead < 0x80 ? 0 : lead < 0xC0 ? 4 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF8 ? 3 : 4;
        if (extra == 4 || text.size() - i < extra)
            return false;
        char32_t code = lead & (0x7F >> extra);
        for (const std::size_t end = i + extra; i < end; ++i) {
            if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
                return false;
            code = code << 6 | (static_cast<unsigned char>(text[i]) & 0x3F);
        }
        if (code < kLeast[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
    }
    return true;
}

}  // namespace qzr::test
