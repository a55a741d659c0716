#pragma once

#include <string>
#include <string_view>

namespace ui {

class CDialog;

// One pass of data exchange between a window's controls and its members. Once
// a value fails to read, the rest of the pass is skipped, so members exchanged
// before the failing one keep their new values.
class CDataExchange {
public:
    CDataExchange(CDialog& dialog, bool saveAndValidate) : m_dialog(dialog), m_bSaveAndValidate(saveAndValidate) {}

    CDialog& Dialog() { return m_dialog; }
    bool Saving() const { return m_bSaveAndValidate; }
    bool Failed() const { return m_failed; }
    // Tells the operator why and ends the pass.
    void Fail(const char* message);

private:
    CDialog& m_dialog;
    bool m_bSaveAndValidate;
    bool m_failed = false;
};

// Edits: text, whole numbers and decimals. A number that cannot be read is
// reported in a message box and fails the exchange.
void DDX_Text(CDataExchange& dx, int id, std::string& value);
void DDX_Text(CDataExchange& dx, int id, int& value);
void DDX_Text(CDataExchange& dx, int id, unsigned& value);
void DDX_Text(CDataExchange& dx, int id, float& value);
// Check boxes: 0 or 1.
void DDX_Check(CDataExchange& dx, int id, int& value);
// Radio group starting at `id` (to the next control that starts a group):
// index of the selected button, -1 for none.
void DDX_Radio(CDataExchange& dx, int id, int& value);
// A combo's text: saving reads the edit field; showing selects the first item
// that begins with the value, or types the value into the edit field.
void DDX_CBString(CDataExchange& dx, int id, std::string& value);

// Number parsing as the exchange does it: optional blanks, sign and digits,
// then nothing but blanks. Exposed for windows that read numbers themselves.
bool ParseInt(const std::string& text, int& value);
bool ParseUnsigned(const std::string& text, unsigned& value);
bool ParseFloat(const std::string& text, float& value);
// The leading decimal number of a text (blanks and a sign allowed), 0 when
// there is none, as the C library's atoi; one beyond the int range gives the
// range's end.
int LeadingInt(std::string_view text);

}  // namespace ui
