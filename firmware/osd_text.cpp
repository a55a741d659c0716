#include "firmware/osd_text.h"

#include "app/camera_test_dlg.h"
#include "protocol/osd.h"
#include "protocol/text_codec.h"

void COsdText::OnSendOsd()
{
    CCameraTestDlg& dlg = m_dialog;
    dlg.UpdateData(true);
    if (!dlg.m_port.IsOpen()) {
        dlg.MessageBox("Please open the serial port first");
        return;
    }
    const auto text = qzr::Utf8ToGbk(dlg.m_strOsdText);
    if (!text) {
        dlg.MessageBox("OSD text holds characters the camera cannot show (not in GBK); nothing was sent.");
        return;
    }
    if (text->size() > qzr::kMaxOsdTextBytes) {
        dlg.MessageBox("字数不能超过100个");
        return;
    }
    // Written in one piece with its fixed tail; it is not a frame to resend.
    const qzr::Bytes frame = qzr::BuildOsdFrame(static_cast<std::uint8_t>(dlg.m_nCameraId & 0xFF), dlg.m_nOsdX, dlg.m_nOsdY,
                                                dlg.m_nOsdSize, *text);
    dlg.m_port.Write(frame.data(), static_cast<std::uint32_t>(frame.size()));
}
