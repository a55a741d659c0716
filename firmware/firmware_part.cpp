#include "firmware/firmware_part.h"

#include "protocol/osd.h"
#include "protocol/text_codec.h"
#include "res/resource.h"
#include "session/session.h"
#include "ui/data_exchange.h"

void CFirmwarePart::AddControls(qzr::PartControls& controls)
{
    controls.OnClicked(IDC_SEND_OSD, [this] { OnSendOsd(); });
}

void CFirmwarePart::DoDataExchange(ui::CDataExchange& dx)
{
    ui::DDX_Text(dx, IDC_OSD_TEXT, m_strOsdText);
    ui::DDX_Text(dx, IDC_OSD_X, m_nOsdX);
    ui::DDX_Text(dx, IDC_OSD_Y, m_nOsdY);
    ui::DDX_Text(dx, IDC_OSD_SIZE, m_nOsdSize);
}

void CFirmwarePart::SetDefaults()
{
    m_nOsdX = 10;
    m_nOsdY = 1;
    m_nOsdSize = 16;
}

void CFirmwarePart::OnSendOsd()
{
    qzr::CSession& session = Session();
    Window().UpdateData(true);
    if (!session.Port().IsOpen()) {
        Window().MessageBox("Please open the serial port first");
        return;
    }
    const auto text = qzr::Utf8ToGbk(m_strOsdText);
    if (!text) {
        Window().MessageBox("OSD text holds characters the camera cannot show (not in GBK); nothing was sent.");
        return;
    }
    if (text->size() > qzr::kMaxOsdTextBytes) {
        Window().MessageBox("字数不能超过100个");
        return;
    }
    // Written in one piece with its fixed tail; it is not a frame to resend.
    const qzr::Bytes frame = qzr::BuildOsdFrame(session.CameraId(), m_nOsdX, m_nOsdY, m_nOsdSize, *text);
    session.Port().Write(frame.data(), static_cast<std::uint32_t>(frame.size()));
}
