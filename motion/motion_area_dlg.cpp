#include "motion/motion_area_dlg.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "protocol/frame.h"
#include "res/resource.h"
#include "res/templates.h"
#include "ui/canvas.h"
#include "ui/data_exchange.h"

namespace {

using qzr::MotionAreaMap;

constexpr int kDotPitch = 13;   // pixels between dots; four dots a cell each way
constexpr int kDotRadius = 2;
constexpr int kLineInset = 6;   // the grid lines start this far inside the rectangle

constexpr ui::Color kBandGrey = ui::RGB(180, 180, 180);
constexpr ui::Color kCentreBlue = ui::RGB(180, 180, 220);
constexpr ui::Color kDotOutline = ui::RGB(180, 220, 200);
constexpr ui::Color kDotRed = ui::RGB(255, 0, 0);
constexpr ui::Color kLineGrey = ui::RGB(80, 80, 80);

// The sensitivity arrows keep the value within this range.
constexpr int kMinSensitivity = 0;
constexpr int kMaxSensitivity = 100;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

CMotionAreaDlg::CMotionAreaDlg() : ui::CDialog(res::MotionAreaDialogTemplate())
{
    constexpr int kLastRow = MotionAreaMap::kRows - 1;
    constexpr int kLastColumn = MotionAreaMap::kColumns - 1;
    OnClicked(IDC_MOTION_UPPER, [this] { Watch(0, 0, 0, kLastColumn); });
    OnClicked(IDC_MOTION_BOTTOM, [this] { Watch(kLastRow, kLastRow, 0, kLastColumn); });
    OnClicked(IDC_MOTION_LEFT, [this] { Watch(0, kLastRow, 0, 0); });
    OnClicked(IDC_MOTION_RIGHT, [this] { Watch(0, kLastRow, kLastColumn, kLastColumn); });
    OnClicked(IDC_MOTION_CENTRAL, [this] { Watch(1, kLastRow - 1, 1, kLastColumn - 1); });
    // The four sides: the border one cell wide.
    OnClicked(IDC_MOTION_SURROUNDINGS, [this] {
        Watch(0, 0, 0, kLastColumn);
        Watch(kLastRow, kLastRow, 0, kLastColumn);
        Watch(0, kLastRow, 0, 0);
        Watch(0, kLastRow, kLastColumn, kLastColumn);
    });
    OnClicked(IDC_MOTION_ALL, [this] { SetAll(1); });
    OnClicked(IDC_MOTION_CLEAR, [this] { SetAll(0); });
    OnClicked(IDC_MOTION_REVERSE, [this] { Reverse(); });
    OnClicked(IDC_MOTION_IMPORT, [this] { OnImportBaseImage(); });
    OnDeltaPos(IDC_MOTION_SENSITIVITY_SPIN, [this](int delta) { OnDeltaposSensitivity(delta); });
}

CMotionAreaDlg::~CMotionAreaDlg() = default;

bool CMotionAreaDlg::OnInitDialog()
{
    m_nSensitivity = 80;
    m_nInterval = 3;
    m_nDensity = 4;
    ui::CDialog::OnInitDialog();
    std::memset(m_dotMap, 0, sizeof m_dotMap);
    return true;
}

void CMotionAreaDlg::DoDataExchange(ui::CDataExchange& dx)
{
    ui::DDX_Text(dx, IDC_MOTION_SENSITIVITY, m_nSensitivity);
    ui::DDX_Text(dx, IDC_MOTION_INTERVAL, m_nInterval);
    ui::DDX_Text(dx, IDC_MOTION_DENSITY, m_nDensity);
}

// --- the grid ----------------------------------------------------------------

void CMotionAreaDlg::OnPaint(ui::Canvas& dc)
{
    m_rcGrid = kGridRect;
    const ui::Rect& grid = m_rcGrid;

    // Until a file has been read, a grey band one cell wide around a bluish centre.
    if (!m_pBaseImage) {
        dc.FillSolidRect(grid, kBandGrey);
        const int band = m_nInset * kDotPitch + kLineInset;
        dc.FillSolidRect({grid.left + band, grid.top + band, grid.right - band, grid.bottom - band}, kCentreBlue);
    } else {
        DrawBaseImage(dc, {m_pBaseImage.get(), m_nBaseImageLength}, grid);
    }

    // A watched cell shows as 4 by 4 small red dots.
    RebuildDotMap();
    dc.SelectPen(1, kDotOutline);
    dc.SelectBrush(kDotRed);
    for (int m = 0; m < kDotRows; ++m) {
        for (int n = 0; n < kDotColumns; ++n) {
            if (m_dotMap[m * kDotColumns + n] == 0)
                continue;
            const int x = grid.left + kDotPitch * (n + 1);
            const int y = grid.top + kDotPitch * (m + 1);
            dc.Ellipse({x - kDotRadius, y - kDotRadius, x + kDotRadius, y + kDotRadius});
        }
    }

    // The lines frame the cells, 52 pixels apart.
    dc.SelectPen(1, kLineGrey);
    const int rowPitch = (grid.Height() / kDotRows) * 4;
    const int columnPitch = (grid.Width() / kDotColumns) * 4;
    for (int k = 0; k <= MotionAreaMap::kRows; ++k) {
        const int y = grid.top + kLineInset + k * rowPitch;
        dc.MoveTo({grid.left + kLineInset, y});
        dc.LineTo({grid.right - kLineInset, y});
    }
    for (int k = 0; k <= MotionAreaMap::kColumns; ++k) {
        const int x = grid.left + kLineInset + k * columnPitch;
        dc.MoveTo({x, grid.top + kLineInset});
        dc.LineTo({x, grid.bottom - kLineInset});
    }
}

void CMotionAreaDlg::RebuildDotMap()
{
    for (int m = 0; m < kDotRows; ++m)
        for (int n = 0; n < kDotColumns; ++n)
            m_dotMap[m * kDotColumns + n] = m_areaMap.At(m / 4, n / 4);
}

// The picture's refresh of the three boxes is the one the window makes on
// every repaint while a file is loaded: the boxes then show the stored values.
void CMotionAreaDlg::DrawBaseImage(ui::Canvas& dc, std::span<const std::uint8_t> jpeg, const ui::Rect& rect)
{
    if (jpeg.empty())
        return;
    UpdateData(false);
    if (!qzr::HasJpegStart(jpeg))
        return;
    // Stretched over the grid whatever its proportions; bytes that do not
    // decode draw nothing.
    dc.DrawJpeg(jpeg, rect);
}

std::optional<CMotionAreaDlg::Cell> CMotionAreaDlg::HitTestCell(const ui::Rect& grid, ui::Point p)
{
    const int column = (p.x - grid.left - kDotPitch) / (4 * kDotPitch);
    const int row = (p.y - grid.top - kDotPitch) / (4 * kDotPitch);
    if (row < 0 || row >= MotionAreaMap::kRows || column < 0 || column >= MotionAreaMap::kColumns)
        return std::nullopt;
    return Cell{row, column};
}

void CMotionAreaDlg::OnLButtonDown(ui::Point p)
{
    const ui::Rect& grid = m_rcGrid;
    if (p.x <= grid.left || p.x >= grid.right || p.y <= grid.top || p.y >= grid.bottom)
        return;
    if (const auto cell = HitTestCell(grid, p)) {
        Toggle(m_areaMap.At(cell->row, cell->column));
        Invalidate(true);
    }
}

// The second click of a double click changes nothing: the cell keeps the
// state the first click gave it.
void CMotionAreaDlg::OnLButtonDblClk(ui::Point) {}

// --- quick selection -----------------------------------------------------------

void CMotionAreaDlg::Watch(int r0, int r1, int c0, int c1)
{
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            m_areaMap.At(r, c) = 1;
    Invalidate(true);
}

void CMotionAreaDlg::SetAll(std::uint8_t value)
{
    m_areaMap.cells.fill(value);
    Invalidate(true);
}

void CMotionAreaDlg::Reverse()
{
    for (std::uint8_t& cell : m_areaMap.cells)
        Toggle(cell);
    Invalidate(true);
}

// The arrows step the stored value, not the text in the box: a typed value
// becomes the stored one only through OK. The up arrow reports -1.
void CMotionAreaDlg::OnDeltaposSensitivity(int delta)
{
    if (delta == 1 && m_nSensitivity > kMinSensitivity)
        --m_nSensitivity;
    else if (delta == -1 && m_nSensitivity < kMaxSensitivity)
        ++m_nSensitivity;
    UpdateData(false);
}

// --- the base image ------------------------------------------------------------

void CMotionAreaDlg::OnImportBaseImage()
{
    // Files ending .jpeg are listed with those ending .jpg, as the filter's name promises.
    ui::FileDialogOptions options;
    options.filter = "*.jpeg|*.jpg;*.jpeg";
    options.hideReadOnly = true;
    const std::optional<std::string> path = GetOpenFileName(options);
    if (!path)
        return;
    LoadBaseImage(*path);
    Invalidate(true);
}

void CMotionAreaDlg::LoadBaseImage(const std::string& path)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    struct stat info {};
    // Only a regular file has a length to read; a folder or a device is not one.
    if (!file || ::fstat(::fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode)) {
        MessageBox("文件打开失败");
        return;
    }
    const auto length = static_cast<std::size_t>(info.st_size);
    if (length > kMaxBaseImage) {
        MessageBox("文件长度超出500K");
        return;
    }
    if (!m_pBaseImage || m_nBaseImageCapacity < length) {
        m_pBaseImage = std::make_unique<std::uint8_t[]>(length);
        m_nBaseImageCapacity = length;
    }
    // At most `length` bytes, never more than the buffer holds.
    const std::size_t read = length == 0 ? 0 : std::fread(m_pBaseImage.get(), 1, length, file.get());
    if (read == length) {
        m_nBaseImageLength = length;
    } else {
        m_nBaseImageLength = 0;
        MessageBox("读入的文件长度不对");
    }
}
