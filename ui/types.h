#pragma once

#include <cstdint>
#include <string>

namespace ui {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

// Window client pixels; right and bottom are exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// 0x00BBGGRR, as the classic colour reference.
using Color = std::uint32_t;
constexpr Color RGB(int r, int g, int b)
{
    return static_cast<Color>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(Color c) { return c & 0xFF; }
constexpr int GreenOf(Color c) { return (c >> 8) & 0xFF; }
constexpr int BlueOf(Color c) { return (c >> 16) & 0xFF; }

// Local calendar time of a date-time control or of the clock.
struct DateTime {
    int year = 1970;
    int month = 1;  // 1 .. 12
    int day = 1;    // 1 .. 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const DateTime&) const = default;
};

// What a progress control shows of a transfer: `done` of `total` bytes,
// moving at `bytesPerSecond`.
struct Progress {
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    std::uint64_t bytesPerSecond = 0;
    bool operator==(const Progress&) const = default;
};

// Formats with strftime conversions (%Y %m %d %H %M %S and literal text).
std::string FormatDateTime(const DateTime& t, const char* format);

// Message box icons and answers.
enum class Icon { None, Stop, Information, Warning, Question };
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_STATIC = -1;

// Dialog templates are laid out in dialog units of the classic system font
// (8 x 16 pixel base units): one unit is 2 pixels across and 2 pixels down.
inline constexpr int kPixelsPerDialogUnitX = 2;
inline constexpr int kPixelsPerDialogUnitY = 2;

}  // namespace ui
