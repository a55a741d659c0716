// libFuzzer entry point: text off the line and typed text. Camera text in any
// bytes must come out as valid UTF-8; the CRC calculator takes at most its 64
// bytes from any typing.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "protocol/camera_text.h"
#include "protocol/crc_text.h"
#include "protocol/lens.h"
#include "protocol/text_codec.h"
#include "tests/support/utf8.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace qzr;
    const std::span<const std::uint8_t> bytes(data, size);
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::string line = FormatCameraText(bytes);
    Require(line.size() <= size + 3);
    Require(test::IsValidUtf8(GbkToUtf8(line)));
    Require(test::IsValidUtf8(GbkToUtf8(text)));
    ContainsTestShotTrigger(bytes);
    if (FocusValueOfLine(bytes))
        Require(CameraTextLine(bytes).find_first_of("0123456789") != std::string::npos);
    if (Utf8ToGbk(text))
        Require(test::IsValidUtf8(text));

    const Bytes typed = HexTextToBytes(text);
    Require(typed.size() <= kMaxCrcToolBytes);
    CrcToolAnswer(typed);
    return 0;
}
