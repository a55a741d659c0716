#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "ui/types.h"

namespace ui {

// Drawing on a window's client area, like a device context: solid fills, a
// current pen and brush, ellipses, lines, and JPEG pictures scaled into a
// rectangle. What is drawn stays on the window until something draws over it.
class Canvas {
public:
    virtual ~Canvas() = default;

    virtual void FillSolidRect(const Rect& rect, Color color) = 0;
    // Solid pen of the given width for outlines and lines.
    virtual void SelectPen(int width, Color color) = 0;
    // Solid brush for the inside of ellipses.
    virtual void SelectBrush(Color color) = 0;
    virtual void Ellipse(const Rect& bounds) = 0;
    virtual void MoveTo(Point p) = 0;
    virtual void LineTo(Point p) = 0;
    // One line of UTF-8 text in the window's font, its top left corner at `p`.
    virtual void TextOut(Point p, std::string_view text, Color color) = 0;
    // Decodes JPEG bytes and draws the whole picture scaled to `target` (which may
    // reach beyond the window). Returns the picture's own size, or nullopt when
    // the bytes do not decode (nothing is drawn then).
    virtual std::optional<Size> DrawJpeg(std::span<const std::uint8_t> jpeg, const Rect& target) = 0;
};

}  // namespace ui
