#include "lens/focus_chart.h"

#include <algorithm>

#include "ui/canvas.h"

namespace {

constexpr ui::Color kBackground = ui::RGB(252, 252, 252);
constexpr ui::Color kGrid = ui::RGB(215, 215, 215);
constexpr ui::Color kCurve = ui::RGB(0, 100, 200);
constexpr ui::Color kPeak = ui::RGB(205, 30, 30);
constexpr ui::Color kText = ui::RGB(40, 40, 40);

// Room around the plot: the title line above it.
constexpr int kMarginX = 14;
constexpr int kMarginTop = 36;
constexpr int kMarginBottom = 14;
constexpr int kGridLines = 4;
constexpr int kMarkRadius = 4;
// Width a character of the chart's texts takes at most, for placing them
// inside the plot (CJK characters take two).
constexpr int kCharWidth = 7;

int TextWidth(const std::string& text)
{
    int width = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            width += kCharWidth;
        else if (byte >= 0xC0)
            width += 2 * kCharWidth;
    }
    return width;
}

}  // namespace

std::string GroupThousands(std::uint64_t value)
{
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

void CFocusChart::Reset()
{
    m_values.clear();
    m_nCount = 0;
    m_nPeak = 0;
    m_nPeakIndex = 0;
}

void CFocusChart::Add(std::uint64_t value)
{
    if (m_nCount == 0 || value > m_nPeak) {
        m_nPeak = value;
        m_nPeakIndex = m_nCount;
    }
    ++m_nCount;
    m_values.push_back(value);
    if (m_values.size() > kKept)
        m_values.pop_front();
}

std::optional<std::uint64_t> CFocusChart::Latest() const
{
    if (m_values.empty())
        return std::nullopt;
    return m_values.back();
}

void CFocusChart::Draw(ui::Canvas& dc, const ui::Rect& area) const
{
    dc.FillSolidRect(area, kBackground);
    const ui::Rect plot = {area.left + kMarginX, area.top + kMarginTop, area.right - kMarginX,
                           area.bottom - kMarginBottom};
    if (plot.Width() < kMinStep || plot.Height() < kGridLines)
        return;

    std::string title = "手动调焦";
    if (const auto latest = Latest())
        title += "    当前 " + GroupThousands(*latest);
    dc.TextOut({plot.left, area.top + 10}, title, kText);

    dc.SelectPen(1, kGrid);
    for (int i = 0; i <= kGridLines; ++i) {
        const int y = plot.top + (plot.Height() - 1) * i / kGridLines;
        dc.MoveTo({plot.left, y});
        dc.LineTo({plot.right - 1, y});
    }
    if (m_values.empty()) {
        dc.TextOut({plot.left + 8, plot.top + 8}, "等待调焦值……", kText);
        return;
    }

    // The latest values that fit, oldest at the left.
    const int width = plot.Width() - 1;
    const std::size_t fits = static_cast<std::size_t>(width / kMinStep) + 1;
    const std::size_t shown = std::min(fits, m_values.size());
    const std::size_t first = m_values.size() - shown;  // index into m_values
    const std::size_t firstAdded = m_nCount - shown;    // the same value, counted since Reset
    const auto span = static_cast<long long>(std::max(shown, kMinSpan) - 1);
    // The peak sits a tenth below the top.
    const double top = static_cast<double>(m_nPeak) * 1.1;
    const auto pointOf = [&](std::size_t i) {
        const double v = top > 0 ? static_cast<double>(m_values[first + i]) / top : 0.0;
        return ui::Point{plot.left + static_cast<int>(static_cast<long long>(i) * width / span),
                         plot.bottom - 1 - static_cast<int>(v * (plot.Height() - 1))};
    };

    dc.SelectPen(2, kCurve);
    dc.MoveTo(pointOf(0));
    for (std::size_t i = shown > 1 ? 1 : 0; i < shown; ++i)
        dc.LineTo(pointOf(i));

    // The peak's level across the plot; its point marked while it is shown.
    const int peakY = plot.bottom - 1 - static_cast<int>((top > 0 ? m_nPeak / top : 0.0) * (plot.Height() - 1));
    dc.SelectPen(1, kPeak);
    dc.MoveTo({plot.left, peakY});
    dc.LineTo({plot.right - 1, peakY});
    int markX = plot.right - 1;
    if (m_nPeakIndex >= firstAdded) {
        markX = pointOf(m_nPeakIndex - firstAdded).x;
        dc.SelectBrush(kPeak);
        dc.Ellipse({markX - kMarkRadius, peakY - kMarkRadius, markX + kMarkRadius + 1, peakY + kMarkRadius + 1});
    }
    const std::string label = "峰值 " + GroupThousands(m_nPeak);
    const int labelWidth = TextWidth(label);
    const int labelX = markX + 2 * kMarkRadius + labelWidth <= plot.right
                           ? markX + 2 * kMarkRadius
                           : std::max(plot.left, markX - 2 * kMarkRadius - labelWidth);
    dc.TextOut({labelX, std::max(area.top + kMarginTop - 16, peakY - 20)}, label, kPeak);
}
