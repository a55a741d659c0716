#include "config/crc_tool.h"

#include "app/camera_test_dlg.h"
#include "protocol/crc_text.h"

void CCrcTool::OnCrcCheck()
{
    m_dialog.UpdateData(true);
    const auto answer = qzr::CrcToolAnswer(qzr::HexTextToBytes(m_dialog.m_strCrcInput));
    if (!answer) {
        // The output box keeps its previous text.
        m_dialog.MessageBox("Frame head is not 90 EB error");
        return;
    }
    m_dialog.m_strCrcOutput = *answer;
    m_dialog.UpdateData(false);
}
