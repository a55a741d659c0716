#include "firmware/firmware_part.h"

#include <algorithm>
#include <cstdio>

#include "protocol/commands.h"
#include "protocol/osd.h"
#include "protocol/text_codec.h"
#include "res/resource.h"
#include "session/session.h"
#include "ui/data_exchange.h"

namespace {

// The camera takes program bytes in pieces, each followed by a pause.
constexpr std::size_t kPieceSize = 128;
constexpr unsigned kPiecePauseMs = 5;
constexpr unsigned kRequestPauseMs = 10;

}  // namespace

CFirmwarePart::CFirmwarePart(qzr::CSession& session) : CDialogPart(session) { session.m_services.firmware = this; }

void CFirmwarePart::AddControls(qzr::PartControls& controls)
{
    controls.OnClicked(IDC_SEND_OSD, [this] { OnSendOsd(); });
    controls.OnClicked(IDC_OPEN_FIRMWARE, [this] { OnOpenFirmware(); });
    controls.OnClicked(IDC_UPLOAD, [this] { OnUpload(); });
    controls.OnClicked(IDC_CANCEL_UPLOAD, [this] { OnCancelUpload(); });
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

// ---------------------------------------------------------------- firmware upgrade

void CFirmwarePart::OnOpenFirmware()
{
    ui::CDialog& window = Window();
    ui::FileDialogOptions options;
    options.hideReadOnly = true;
    const std::optional<std::string> path = window.GetOpenFileName(options);
    if (!path)
        return;
    switch (m_upgrade.Load(*path)) {
    case CFirmwareUpgrade::LoadResult::CannotOpen:
        window.MessageBox("文件打开失败");
        return;
    case CFirmwareUpgrade::LoadResult::TooLarge:
        window.MessageBox("程序过大，请检查是否错了");
        return;
    case CFirmwareUpgrade::LoadResult::Loaded:
        break;
    }
    const qzr::UpgradePlan& plan = m_upgrade.Plan();
    const int length = static_cast<int>(m_upgrade.ProgramLength());
    char text[128];
    if (plan.lastLength > 0)
        std::snprintf(text, sizeof text, "程序长度：%d   包数：%d  最后包长：%d", length, plan.packetCount, plan.lastLength);
    else
        std::snprintf(text, sizeof text, "程序长度：%d   包数：%d  刚好全是整包", length, plan.packetCount);
    Session().m_strLog = text;
    window.UpdateData(false);
    ShowProgress();
}

void CFirmwarePart::OnUpload()
{
    ui::CDialog& window = Window();
    qzr::CSession& session = Session();
    window.EnableControl(IDC_UPLOAD, false);
    if (m_upgrade.Upgrading()) {
        window.MessageBox("已启动更新，需要停止后，才能重新启动更新");
        return;
    }
    if (m_upgrade.SelectedLength() == 0) {
        window.MessageBox("No file is selected");
        return;
    }
    if (!session.Port().IsOpen())
        return;

    qzr::Bytes frame = qzr::BuildUpgradeStart(session.CameraId(), m_upgrade.Plan());
    qzr::StampCrc(frame);
    const std::uint16_t crc = qzr::CarriedCrc(frame);
    char crcText[16];
    std::snprintf(crcText, sizeof crcText, "%x %x", crc & 0xFF, crc >> 8);
    // The start frame's check bytes show in the CRC calculator's box. Read
    // back at once, they are the calculator's value too, so that a later
    // refresh of the window keeps them there.
    window.UpdateData(false);
    window.SetDlgItemText(IDC_CRC_OUTPUT, crcText);
    window.UpdateData(true);
    session.SendFrameBytewise(frame);
    m_upgrade.Start();
    ShowProgress();
}

void CFirmwarePart::OnCancelUpload()
{
    m_upgrade.Stop();
    Window().EnableControl(IDC_UPLOAD, true);
    ShowProgress();
}

void CFirmwarePart::HandleUpgradeRequest()
{
    qzr::CSession& session = Session();
    // Only the text boxes are refreshed on the tick: a box the operator ticks
    // or a field being typed into keeps its value during an upgrade.
    session.ShowTexts();
    ShowProgress();

    std::uint8_t chunk[qzr::upgrade::kRequestBufferSize];
    std::uint32_t n = sizeof chunk;
    if (!session.Port().Read(chunk, n) || n == 0)
        return;
    qzr::UpgradeRequestGatherer& gathered = m_upgrade.Request();
    gathered.Offer({chunk, n});
    if (gathered.Empty())
        return;

    const qzr::UpgradeRequest request = qzr::ReadUpgradeRequest(gathered.Gathered(), session.m_nCameraId);
    switch (request.state) {
    case qzr::UpgradeRequestState::Waiting:
        return;
    case qzr::UpgradeRequestState::OtherCamera:
        // A request for another camera is not ours to answer; its bytes would
        // otherwise stand in front of every later request.
        session.m_strLog = "地址不对";
        gathered.Clear();
        session.ShowTexts();
        return;
    case qzr::UpgradeRequestState::TooLong:
    case qzr::UpgradeRequestState::Incomplete:
        session.m_strLog = "请求帧  长度不够";
        // A length the buffer can never hold would stall every later request.
        if (request.state == qzr::UpgradeRequestState::TooLong)
            gathered.Clear();
        session.ShowTexts();
        return;
    case qzr::UpgradeRequestState::Complete:
        break;
    }
    // A request with a broken check field is still answered: the camera
    // checks the packet it gets.
    if (!request.crcOk)
        session.m_strLog = "CRC  error";
    if (request.command == qzr::CMD_UPGRADE_PACKET_REQUEST) {
        Window().Sleep(kRequestPauseMs);
        if (request.index < m_upgrade.Plan().packetCount)
            SendFirmwarePacket(request.index);
    } else if (request.command == qzr::CMD_UPGRADE_DONE) {
        session.m_strLog += "   更新完成!!";
        OnCancelUpload();
    }
    gathered.Clear();
    session.ShowTexts();
}

void CFirmwarePart::SendFirmwarePacket(std::uint16_t index)
{
    qzr::CSession& session = Session();
    qzr::CSerialPort& port = session.Port();
    const std::span<const std::uint8_t> data = m_upgrade.PacketData(index);
    const qzr::Bytes packet = qzr::BuildUpgradePacket(session.CameraId(), index, data);
    const std::size_t dataEnd = packet.size() - 2;
    const std::uint8_t* bytes = packet.data();

    // A write the line refuses ends the packet: the rest would only wait out
    // the write time-out piece after piece, and the camera asks again.
    if (!port.Write(bytes, static_cast<std::uint32_t>(qzr::upgrade::kPacketHeadLength)))
        return;
    char text[128];
    std::snprintf(text, sizeof text, "发送程序包  第 %d 包  共 %d 包   包长：%d ", index + 1,
                  m_upgrade.Plan().packetCount, static_cast<int>(data.size() + 2));
    session.m_strLog = text;
    session.ShowTexts();
    for (std::size_t at = qzr::upgrade::kPacketHeadLength; at < dataEnd;) {
        const std::size_t piece = std::min(kPieceSize, dataEnd - at);
        if (!port.Write(bytes + at, static_cast<std::uint32_t>(piece)))
            return;
        Window().Sleep(kPiecePauseMs);
        at += piece;
    }
    if (!port.Write(bytes + dataEnd, 2))
        return;
    m_upgrade.PacketServed(index);
    ShowProgress();
}

void CFirmwarePart::ShowProgress() { Window().SetProgress(IDC_FIRMWARE_PROGRESS, m_upgrade.Progress()); }

// ---------------------------------------------------------------- on-screen text

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
