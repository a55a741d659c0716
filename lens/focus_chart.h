#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "ui/types.h"

namespace ui {
class Canvas;
}

// The focus values of one manual-focusing run as a strip chart: the latest
// values from left to right, scaled to the highest value so far, which is
// marked and written beside its point, so that the operator turning the lens
// sees where the sharpness peaked.
class CFocusChart {
public:
    // Forgets the values of the last run.
    void Reset();
    void Add(std::uint64_t value);

    std::optional<std::uint64_t> Latest() const;

    // Draws the chart over `area`, covering it.
    void Draw(ui::Canvas& dc, const ui::Rect& area) const;

    // The first values are spread as if this many filled the width; more
    // values move closer together down to kMinStep pixels, then the chart
    // scrolls.
    static constexpr std::size_t kMinSpan = 40;
    static constexpr int kMinStep = 3;
    // Values kept: more than the widest chart shows.
    static constexpr std::size_t kKept = 1024;

private:
    std::deque<std::uint64_t> m_values;  // the last kKept, oldest first
    std::size_t m_nCount = 0;            // values added since Reset
    std::uint64_t m_nPeak = 0;
    std::size_t m_nPeakIndex = 0;        // which of the values added since Reset
};

// A value with thousands separators: 987654 reads "987,654".
std::string GroupThousands(std::uint64_t value);
