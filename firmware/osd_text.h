#pragma once

class CCameraTestDlg;

// "Send OSD Characters": puts a line of text on the camera's picture. The text
// is typed as UTF-8 and goes out in the camera's code page (GBK), at most 100
// bytes of it.
class COsdText {
public:
    explicit COsdText(CCameraTestDlg& dialog) : m_dialog(dialog) {}

    void OnSendOsd();

private:
    CCameraTestDlg& m_dialog;
};
