#include "capture/whole_package.h"

#include "capture/capture_part.h"
#include "protocol/commands.h"
#include "protocol/snapshot.h"
#include "session/session.h"
#include "ui/format.h"

void CWholePackageReceiver::AddRoutes(qzr::ReplyRouter& router)
{
    router.Add({qzr::ReplyPoint::WholeExpected, qzr::kAnyLength, qzr::kAnyCommand,
                [this](qzr::Reply) { return m_session.m_nExpectedReply == qzr::CMD_SNAPSHOT; },
                [this](qzr::Reply chunk) {
                    OnChunk(chunk);
                    return qzr::RouteResult::Taken;
                }});
}

void CWholePackageReceiver::Begin()
{
    m_bAwaitHeader = true;
    m_nChunkCount = 0;
}

void CWholePackageReceiver::OnChunk(std::span<const std::uint8_t> chunk)
{
    qzr::CSession& session = m_session;
    qzr::CPictureBuffer& picture = session.Picture();

    if (m_bAwaitHeader) {
        // A stray byte or two before the reply is not its header.
        if (chunk.size() <= 3)
            return;
        m_bAwaitHeader = false;
        if (qzr::IsSnapshotReplyHead(chunk)) {
            picture.ResetReceived();
            picture.Append(chunk);
            m_nChunkCount = 0;
            session.m_strStatus = "Received image header - Correct";
        } else {
            // Later chunks are gathered from the start of the buffer.
            session.m_strStatus = "Received image header - Error";
        }
    } else {
        if (session.RefuseOverflow(chunk.size()))
            return;
        picture.Append(chunk);
        // The JPEG start where the length should be: the camera left it out.
        if (++m_nChunkCount == 1 && qzr::SnapshotLengthMissing(picture.ReceivedBytes()))
            session.m_strStatus = "长度数据丢失";
    }

    const auto gathered = qzr::ReadGatheredSnapshot(picture.ReceivedBytes());
    if (!gathered)
        return;
    session.m_strLog = ui::Format("Image data length:%u--received length：%u", gathered->pictureLength, picture.Received());
    session.ShowTexts();
    if (!m_capture.Progress().Running())
        m_capture.Progress().Begin(qzr::SnapshotReplyLength(gathered->pictureLength));
    m_capture.Progress().Advance(picture.Received());

    if (gathered->complete) {
        m_capture.Progress().End();
        session.Watchdog().SnapshotArrived();
        // Exactly the picture: the check field that follows it is not JPEG data.
        m_capture.OnPictureReceived(gathered->picture, [&session] {
            session.AppendToLog("---OK");
            session.ShowTexts();
        });
    }
}
