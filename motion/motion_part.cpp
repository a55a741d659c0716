#include "motion/motion_part.h"

#include <cstdio>
#include <memory>
#include <string>

#include "motion/motion_area_dlg.h"
#include "protocol/commands.h"
#include "res/resource.h"
#include "session/session.h"

namespace {

constexpr const char* kAreaFile = "pos.txt";
constexpr const char* kAreaTextFile = "posText.txt";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

void CMotionPart::AddControls(qzr::PartControls& controls)
{
    controls.OnClicked(IDC_MOTION_DETECTION, [this] { OnMotionDetection(); });
}

void CMotionPart::AddRoutes(qzr::ReplyRouter& router)
{
    // Only an alarm read whole in one poll of the whole-package reader counts.
    router.Add({qzr::ReplyPoint::WholeFramed, qzr::motion::kAlarmLength, qzr::CMD_MOTION_ALARM, {},
                [this](qzr::Reply chunk) {
                    const auto cameraId = qzr::ParseMotionAlarm(chunk);
                    if (!cameraId)
                        return qzr::RouteResult::Continue;
                    ShowMotionAlarm(*cameraId);
                    return qzr::RouteResult::Taken;
                }});
}

void CMotionPart::OnMotionDetection()
{
    // A new dialog each time: it opens empty, whatever was confirmed before.
    auto dialog = std::make_unique<CMotionAreaDlg>();
    if (dialog->DoModal() != ui::IDOK)
        return;
    m_motionArea = dialog->m_areaMap;
    m_nMotionSensitivity = static_cast<std::uint8_t>(dialog->m_nSensitivity & 0xFF);
    m_nMotionInterval = static_cast<std::uint8_t>(dialog->m_nInterval & 0xFF);
    m_nMotionDensity = static_cast<std::uint8_t>(dialog->m_nDensity & 0xFF);
    // Each step runs whatever became of the one before: the files are kept
    // even when the port is closed, and a file that cannot be written does
    // not stop the sending.
    SaveMotionArea();
    SaveMotionAreaText();
    SendMotionArea();
}

qzr::Bytes CMotionPart::MotionAreaFrame()
{
    const qzr::MotionSettings settings{m_nMotionSensitivity, m_nMotionInterval, m_nMotionDensity};
    return qzr::BuildMotionAreaFrame(Session().CameraId(), settings, m_motionArea);
}

void CMotionPart::SaveMotionArea()
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(kAreaFile, "wb"));
    if (!file) {
        Window().MessageBox("打开文件失败");
        return;
    }
    std::fwrite(m_motionArea.cells.data(), 1, m_motionArea.cells.size(), file.get());
}

void CMotionPart::SaveMotionAreaText()
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(kAreaTextFile, "wb"));
    if (!file) {
        Window().MessageBox("打开文件失败");
        return;
    }
    qzr::Bytes frame = MotionAreaFrame();
    qzr::StampCrc(frame);
    const std::string text = qzr::SpacedHexText(frame);
    std::fwrite(text.data(), 1, text.size(), file.get());
}

void CMotionPart::SendMotionArea()
{
    qzr::CSession& session = Session();
    if (!session.Port().IsOpen()) {
        Window().MessageBox("Please open the serial port first");
        return;
    }
    qzr::Bytes frame = MotionAreaFrame();
    session.SendFrameBytewise(frame);
}

void CMotionPart::ShowMotionAlarm(std::uint8_t cameraId)
{
    char text[64];
    std::snprintf(text, sizeof text, "%d号摄像头  移动帧测报警!!", cameraId);
    Session().m_strLog = text;
    Session().ShowTexts();
}
