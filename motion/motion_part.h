#pragma once

#include <cstdint>

#include "protocol/motion.h"
#include "session/part.h"

// Motion detection: the "Motion Detection" button runs the area dialog and,
// on OK, keeps the area in "pos.txt" and "posText.txt" in the working
// directory and sends it to the camera in one frame; a camera's motion alarm
// is shown in the log box with the camera's number.
class CMotionPart final : public qzr::CDialogPart {
public:
    explicit CMotionPart(qzr::CSession& session) : CDialogPart(session) {}

    void AddControls(qzr::PartControls& controls) override;
    void AddRoutes(qzr::ReplyRouter& router) override;

    void OnMotionDetection();
    // The confirmed area's 108 cell bytes, as they are.
    void SaveMotionArea();
    // The area frame, CRC included, as spaced hexadecimal text.
    void SaveMotionAreaText();
    // The area frame, one byte per write; not a frame to resend, and no reply is awaited.
    void SendMotionArea();
    // `cameraId` is the camera that saw motion, whichever camera the console addresses.
    void ShowMotionAlarm(std::uint8_t cameraId);

private:
    qzr::Bytes MotionAreaFrame();

    // The last confirmed area and values (the low 8 bits of what was typed).
    qzr::MotionAreaMap m_motionArea;
    std::uint8_t m_nMotionSensitivity = 0;
    std::uint8_t m_nMotionInterval = 0;
    std::uint8_t m_nMotionDensity = 0;
};
