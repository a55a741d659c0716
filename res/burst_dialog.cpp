// Template of the burst test window: the picture frame at the upper left, the
// file list and the log under it, and at the right, top to bottom, Close, the
// port, the burst settings, the file-name request and the two status lines.
#include <string_view>

#include "protocol/codes.h"
#include "res/resource.h"
#include "res/templates.h"

namespace res {
namespace {

using ui::ControlKind;
using ui::IDC_STATIC;
using namespace ui;  // style bits

// The burst window lists the resolutions up to "2560x1440"; the two largest
// 16:9 sizes of the main window are not offered here.
constexpr std::size_t kBurstResolutions = 31;

const ui::ControlTemplate kBurstControls[] = {
    {IDC_BURST_PICTURE, ControlKind::GroupBox, "", 7, 7, 389, 224},
    {IDC_BURST_FILES, ControlKind::ListView, "", 7, 238, 246, 85, kGroup | kFullRowSelect | kGridLines},
    {IDC_BURST_LOG, ControlKind::Edit, "", 258, 238, 136, 85, kMultiline | kReadOnly | kVScroll},
    {IDC_BURST_PROGRESS, ControlKind::Progress, "", 7, 328, 387, 9},

    {IDOK, ControlKind::PushButton, "Close", 404, 7, 106, 14, kGroup},

    {IDC_STATIC, ControlKind::GroupBox, "Serial port", 400, 25, 114, 48},
    {IDC_BURST_PORT, ControlKind::ComboBox, "", 406, 37, 102, 100, kGroup},
    {IDC_BURST_OPEN_COMMS, ControlKind::PushButton, "Open Comms", 406, 53, 102, 14},

    {IDC_STATIC, ControlKind::GroupBox, "Continuously Shot", 400, 77, 114, 108},
    {IDC_STATIC, ControlKind::Static, "JPEG Resolution", 405, 91, 52, 9},
    {IDC_BURST_RESOLUTION, ControlKind::ComboBox, "", 458, 88, 50, 150, kGroup,
     qzr::ResolutionList().first(kBurstResolutions)},
    {IDC_STATIC, ControlKind::Static, "Compression Ratio", 405, 106, 52, 9},
    {IDC_BURST_QUALITY, ControlKind::ComboBox, "", 458, 103, 50, 150, 0, qzr::QualityList()},
    {IDC_STATIC, ControlKind::Static, "No. of  Continuous Shots", 405, 119, 52, 17},
    {IDC_BURST_SHOTS, ControlKind::Edit, "", 458, 120, 50, 12},
    {IDC_STATIC, ControlKind::Static, "No. of Interval ", 405, 140, 52, 9},
    {IDC_BURST_INTERVAL, ControlKind::Edit, "", 458, 137, 50, 12},
    {IDC_BURST_SHOOT, ControlKind::PushButton, "Continuously Shot", 406, 163, 102, 14},

    {IDC_STATIC, ControlKind::GroupBox, "Request image file name", 400, 189, 114, 104},
    {IDC_BURST_DATE, ControlKind::DateTimePicker, "", 406, 201, 102, 13, kGroup},
    {IDC_BURST_LAST_IMAGE, ControlKind::CheckBox, "Get the last image", 406, 218, 102, 10},
    {IDC_BURST_BEFORE, ControlKind::RadioButton, "Before the date", 406, 231, 102, 10, kGroup},
    {IDC_BURST_AFTER, ControlKind::RadioButton, "After the date", 406, 243, 102, 10},
    {IDC_STATIC, ControlKind::Static, "Request No. of Images", 406, 255, 62, 17, kGroup},
    {IDC_BURST_REQUEST_COUNT, ControlKind::Edit, "", 470, 257, 38, 12},
    {IDC_BURST_REQUEST_LIST, ControlKind::PushButton, "Request File List", 406, 275, 102, 14},

    {IDC_BURST_STATE, ControlKind::Edit, "", 400, 297, 114, 12, kGroup | kDisabled},
    {IDC_BURST_PORT_INFO, ControlKind::Edit, "", 400, 313, 114, 12},
};

const ui::DialogTemplate kBurstDialog = {
    IDD_BURST_TEST, "Continuously Shot (Motion Detection) Test", 518, 341, kBurstControls,
};

}  // namespace

const ui::DialogTemplate& BurstTestTemplate() { return kBurstDialog; }

}  // namespace res
