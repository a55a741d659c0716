#include "ui/dialog.h"

#include "ui/data_exchange.h"

namespace ui {

CDialog::CDialog(const DialogTemplate& tmpl) : m_template(tmpl) {}

CDialog::~CDialog() = default;

int CDialog::DoModal() { return CurrentBackend().RunModal(*this, m_template); }

void CDialog::EndDialog(int result) { CurrentBackend().EndModal(*this, result); }

bool CDialog::UpdateData(bool save)
{
    if (!m_peer)
        return false;
    CDataExchange dx(*this, save);
    DoDataExchange(dx);
    return !dx.Failed();
}

bool CDialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::Register(int id, Notification notification, std::function<void()> handler)
{
    m_handlers[{id, notification}] = std::move(handler);
}

bool CDialog::Handles(int id, Notification notification) const
{
    return m_handlers.count({id, notification}) != 0 || (notification == Notification::Clicked && (id == IDOK || id == IDCANCEL));
}

void CDialog::SelectRadio(int id)
{
    if (!m_peer)
        return;
    const auto controls = m_template.controls;
    std::size_t index = 0;
    while (index < controls.size() && controls[index].id != id)
        ++index;
    if (index == controls.size())
        return;
    std::size_t first = index;
    while (first > 0 && !(controls[first].style & kGroup))
        --first;
    for (std::size_t i = first; i < controls.size(); ++i) {
        if (i > first && (controls[i].style & kGroup))
            break;
        if (controls[i].kind == ControlKind::RadioButton)
            m_peer->SetCheck(controls[i].id, controls[i].id == id ? 1 : 0);
    }
}

void CDialog::HandleCommand(int id, Notification notification)
{
    if (notification == Notification::Clicked) {
        if (const ControlTemplate* control = FindControl(m_template, id);
            control && control->kind == ControlKind::RadioButton)
            SelectRadio(id);
    }
    const auto it = m_handlers.find({id, notification});
    if (it != m_handlers.end()) {
        // Copy: a handler may register or replace handlers while it runs.
        auto handler = it->second;
        handler();
        return;
    }
    if (notification == Notification::Clicked && id == IDOK)
        OnOK();
    else if (notification == Notification::Clicked && id == IDCANCEL)
        OnCancel();
}

void CDialog::HandleDeltaPos(int id, int delta)
{
    const auto it = m_deltaHandlers.find(id);
    if (it != m_deltaHandlers.end()) {
        auto handler = it->second;
        handler(delta);
    }
}

void CDialog::EnableControl(int id, bool enable)
{
    if (m_peer)
        m_peer->Enable(id, enable);
}

bool CDialog::IsControlEnabled(int id) const { return m_peer && m_peer->IsEnabled(id); }

std::string CDialog::GetDlgItemText(int id) const { return m_peer ? m_peer->GetText(id) : std::string(); }

void CDialog::SetDlgItemText(int id, std::string_view text)
{
    if (m_peer)
        m_peer->SetText(id, text);
}

int CDialog::IsDlgButtonChecked(int id) const { return m_peer ? m_peer->GetCheck(id) : 0; }

void CDialog::CheckDlgButton(int id, int state)
{
    if (m_peer)
        m_peer->SetCheck(id, state);
}

void CDialog::SetProgress(int id, const std::optional<Progress>& progress)
{
    if (m_peer)
        m_peer->SetProgress(id, progress);
}

Rect CDialog::GetClientRect(int id) const { return m_peer ? m_peer->ClientRect(id) : Rect{}; }

void CDialog::SetTimer(int timerId, unsigned periodMs)
{
    if (m_peer)
        m_peer->SetTimer(timerId, periodMs);
}

void CDialog::KillTimer(int timerId)
{
    if (m_peer)
        m_peer->KillTimer(timerId);
}

void CDialog::Sleep(unsigned ms) { CurrentBackend().Sleep(ms); }

DateTime CDialog::LocalTime() const { return CurrentBackend().LocalTime(); }

int CDialog::MessageBox(std::string_view text, std::string_view caption, Icon icon)
{
    return CurrentBackend().MessageBox(this, text, caption, icon);
}

std::optional<std::string> CDialog::GetOpenFileName(const FileDialogOptions& options)
{
    return CurrentBackend().GetOpenFileName(this, options);
}

std::unique_ptr<Canvas> CDialog::GetDC() { return m_peer ? m_peer->GetCanvas() : nullptr; }

void CDialog::Invalidate(bool erase)
{
    if (m_peer)
        m_peer->Invalidate(erase);
}

std::unique_ptr<Canvas> CDialog::GetOverlayDC() { return m_peer ? m_peer->GetOverlayCanvas() : nullptr; }

void CDialog::ClearOverlay()
{
    if (m_peer)
        m_peer->ClearOverlay();
}

}  // namespace ui
