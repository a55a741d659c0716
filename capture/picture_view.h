#pragma once

#include <cstdint>
#include <string>

#include "ui/types.h"

class CCameraTestDlg;

// The picture area of the main window: draws a finished picture into it and,
// when "Save" is ticked, writes it to a file named after the local time.
class CPictureView {
public:
    explicit CPictureView(CCameraTestDlg& dialog) : m_dialog(dialog) {}

    // Places the picture rectangle inside the picture frame (first call only).
    void OnPaint();
    // Draws and saves a finished picture; the transfer is then complete.
    void ShowPicture(const std::uint8_t* data, std::uint32_t length);
    // 1 when the bytes were handed to the decoder, 0 when they were rejected.
    int DrawJpeg(const std::uint8_t* data, std::uint32_t length, const ui::Rect& target);
    void SavePicture(const std::uint8_t* data, std::uint32_t length);
    // Forgets the resolution shown last, so the next picture clears the area first.
    void ForgetShownResolution() { m_nShownResolution = 0; }

    const ui::Rect& PictureRect() const { return m_rcPicture; }

private:
    CCameraTestDlg& m_dialog;
    ui::Rect m_rcPicture;
    bool m_bRectReady = false;
    std::uint8_t m_nShownResolution = 0;
};

// "%s/YYYYMMDD-HHMMSS.jpg" for the time; when that file was already written in
// this second, "-2", "-3" ... go before ".jpg" so no picture replaces another.
std::string PictureFileName(const std::string& directory, const ui::DateTime& time, int sequence);
