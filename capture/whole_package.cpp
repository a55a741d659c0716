#include "capture/whole_package.h"

#include <cstdio>
#include <cstring>

#include "app/camera_test_dlg.h"
#include "protocol/frame.h"
#include "protocol/snapshot.h"

void CWholePackageReceiver::Begin()
{
    m_bAwaitHeader = true;
    m_nChunkCount = 0;
}

void CWholePackageReceiver::OnChunk(std::span<const std::uint8_t> chunk)
{
    CCameraTestDlg& dlg = m_dialog;
    const auto n = static_cast<std::uint32_t>(chunk.size());
    std::uint8_t* image = dlg.m_pImage.get();

    if (m_bAwaitHeader) {
        // A stray byte or two before the reply is not its header.
        if (n <= 3)
            return;
        m_bAwaitHeader = false;
        if (qzr::IsSnapshotReplyHead(chunk) && n <= CCameraTestDlg::kImageBufferSize) {
            std::memcpy(image, chunk.data(), n);
            dlg.m_nImageReceived = n;
            m_nChunkCount = 0;
            dlg.m_strStatus = "Received image header - Correct";
        } else {
            // Later chunks are gathered from the start of the buffer.
            dlg.m_strStatus = "Received image header - Error";
        }
    } else {
        if (dlg.m_nImageReceived + n > CCameraTestDlg::kImageBufferSize) {
            dlg.AppendToLog("\r\n图像过大，缓冲区内存不足\r\n");
            return;
        }
        std::memcpy(image + dlg.m_nImageReceived, chunk.data(), n);
        dlg.m_nImageReceived += n;
        ++m_nChunkCount;
        // The JPEG start where the length should be: the camera left it out.
        const std::uint8_t* length = image + qzr::snapshot::kLengthOffset;
        if (m_nChunkCount == 1 && dlg.m_nImageReceived >= qzr::snapshot::kDataOffset && length[0] == 0xFF &&
            length[1] == 0xD8 && length[2] == 0xFF)
            dlg.m_strStatus = "长度数据丢失";
    }

    if (dlg.m_nImageReceived < qzr::snapshot::kOverhead)
        return;
    const std::uint32_t length = qzr::ReadLe24(image + qzr::snapshot::kLengthOffset);
    char text[128];
    std::snprintf(text, sizeof text, "Image data length:%u--received length：%u", length, dlg.m_nImageReceived);
    dlg.m_strLog = text;
    dlg.ShowTexts();

    if (dlg.m_nImageReceived >= qzr::SnapshotReplyLength(length)) {
        dlg.Capture().m_bSnapshotPending = false;
        // Exactly the picture: the check field that follows it is not JPEG data.
        dlg.Capture().View().ShowPicture(image + qzr::snapshot::kDataOffset, length);
        dlg.AppendToLog("---OK");
        dlg.ShowTexts();
    }
}
