// Drawing on a headless window: what is recorded, repaints, and pictures.
#include <gtest/gtest.h>

#include "tests/ui/test_jpeg.h"
#include "tests/ui/test_window.h"

namespace qzr::test {
namespace {

using headless::DrawOp;
using headless::HeadlessBackend;

class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override { backend.Open(dlg); }
    void TearDown() override { backend.Close(dlg); }

    HeadlessBackend backend;
    headless::CurrentBackendScope scope{backend};
    CTestDlg dlg;
};

TEST_F(CanvasTest, RecordsEveryOperationOfAPaint)
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
    EXPECT_EQ(backend.RepaintCount(dlg), 1);

    // Without erasing, the new paint goes over what is there.
    dlg.Invalidate(false);
    EXPECT_EQ(backend.DrawOps(dlg).size(), 2 * once.size());
    // Erasing starts again from a clean window.
    dlg.Invalidate(true);
    EXPECT_EQ(backend.DrawOps(dlg), once);
    EXPECT_EQ(backend.RepaintCount(dlg), 3);

    // Drawing outside a paint is recorded as well.
    dlg.GetDC()->FillSolidRect({0, 0, 1, 1}, 0);
    EXPECT_EQ(backend.DrawOps(dlg).size(), once.size() + 1);
}

TEST_F(CanvasTest, PicturesAreDecodedAndAnnounced)
{
    const std::vector<std::uint8_t> jpeg = MakeJpeg(64, 48);
    const auto size = dlg.GetDC()->DrawJpeg(jpeg, {10, 20, 310, 220});
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(*size, (ui::Size{64, 48}));
    EXPECT_EQ(backend.Events(), std::vector<std::string>{"picture: 64x48 at 10,20,300,200"});
    ASSERT_EQ(backend.Pictures().size(), 1u);
    EXPECT_EQ(backend.Pictures()[0].target, (ui::Rect{10, 20, 310, 220}));
    EXPECT_EQ(backend.DrawOps(dlg).back().kind, DrawOp::Kind::Picture);
    EXPECT_EQ(backend.JpegSize(jpeg), (ui::Size{64, 48}));
}

TEST_F(CanvasTest, BytesThatDoNotDecodeDrawNothing)
{
    const std::vector<std::uint8_t> jpeg = MakeJpeg(16, 16);
    const std::vector<std::vector<std::uint8_t>> broken = {
        {},
        {0xFF, 0xD8, 0xFF, 0xE0},
        std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + 20),
        std::vector<std::uint8_t>(500, 0x55),
    };
    for (const auto& bytes : broken) {
        EXPECT_FALSE(dlg.GetDC()->DrawJpeg(bytes, {0, 0, 10, 10}).has_value()) << bytes.size();
        EXPECT_FALSE(backend.JpegSize(bytes).has_value()) << bytes.size();
    }
    EXPECT_TRUE(backend.Events().empty());
    EXPECT_TRUE(backend.DrawOps(dlg).empty());
}

}  // namespace
}  // namespace qzr::test
