#pragma once

#include <string>
#include <string_view>

#include "ui/types.h"

namespace ui {

class WindowPeer;

// Light handles on one control of a window, in the manner of the classic
// control classes. They hold no state of their own.

class CComboBox {
public:
    CComboBox(WindowPeer* peer, int id) : m_peer(peer), m_id(id) {}

    int GetCount() const;
    std::string GetLBText(int index) const;
    int AddString(std::string_view text);
    int InsertString(int index, std::string_view text);
    void ResetContent();
    int GetCurSel() const;
    int SetCurSel(int index);  // returns index, or -1 when out of range (selection cleared)
    // Selects the first item that begins with `prefix` (ASCII case ignored),
    // searching after `startAfter` (-1: from the top) and wrapping around.
    // Returns its index, or -1 with the selection unchanged.
    int SelectString(int startAfter, std::string_view prefix);
    int FindStringExact(int startAfter, std::string_view text) const;
    std::string GetWindowText() const;
    void SetWindowText(std::string_view text);

private:
    // Searches after `startAfter`, wrapping around, for an item equal to `text`
    // or beginning with it (ASCII case ignored).
    int Find(int startAfter, std::string_view text, bool prefixOnly) const;

    WindowPeer* m_peer;
    int m_id;
};

class CListCtrl {
public:
    CListCtrl(WindowPeer* peer, int id) : m_peer(peer), m_id(id) {}

    void InsertColumn(int column, std::string_view title, int width);
    int InsertItem(int row, std::string_view text);
    void SetItemText(int row, int column, std::string_view text);
    std::string GetItemText(int row, int column) const;
    int GetItemCount() const;
    void DeleteAllItems();
    int GetFirstSelected() const;  // -1 when none
    int GetClientWidth() const;

private:
    WindowPeer* m_peer;
    int m_id;
};

class CDateTimeCtrl {
public:
    CDateTimeCtrl(WindowPeer* peer, int id) : m_peer(peer), m_id(id) {}

    DateTime GetTime() const;
    void SetTime(const DateTime& value);
    void SetFormat(std::string_view format);

private:
    WindowPeer* m_peer;
    int m_id;
};

// Compares ASCII letters without regard to case; other bytes exactly.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace ui
