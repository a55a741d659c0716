#include "headless/escape.h"

#include <cstdint>

#include "protocol/crc_text.h"

namespace headless {
namespace {

void AppendHexEscape(std::string& out, unsigned char byte)
{
    static const char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence that starts at `i`, 0 when the bytes there
// are not one (overlong forms, surrogates and values past U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    std::size_t length = 0;
    std::uint32_t value = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if (!IsContinuation(at(i + k)))
            return 0;
        value = (value << 6) | (at(i + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

std::optional<std::string> UnescapeArgument(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const char next = text[i + 1];
        switch (next) {
        case 'r': out += '\r'; ++i; break;
        case 'n': out += '\n'; ++i; break;
        case 't': out += '\t'; ++i; break;
        case '\\': out += '\\'; ++i; break;
        case 'x': {
            if (i + 3 >= text.size())
                return std::nullopt;  // fewer than two digits follow the x
            const int high = qzr::HexDigitValue(text[i + 2]);
            const int low = qzr::HexDigitValue(text[i + 3]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 3;
            break;
        }
        default: out += c; break;
        }
    }
    return out;
}

std::string EscapeForOutput(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        switch (byte) {
        case '\r': out += "\\r"; ++i; continue;
        case '\n': out += "\\n"; ++i; continue;
        case '\t': out += "\\t"; ++i; continue;
        case '\\': out += "\\\\"; ++i; continue;
        default: break;
        }
        if (byte < 0x20 || byte == 0x7F) {
            AppendHexEscape(out, byte);
            ++i;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            AppendHexEscape(out, byte);
            ++i;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

}  // namespace headless
