#include "ui/controls.h"

#include "ui/backend.h"

namespace ui {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (prefix.size() > text.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (LowerAscii(text[i]) != LowerAscii(prefix[i]))
            return false;
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return a.size() == b.size() && StartsWithNoCase(a, b); }

int CComboBox::GetCount() const { return m_peer ? m_peer->ComboCount(m_id) : 0; }

std::string CComboBox::GetLBText(int index) const { return m_peer ? m_peer->ComboItem(m_id, index) : std::string(); }

int CComboBox::AddString(std::string_view text) { return m_peer ? m_peer->ComboAdd(m_id, text) : -1; }

int CComboBox::InsertString(int index, std::string_view text) { return m_peer ? m_peer->ComboInsert(m_id, index, text) : -1; }

void CComboBox::ResetContent()
{
    if (m_peer)
        m_peer->ComboReset(m_id);
}

int CComboBox::GetCurSel() const { return m_peer ? m_peer->ComboSelection(m_id) : -1; }

int CComboBox::SetCurSel(int index)
{
    if (!m_peer)
        return -1;
    if (index < 0 || index >= GetCount()) {
        m_peer->ComboSetSelection(m_id, -1);
        return -1;
    }
    m_peer->ComboSetSelection(m_id, index);
    return index;
}

int CComboBox::Find(int startAfter, std::string_view text, bool prefixOnly) const
{
    const int count = GetCount();
    if (count == 0)
        return -1;
    const int first = (startAfter < 0 || startAfter >= count) ? 0 : startAfter + 1;
    for (int step = 0; step < count; ++step) {
        const int index = (first + step) % count;
        const std::string item = GetLBText(index);
        if (prefixOnly ? StartsWithNoCase(item, text) : EqualsNoCase(item, text))
            return index;
    }
    return -1;
}

int CComboBox::SelectString(int startAfter, std::string_view prefix)
{
    const int index = Find(startAfter, prefix, true);
    if (index >= 0)
        m_peer->ComboSetSelection(m_id, index);
    return index;
}

int CComboBox::FindStringExact(int startAfter, std::string_view text) const { return Find(startAfter, text, false); }

std::string CComboBox::GetWindowText() const { return m_peer ? m_peer->GetText(m_id) : std::string(); }

void CComboBox::SetWindowText(std::string_view text)
{
    if (m_peer)
        m_peer->SetText(m_id, text);
}

void CListCtrl::InsertColumn(int column, std::string_view title, int width)
{
    if (m_peer)
        m_peer->ListInsertColumn(m_id, column, title, width);
}

int CListCtrl::InsertItem(int row, std::string_view text) { return m_peer ? m_peer->ListInsertRow(m_id, row, text) : -1; }

void CListCtrl::SetItemText(int row, int column, std::string_view text)
{
    if (m_peer)
        m_peer->ListSetItemText(m_id, row, column, text);
}

std::string CListCtrl::GetItemText(int row, int column) const
{
    return m_peer ? m_peer->ListItemText(m_id, row, column) : std::string();
}

int CListCtrl::GetItemCount() const { return m_peer ? m_peer->ListRowCount(m_id) : 0; }

void CListCtrl::DeleteAllItems()
{
    if (m_peer)
        m_peer->ListDeleteAll(m_id);
}

int CListCtrl::GetFirstSelected() const { return m_peer ? m_peer->ListSelectedRow(m_id) : -1; }

int CListCtrl::GetClientWidth() const { return m_peer ? m_peer->ClientRect(m_id).Width() : 0; }

DateTime CDateTimeCtrl::GetTime() const { return m_peer ? m_peer->GetDateTime(m_id) : DateTime{}; }

void CDateTimeCtrl::SetTime(const DateTime& value)
{
    if (m_peer)
        m_peer->SetDateTime(m_id, value);
}

void CDateTimeCtrl::SetFormat(std::string_view format)
{
    if (m_peer)
        m_peer->SetDateTimeFormat(m_id, format);
}

}  // namespace ui
