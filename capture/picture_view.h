#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "ui/types.h"

class CCapturePart;
namespace qzr {
class CSession;
}

// The picture area of the main window: draws a finished picture into it and,
// when "Save" is ticked, writes it to a file named after the local time.
class CPictureView {
public:
    CPictureView(qzr::CSession& session, CCapturePart& capture) : m_session(session), m_capture(capture) {}

    // Places the picture rectangle inside the picture frame (first call only).
    void OnPaint();
    // Draws and saves a finished picture; the transfer is then complete.
    void ShowPicture(std::span<const std::uint8_t> jpeg);
    // 1 when the bytes were handed to the decoder, 0 when they were rejected.
    int DrawJpeg(std::span<const std::uint8_t> jpeg, const ui::Rect& target);
    void SavePicture(std::span<const std::uint8_t> jpeg);
    // Forgets the resolution shown last, so the next picture clears the area first.
    void ForgetShownResolution() { m_nShownResolution = 0; }

private:
    qzr::CSession& m_session;
    CCapturePart& m_capture;
    ui::Rect m_rcPicture;
    bool m_bRectReady = false;
    std::uint8_t m_nShownResolution = 0;
};

// "%s/YYYYMMDD-HHMMSS.jpg" for the time; when that file was already written in
// this second, "-2", "-3" ... go before ".jpg" so no picture replaces another.
std::string PictureFileName(const std::string& directory, const ui::DateTime& time, int sequence);
