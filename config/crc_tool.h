#pragma once

class CCameraTestDlg;

// The "CRC Check Value" calculator of the main window: the operator types a
// frame as hexadecimal text and gets the two check bytes it needs, in the
// order they go on the line. It talks to no camera.
class CCrcTool {
public:
    explicit CCrcTool(CCameraTestDlg& dialog) : m_dialog(dialog) {}

    void OnCrcCheck();

private:
    CCameraTestDlg& m_dialog;
};
