// The stored pictures of the burst test window: the list of names the camera
// sends for a date, and the retrieval of one picture packet by packet into
// the main window's picture buffer, where it is drawn at the picture area's
// height.
#include <algorithm>
#include <string>

#include "burst/burst_test_dlg.h"
#include "protocol/burst.h"
#include "protocol/subpacket.h"
#include "protocol/text_codec.h"
#include "res/resource.h"
#include "session/session.h"
#include "ui/format.h"

namespace {

constexpr ui::Color kAreaGrey = ui::RGB(200, 200, 220);
constexpr unsigned kInfoWaitMs = 50;
constexpr unsigned kNextPacketWaitMs = 20;
constexpr unsigned kPacketRequestWaitMs = 100;

}  // namespace

void CBurstTestDlg::PrepareFileList()
{
    ui::CListCtrl list = List(IDC_BURST_FILES);
    const int width = list.GetClientWidth();
    list.InsertColumn(0, "Serial No", width / 5);
    list.InsertColumn(1, "File name", width * 3 / 5);
    list.InsertColumn(2, "Remarks", width / 5);
}

void CBurstTestDlg::OnRequestFileList()
{
    List(IDC_BURST_FILES).DeleteAllItems();
    m_nListCount = 0;
    m_nRxLen = 0;
    UpdateData(true);

    const ui::DateTime date = DateTimeCtrl(IDC_BURST_DATE).GetTime();
    m_strPortInfo = ui::FormatDateTime(date, "%Y-%m-%d %H:%M:%S");
    // "After the date" counts only when its radio is the selected one; with
    // neither selected the camera looks before the date.
    bool after = false;
    if (m_nBeforeRadio == 0)
        after = false;
    if (m_nAfterRadio == 0)
        after = true;
    qzr::ListFilesRequest request{static_cast<std::uint8_t>(m_nRequestCount & 0xFF), after, std::nullopt};
    if (!m_bLastImage)
        request.from = qzr::CameraTime{date.year, date.month, date.day, date.hour, date.minute, date.second};
    WriteBytes(qzr::BuildListFilesRequest(m_cameraId, request));

    m_strBurstLog.clear();
    UpdateData(false);
}

qzr::RouteResult CBurstTestDlg::HandleFileList(qzr::Reply frame)
{
    if (qzr::LengthField(frame) == 0)
        MessageBox("没有你要找的图片文件");
    ShowTexts();
    for (const std::span<const std::uint8_t> entry : qzr::FileListEntries(frame))
        AddFileEntry(entry);
    m_strBurstLog = ui::Format("共有%d个图片文件", m_nListCount);
    return qzr::RouteResult::Taken;
}

void CBurstTestDlg::AddFileEntry(std::span<const std::uint8_t> entry)
{
    // Names come in the camera's code page.
    const std::string_view text = qzr::FileEntryText(entry);
    if (text.size() != qzr::burst::kNameLength) {
        MessageBox(qzr::GbkToUtf8(text));
        return;
    }
    ui::CListCtrl list = List(IDC_BURST_FILES);
    const int row = list.InsertItem(m_nListCount, std::to_string(m_nListCount + 1));
    list.SetItemText(row, 1, qzr::GbkToUtf8(text));
    ++m_nListCount;
}

void CBurstTestDlg::OnFileDblClk()
{
    ui::CListCtrl list = List(IDC_BURST_FILES);
    const int row = list.GetFirstSelected();
    if (row < 0)
        return;
    const std::string name = list.GetItemText(row, 1);
    MessageBox(name);
    m_nRxLen = 0;
    RequestFile(name);
}

void CBurstTestDlg::RequestFile(const std::string& name)
{
    const std::optional<qzr::Bytes> cameraName = qzr::Utf8ToGbk(name);
    if (!cameraName || cameraName->size() != qzr::burst::kNameLength) {
        MessageBox("文件名长度不是17个字，错误");
        return;
    }
    const qzr::GetFileRequest request{static_cast<std::uint16_t>(m_nFilePacketSize),
                                      std::string(cameraName->begin(), cameraName->end())};
    WriteBytes(qzr::BuildGetFileRequest(m_cameraId, request));
    m_strBurstLog = name;
    ShowTexts();
    m_progress.End();
    m_shownPicture.clear();
    m_rcImage = PictureArea();
    if (auto dc = GetDC())
        dc->FillSolidRect(m_rcImage, kAreaGrey);
}

