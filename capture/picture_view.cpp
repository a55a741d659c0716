#include "capture/picture_view.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "capture/capture_part.h"
#include "protocol/codes.h"
#include "protocol/frame.h"
#include "res/resource.h"
#include "session/session.h"

namespace {

constexpr ui::Color kClearGrey = ui::RGB(220, 220, 220);

}  // namespace

std::string PictureFileName(const std::string& directory, const ui::DateTime& t, int sequence)
{
    // Only the name is formatted in a fixed buffer: a working directory of any
    // length is kept whole, so the picture never lands beside it.
    char name[128];
    if (sequence <= 1)
        std::snprintf(name, sizeof name, "/%d%02d%02d-%02d%02d%02d.jpg", t.year, t.month, t.day, t.hour, t.minute,
                      t.second);
    else
        std::snprintf(name, sizeof name, "/%d%02d%02d-%02d%02d%02d-%d.jpg", t.year, t.month, t.day, t.hour, t.minute,
                      t.second, sequence);
    return directory + name;
}

void CPictureView::OnPaint()
{
    if (m_bRectReady)
        return;
    const ui::Rect frame = m_session.Window().GetClientRect(IDC_PICTURE);
    m_rcPicture = {240, 24, 240 + frame.Width() - 5, 24 + frame.Height() - 13};
    m_bRectReady = true;
}

void CPictureView::ShowPicture(std::span<const std::uint8_t> jpeg)
{
    // A window that was never painted still needs the picture rectangle.
    OnPaint();
    m_session.m_nExpectedReply = 0;
    const std::uint8_t code = m_capture.ResolutionCode();
    const qzr::PictureSize size = qzr::ResolutionSize(code);
    if (code != m_nShownResolution) {
        m_nShownResolution = code;
        if (auto dc = m_session.Window().GetDC())
            dc->FillSolidRect(m_rcPicture, kClearGrey);
    }
    ui::Rect target = m_rcPicture;
    if (size.width < m_rcPicture.Width() && size.height < m_rcPicture.Height()) {
        const int left = m_rcPicture.left + (m_rcPicture.Width() - size.width) / 2;
        const int top = m_rcPicture.top + (m_rcPicture.Height() - size.height) / 2;
        target = {left, top, left + size.width, top + size.height};
    }
    DrawJpeg(jpeg, target);
    SavePicture(jpeg);
}

int CPictureView::DrawJpeg(std::span<const std::uint8_t> jpeg, const ui::Rect& target)
{
    if (jpeg.empty())
        return 0;
    if (!qzr::HasJpegStart(jpeg)) {
        m_session.m_strStatus = "JPG格式不对";
        m_session.ShowTexts();
        return 0;
    }
    m_session.m_strStatus = "show JPG";
    m_session.ShowTexts();
    // Bytes the decoder rejects draw nothing and raise no message.
    if (auto dc = m_session.Window().GetDC())
        dc->DrawJpeg(jpeg, target);
    return 1;
}

void CPictureView::SavePicture(std::span<const std::uint8_t> jpeg)
{
    if (!m_capture.m_bSaveImage)
        return;
    // A working directory that has gone away gives "." and the file then
    // cannot be created, which the operator is told.
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd))
        std::snprintf(cwd, sizeof cwd, ".");
    const ui::DateTime now = m_session.Window().LocalTime();
    std::string path;
    std::error_code ec;
    for (int sequence = 1;; ++sequence) {
        path = PictureFileName(cwd, now, sequence);
        if (!std::filesystem::exists(path, ec))
            break;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        m_session.Window().MessageBox("打开文件失败");
        return;
    }
    std::fwrite(jpeg.data(), 1, jpeg.size(), file);
    std::fclose(file);
}
