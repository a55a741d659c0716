#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ui/dialog.h"

class CLensPart;
namespace qzr {
class CSession;
}

// "设置": the camera's light, autofocus, alarm, model and custom function in
// one place, in factory mode. Each button acts at once, on the camera and on
// the choices the console remembers; the dialog keeps nothing when it closes.
// The switches are the lens part's, the model and the function mode reach
// the configuration through the session.
class CCameraSettingsDlg : public ui::CDialog {
public:
    CCameraSettingsDlg(CLensPart& lens, qzr::CSession& session);

    // From the opener: the remembered choices, the switches as texts.
    std::string m_strModel;
    std::uint8_t m_nFunctionMode = 0;
    std::string m_strLightState;  // 1021
    std::string m_strFocusState;  // 1022
    std::string m_strAlarmState;  // 1023

protected:
    bool OnInitDialog() override;
    void DoDataExchange(ui::CDataExchange& dx) override;

private:
    void OnWhiteLight();
    void OnInfrared();
    void OnAutoFocusSet();
    void OnAutoFocusCancel();
    void OnAlarm();
    void OnNoAlarm();
    // The model in the combo, a second later the custom function.
    void OnModelSet();
    void OnModelCancel();

    CLensPart& m_lens;
    qzr::CSession& m_session;
};

// The custom-function choice's text as a function mode: the number the text
// begins with (blanks and a sign allowed, 0 without digits), as a byte, when
// the text holds a "-" after its first character; nullopt when it holds none
// or begins with it.
std::optional<std::uint8_t> FunctionModeOfText(std::string_view text);

// The custom-function item a remembered function mode preselects.
std::string_view FunctionModeText(std::uint8_t functionMode);

// How long the camera gets between the model and the custom function.
inline constexpr unsigned kModelToFunctionMs = 1000;
