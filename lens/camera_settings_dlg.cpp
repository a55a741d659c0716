#include "lens/camera_settings_dlg.h"

#include "lens/lens_part.h"
#include "res/resource.h"
#include "res/templates.h"
#include "session/session.h"
#include "ui/data_exchange.h"

CCameraSettingsDlg::CCameraSettingsDlg(CLensPart& lens, qzr::CSession& session)
    : ui::CDialog(res::CameraSettingsTemplate()), m_lens(lens), m_session(session)
{
    OnClicked(IDC_SETTINGS_WHITE_LIGHT, [this] { OnWhiteLight(); });
    OnClicked(IDC_SETTINGS_INFRARED, [this] { OnInfrared(); });
    OnClicked(IDC_SETTINGS_AUTOFOCUS_SET, [this] { OnAutoFocusSet(); });
    OnClicked(IDC_SETTINGS_AUTOFOCUS_CANCEL, [this] { OnAutoFocusCancel(); });
    OnClicked(IDC_SETTINGS_ALARM, [this] { OnAlarm(); });
    OnClicked(IDC_SETTINGS_NO_ALARM, [this] { OnNoAlarm(); });
    OnClicked(IDC_SETTINGS_MODEL_SET, [this] { OnModelSet(); });
    OnClicked(IDC_SETTINGS_MODEL_CANCEL, [this] { OnModelCancel(); });
}

void CCameraSettingsDlg::DoDataExchange(ui::CDataExchange& dx)
{
    ui::DDX_Text(dx, IDC_SETTINGS_LIGHT_STATE, m_strLightState);
    ui::DDX_Text(dx, IDC_SETTINGS_FOCUS_STATE, m_strFocusState);
    ui::DDX_Text(dx, IDC_SETTINGS_ALARM_STATE, m_strAlarmState);
}

bool CCameraSettingsDlg::OnInitDialog()
{
    ui::CDialog::OnInitDialog();
    // By prefix, from the second item on and around: the category words of
    // the model list are items of their own.
    Combo(IDC_SETTINGS_MODEL).SelectString(0, m_strModel);
    Combo(IDC_SETTINGS_FUNCTION).SelectString(0, FunctionModeText(m_nFunctionMode));
    return true;
}

void CCameraSettingsDlg::OnWhiteLight()
{
    m_lens.SetWhiteLight();
    m_strLightState = "白光";
    UpdateData(false);
}

void CCameraSettingsDlg::OnInfrared()
{
    m_lens.SetInfrared();
    m_strLightState = "红外";
    UpdateData(false);
}

void CCameraSettingsDlg::OnAutoFocusSet()
{
    m_strFocusState = "聚焦";
    UpdateData(false);
    m_lens.SetAutoFocusOn();
}

void CCameraSettingsDlg::OnAutoFocusCancel()
{
    m_strFocusState = "不聚焦";
    UpdateData(false);
    m_lens.SetAutoFocusOff();
}

void CCameraSettingsDlg::OnAlarm()
{
    m_strAlarmState = "报警";
    UpdateData(false);
    m_lens.SetAlarm();
}

void CCameraSettingsDlg::OnNoAlarm()
{
    m_strAlarmState = "不报警";
    UpdateData(false);
    m_lens.ClearAlarm();
}

void CCameraSettingsDlg::OnModelSet()
{
    UpdateData(true);
    m_strModel = Combo(IDC_SETTINGS_MODEL).GetWindowText();
    qzr::CameraChoices& choices = m_session.m_choices;
    choices.m_strModel = m_strModel;
    qzr::IConfigService* config = m_session.m_services.config;
    if (config)
        config->SendModel();
    Sleep(kModelToFunctionMs);
    const auto mode = FunctionModeOfText(Combo(IDC_SETTINGS_FUNCTION).GetWindowText());
    if (!mode)
        return;
    m_nFunctionMode = *mode;
    choices.m_nFunctionMode = *mode;
    if (config)
        config->SendFunctionMode();
}

void CCameraSettingsDlg::OnModelCancel() { m_lens.SendModelCancel(); }

std::optional<std::uint8_t> FunctionModeOfText(std::string_view text)
{
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos || dash == 0)
        return std::nullopt;
    return static_cast<std::uint8_t>(static_cast<unsigned>(ui::LeadingInt(text)) & 0xFF);
}

std::string_view FunctionModeText(std::uint8_t functionMode)
{
    return functionMode == 2 ? "2-不延时直拍" : "1-标准型";
}
