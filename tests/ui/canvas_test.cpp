// Drawing on a headless window: what is recorded, repaints, and pictures.
#include <QtCore/QBuffer>
#include <QtGui/QImage>
#include <gtest/gtest.h>

#include "tests/ui/test_window.h"

namespace qzr::test {
namespace {

// A real JPEG of one colour, made by the toolkit's encoder.
std::vector<std::uint8_t> MakeJpeg(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 80);
    return {bytes.begin(), bytes.end()};
}

using headless::DrawOp;
using CanvasTest = WindowTest;

TEST_F(CanvasTest, RecordsEveryOperationUntilAnErasingRepaint)
{
    dlg.m_paint = [](ui::Canvas& dc) {
        dc.FillSolidRect({0, 0, 10, 10}, ui::RGB(255, 0, 0));
        dc.SelectPen(2, ui::RGB(0, 255, 0));
        dc.SelectBrush(ui::RGB(0, 0, 255));
        dc.Ellipse({1, 2, 3, 4});
        dc.MoveTo({5, 6});
        dc.LineTo({7, 8});
    };
    dlg.Invalidate(true);
    const std::vector<DrawOp> once = {
        {DrawOp::Kind::FillSolidRect, {0, 0, 10, 10}, 0x0000FF, 0, {}, {}},
        {DrawOp::Kind::SelectPen, {}, 0x00FF00, 2, {}, {}},
        {DrawOp::Kind::SelectBrush, {}, 0xFF0000, 0, {}, {}},
        {DrawOp::Kind::Ellipse, {1, 2, 3, 4}, 0, 0, {}, {}},
        {DrawOp::Kind::MoveTo, {}, 0, 0, {5, 6}, {}},
        {DrawOp::Kind::LineTo, {}, 0, 0, {7, 8}, {}},
    };
    EXPECT_EQ(backend.DrawOps(dlg), once);
    dlg.Invalidate(false);  // paints over what is there
    EXPECT_EQ(backend.DrawOps(dlg).size(), 2 * once.size());
    dlg.Invalidate(true);
    EXPECT_EQ(backend.DrawOps(dlg), once);
    EXPECT_EQ(backend.RepaintCount(dlg), 3);
}

TEST_F(CanvasTest, PicturesAreDecodedAndAnnouncedBrokenOnesDrawNothing)
{
    const std::vector<std::uint8_t> jpeg = MakeJpeg(64, 48);
    for (const std::vector<std::uint8_t>& broken :
         {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{0xFF, 0xD8, 0xFF, 0xE0},
          std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + 20)})
        EXPECT_FALSE(dlg.GetDC()->DrawJpeg(broken, {0, 0, 10, 10})) << broken.size();
    EXPECT_TRUE(backend.DrawOps(dlg).empty());

    EXPECT_EQ(dlg.GetDC()->DrawJpeg(jpeg, {10, 20, 310, 220}), (ui::Size{64, 48}));
    EXPECT_EQ(backend.Events(), std::vector<std::string>{"picture: 64x48 at 10,20,300,200"});
    EXPECT_EQ(backend.DrawOps(dlg).back().kind, DrawOp::Kind::Picture);  // drawn outside a paint
    EXPECT_EQ(backend.JpegSize(jpeg), (ui::Size{64, 48}));
}

// The overlay covers for a while: it keeps its drawing through erasing
// repaints, and clearing it leaves the window's own drawing as it was, with no
// picture drawn again.
TEST_F(CanvasTest, OverlayIsKeptApartAndClearedWithoutRedrawing)
{
    const std::vector<std::uint8_t> jpeg = MakeJpeg(32, 16);
    dlg.GetDC()->DrawJpeg(jpeg, {0, 0, 32, 16});
    const std::vector<DrawOp> below = backend.DrawOps(dlg);
    auto overlay = dlg.GetOverlayDC();
    overlay->FillSolidRect({0, 0, 40, 20}, ui::RGB(255, 255, 255));
    overlay->TextOut({4, 5}, "峰值 987,654", ui::RGB(200, 0, 0));
    const std::vector<DrawOp> chart = {
        {DrawOp::Kind::FillSolidRect, {0, 0, 40, 20}, 0xFFFFFF, 0, {}, {}},
        {DrawOp::Kind::Text, {}, 0x0000C8, 0, {4, 5}, {}, "峰值 987,654"},
    };
    EXPECT_EQ(backend.OverlayOps(dlg), chart);
    EXPECT_EQ(backend.DrawOps(dlg), below);

    dlg.Invalidate(true);
    EXPECT_EQ(backend.OverlayOps(dlg), chart);
    backend.ClearRecords();
    dlg.ClearOverlay();
    EXPECT_TRUE(backend.OverlayOps(dlg).empty());
    EXPECT_TRUE(backend.Events().empty()) << "nothing drawn anew";
}

}  // namespace
}  // namespace qzr::test
