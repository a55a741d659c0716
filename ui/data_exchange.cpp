#include "ui/data_exchange.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "ui/dialog.h"

namespace ui {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits "  -123  " into the number part; false when anything but blanks surrounds it.
bool NumberBody(const std::string& text, std::string& body)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    body = text.substr(begin, end - begin);
    return !body.empty();
}

std::string FormatFloat(float value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.*g", 6, static_cast<double>(value));
    return buffer;
}

}  // namespace

bool ParseInt(const std::string& text, int& value)
{
    std::string body;
    if (!NumberBody(text, body))
        return false;
    std::size_t i = (body[0] == '-' || body[0] == '+') ? 1 : 0;
    if (i == body.size())
        return false;
    for (std::size_t k = i; k < body.size(); ++k)
        if (body[k] < '0' || body[k] > '9')
            return false;
    errno = 0;
    const long long parsed = std::strtoll(body.c_str(), nullptr, 10);
    if (errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ParseUnsigned(const std::string& text, unsigned& value)
{
    std::string body;
    if (!NumberBody(text, body))
        return false;
    std::size_t i = body[0] == '+' ? 1 : 0;
    if (i == body.size())
        return false;
    for (std::size_t k = i; k < body.size(); ++k)
        if (body[k] < '0' || body[k] > '9')
            return false;
    errno = 0;
    const unsigned long long parsed = std::strtoull(body.c_str(), nullptr, 10);
    if (errno == ERANGE || parsed > UINT32_MAX)
        return false;
    value = static_cast<unsigned>(parsed);
    return true;
}

bool ParseFloat(const std::string& text, float& value)
{
    std::string body;
    if (!NumberBody(text, body))
        return false;
    char* end = nullptr;
    errno = 0;
    const float parsed = std::strtof(body.c_str(), &end);
    if (end != body.c_str() + body.size() || errno == ERANGE || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

int LeadingInt(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    long long value = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at)
        value = std::min<long long>(value * 10 + (text[at] - '0'), static_cast<long long>(INT_MAX) + 1);
    return static_cast<int>(std::clamp<long long>(negative ? -value : value, INT_MIN, INT_MAX));
}

void CDataExchange::Fail(const char* message)
{
    if (m_failed)
        return;
    m_failed = true;
    m_dialog.MessageBox(message, {}, Icon::Warning);
}

void DDX_Text(CDataExchange& dx, int id, std::string& value)
{
    if (dx.Failed())
        return;
    WindowPeer* peer = dx.Dialog().Peer();
    if (!peer)
        return;
    if (dx.Saving())
        value = peer->GetText(id);
    else
        peer->SetText(id, value);
}

namespace {

// Numbers show as their decimal text; text that does not read as one fails
// the exchange with `message`.
template <typename T, typename Format, typename Parse>
void ExchangeNumber(CDataExchange& dx, int id, T& value, Format format, Parse parse, const char* message)
{
    if (dx.Failed())
        return;
    WindowPeer* peer = dx.Dialog().Peer();
    if (!peer)
        return;
    if (!dx.Saving()) {
        peer->SetText(id, format(value));
        return;
    }
    T parsed{};
    if (parse(peer->GetText(id), parsed))
        value = parsed;
    else
        dx.Fail(message);
}

}  // namespace

void DDX_Text(CDataExchange& dx, int id, int& value)
{
    ExchangeNumber(dx, id, value, [](int v) { return std::to_string(v); }, ParseInt, "Please enter an integer.");
}

void DDX_Text(CDataExchange& dx, int id, unsigned& value)
{
    ExchangeNumber(dx, id, value, [](unsigned v) { return std::to_string(v); }, ParseUnsigned,
                   "Please enter a positive integer.");
}

void DDX_Text(CDataExchange& dx, int id, float& value)
{
    ExchangeNumber(dx, id, value, FormatFloat, ParseFloat, "Please enter a number.");
}

void DDX_Check(CDataExchange& dx, int id, int& value)
{
    if (dx.Failed())
        return;
    WindowPeer* peer = dx.Dialog().Peer();
    if (!peer)
        return;
    if (dx.Saving())
        value = peer->GetCheck(id);
    else
        peer->SetCheck(id, value ? 1 : 0);
}

void DDX_Radio(CDataExchange& dx, int id, int& value)
{
    if (dx.Failed())
        return;
    WindowPeer* peer = dx.Dialog().Peer();
    if (!peer)
        return;
    const auto controls = dx.Dialog().Template().controls;
    std::size_t first = 0;
    while (first < controls.size() && controls[first].id != id)
        ++first;
    if (first == controls.size())
        return;
    if (dx.Saving())
        value = -1;
    int index = 0;
    for (std::size_t i = first; i < controls.size(); ++i) {
        if (i > first && (controls[i].style & kGroup))
            break;
        if (controls[i].kind != ControlKind::RadioButton)
            continue;
        if (dx.Saving()) {
            if (value < 0 && peer->GetCheck(controls[i].id))
                value = index;
        } else {
            peer->SetCheck(controls[i].id, index == value ? 1 : 0);
        }
        ++index;
    }
}

void DDX_CBString(CDataExchange& dx, int id, std::string& value)
{
    if (dx.Failed())
        return;
    WindowPeer* peer = dx.Dialog().Peer();
    if (!peer)
        return;
    if (dx.Saving()) {
        value = peer->GetText(id);
        return;
    }
    CComboBox combo(peer, id);
    if (combo.SelectString(-1, value) < 0)
        combo.SetWindowText(value);
}

}  // namespace ui
