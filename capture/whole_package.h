#pragma once

#include <span>

#include "session/reply_router.h"

class CCapturePart;
namespace qzr {
class CSession;
}

// Reception of a whole-package picture: one CMD_SNAPSHOT reply gathered into
// the picture buffer across as many reads as it takes.
class CWholePackageReceiver {
public:
    CWholePackageReceiver(qzr::CSession& session, CCapturePart& capture) : m_session(session), m_capture(capture) {}

    // The reply's chunks while a picture is awaited.
    void AddRoutes(qzr::ReplyRouter& router);
    // A request went out: the next chunk of more than 3 bytes is the header.
    void Begin();
    // One chunk of the reply.
    void OnChunk(std::span<const std::uint8_t> chunk);

private:
    qzr::CSession& m_session;
    CCapturePart& m_capture;
    bool m_bAwaitHeader = true;
    int m_nChunkCount = 0;  // chunks appended after the header
};