qzr::RouteResult CBurstTestDlg::HandlePictureInfo(qzr::Reply frame)
{
    // The buffer holds exactly one frame, so 19 bytes are a payload of 11.
    const std::optional<qzr::SimpleSubPacketReply> info = qzr::ParseSimpleSubPacketReply(frame);
    if (!info) {
        m_strBurstLog = "分包（精简）返回指令字节数不对";
        ShowTexts();
        return qzr::RouteResult::Taken;
    }
    m_strPortInfo = ui::Format("返回分包大小:%u", info->packetSize);
    Sleep(kInfoWaitMs);
    m_strBurstLog = ui::Format("图片长度=%u  \r\n总包数=%u   \r\n分包大小=%u\r\n", info->pictureSize, info->packetTotal,
                               info->packetSize);
    // Packets are placed at steps of the size this window asked for; the
    // size the camera reports is only shown.
    m_nFilePacketCount = info->packetTotal;
    m_strPortInfo = ui::Format("Data Len=%u package=%u ", info->pictureSize, info->packetTotal);
    m_nFilePacketIndex = 0;
    m_nFileReceived = 0;
    if (m_nFilePacketCount > 0) {
        m_progress.Begin(info->pictureSize);
        RequestFilePacket(0);
    }
    ShowTexts();
    return qzr::RouteResult::Taken;
}

void CBurstTestDlg::RequestFilePacket(int packet)
{
    m_nRxLen = 0;
    Sleep(kPacketRequestWaitMs);
    WriteBytes(qzr::BuildGetPacketRequest(m_cameraId, static_cast<std::uint16_t>(packet)));
    m_strBurstLog += ui::Format("请求第 %d 包图像数据\r\n", packet + 1);
}

qzr::RouteResult CBurstTestDlg::StoreFilePacket(qzr::Reply frame)
{
    // A reply too short for its packet number carries nothing to place; one
    // whose data would end past the picture buffer is not written. Either is
    // dropped like a lost reply: the pull stops until the operator asks again.
    const std::optional<qzr::PacketReply> packet = qzr::ParsePacketReply(frame);
    if (!packet) {
        m_strPortInfo = "分包返回指令字节数不对";
        return qzr::RouteResult::Taken;
    }
    const std::size_t offset = static_cast<std::size_t>(m_nFilePacketSize) * packet->packetNumber;
    qzr::CPictureBuffer& picture = m_session.Picture();
    if (!picture.Store(offset, packet->data)) {
        m_strPortInfo = "图像过大，缓冲区内存不足";
        return qzr::RouteResult::Taken;
    }
    m_strPortInfo = "帧正确";
    ShowTexts();
    m_nFileReceived = static_cast<std::uint32_t>(
        std::min<std::size_t>(std::size_t{m_nFileReceived} + packet->data.size(), qzr::CPictureBuffer::kSize));
    m_progress.Advance(m_nFileReceived);

    // The number asked for next follows the count, whatever number arrived.
    if (m_nFilePacketIndex < m_nFilePacketCount - 1) {
        ++m_nFilePacketIndex;
        Sleep(kNextPacketWaitMs);
        RequestFilePacket(m_nFilePacketIndex);
    } else {
        m_progress.End();
        DrawFileImage(picture.View(0, m_nFileReceived));
        m_strBurstLog += "Show Jpeg--OK\r\n";
    }
    return qzr::RouteResult::Taken;
}

void CBurstTestDlg::DrawFileImage(std::span<const std::uint8_t> jpeg)
{
    m_shownPicture.clear();
    if (jpeg.empty() || !qzr::HasJpegStart(jpeg) || !ui::CurrentBackend().JpegSize(jpeg))
        return;
    // A copy: the main window's buffer may change before the next repaint.
    m_shownPicture.assign(jpeg.begin(), jpeg.end());
    if (auto dc = GetDC())
        DrawFileImage(*dc, m_shownPicture);
}

void CBurstTestDlg::DrawFileImage(ui::Canvas& canvas, std::span<const std::uint8_t> jpeg)
{
    const std::optional<ui::Size> size = ui::CurrentBackend().JpegSize(jpeg);
    if (!size || size->width <= 0 || size->height <= 0)
        return;
    // The area's full height, the picture's proportions, centred across; a
    // picture wider than the area in that proportion reaches beyond it.
    m_rcImage = PictureArea();
    const int height = m_rcImage.Height();
    const int width = static_cast<int>(static_cast<long long>(height) * size->width / size->height);
    const int x = (m_rcImage.left + m_rcImage.right) / 2 - width / 2;
    canvas.DrawJpeg(jpeg, {x, m_rcImage.top, x + width, m_rcImage.top + height});
}
