#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "protocol/motion.h"
#include "ui/dialog.h"

// "Set area for motion detection": the operator marks the watched cells on a
// 9 by 12 grid, over a plain two-tone background or a photograph of the scene
// loaded from a JPEG file, and sets sensitivity, interval and density. The
// dialog only edits: whoever runs it reads the area and the three values after
// OK. Every opening starts empty.
class CMotionAreaDlg : public ui::CDialog {
public:
    CMotionAreaDlg();
    ~CMotionAreaDlg() override;

    // A cell of the grid.
    struct Cell {
        int row;
        int column;
        bool operator==(const Cell&) const = default;
    };
    // The cell a point inside the grid rectangle falls in. The hit areas line
    // up with the cell's dots rather than with the drawn lines, so the strip
    // between the rectangle's edge and the first dots belongs to the first
    // row and column.
    static std::optional<Cell> HitTestCell(const ui::Rect& grid, ui::Point p);

    // The photograph under the grid: read from `path`, at most 512000 bytes.
    void LoadBaseImage(const std::string& path);

    // What OK hands back.
    qzr::MotionAreaMap m_areaMap;  // the selection being edited
    int m_nSensitivity = 0;        // 1161
    unsigned m_nInterval = 0;      // 1195 "No.of Interval"
    int m_nDensity = 0;            // 1196 "Density1~4 Times"

    static constexpr std::size_t kMaxBaseImage = 512000;
    // Where the grid is painted, in client pixels.
    static constexpr ui::Rect kGridRect{10, 10, 647, 491};

protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::CDataExchange& dx) override;
    void OnPaint(ui::Canvas& dc) override;
    void OnLButtonDown(ui::Point p) override;
    void OnLButtonDblClk(ui::Point p) override;

private:
    void OnDeltaposSensitivity(int delta);
    void OnImportBaseImage();
    void DrawBaseImage(ui::Canvas& dc, std::span<const std::uint8_t> jpeg, const ui::Rect& rect);
    // Sets the cells in rows [r0, r1] x columns [c0, c1] to watched, then repaints.
    void Watch(int r0, int r1, int c0, int c1);
    void Toggle(std::uint8_t& cell) { cell = cell == 0 ? 1 : 0; }
    void SetAll(std::uint8_t value);
    void Reverse();
    void RebuildDotMap();

    static constexpr int kDotRows = qzr::MotionAreaMap::kRows * 4;
    static constexpr int kDotColumns = qzr::MotionAreaMap::kColumns * 4;

    // The loaded file: null until one was read once; the buffer only grows,
    // and its valid length is 0 after a read that came up short.
    std::unique_ptr<std::uint8_t[]> m_pBaseImage;
    std::size_t m_nBaseImageCapacity = 0;
    std::size_t m_nBaseImageLength = 0;
    // Each cell as 4 by 4 dots, rebuilt from the area at every paint.
    std::uint8_t m_dotMap[kDotRows * kDotColumns] = {};
    int m_nInset = 4;  // width of the two-tone background's outer band, in dot pitches
    ui::Rect m_rcGrid = kGridRect;
};
