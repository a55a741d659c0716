#include "headless/backend.h"

#include <algorithm>

#include "headless/jpeg.h"
#include "ui/dialog.h"

namespace headless {

HeadlessBackend::HeadlessBackend(ClockMode mode) : m_clock(mode) {}

// The dialogs may be gone already (a test's locals): they are not touched here.
HeadlessBackend::~HeadlessBackend() = default;

// --- windows -----------------------------------------------------------------

HeadlessWindow* HeadlessBackend::Find(const ui::CDialog& dialog) const
{
    for (const auto& window : m_windows)
        if (&window->Dialog() == &dialog)
            return window.get();
    return nullptr;
}

HeadlessWindow& HeadlessBackend::Create(ui::CDialog& dialog, const ui::DialogTemplate& tmpl)
{
    m_windows.push_back(std::make_unique<HeadlessWindow>(*this, dialog, tmpl));
    HeadlessWindow& window = *m_windows.back();
    dialog.AttachPeer(&window);
    return window;
}

void HeadlessBackend::Destroy(const ui::CDialog& dialog)
{
    const auto it = std::find_if(m_windows.begin(), m_windows.end(),
                                 [&](const auto& window) { return &window->Dialog() == &dialog; });
    if (it == m_windows.end())
        return;
    (*it)->Dialog().AttachPeer(nullptr);
    m_windows.erase(it);
}

int HeadlessBackend::RunModal(ui::CDialog& dialog, const ui::DialogTemplate& tmpl)
{
    if (Find(dialog))
        return -1;  // already showing: a window cannot run twice
    Create(dialog, tmpl);
    dialog.HandleInitDialog();
    int given = ui::IDCANCEL;
    if (HeadlessWindow* window = Find(dialog); window && !window->Ended() && m_modalHandler) {
        ModalHandler handler = m_modalHandler;  // the handler may replace itself
        given = handler(dialog);
    }
    const HeadlessWindow* window = Find(dialog);
    const int result = window && window->Ended() ? window->Result() : given;
    Destroy(dialog);
    return result;
}

void HeadlessBackend::EndModal(ui::CDialog& dialog, int result)
{
    if (HeadlessWindow* window = Find(dialog))
        window->End(result);
}

void HeadlessBackend::Open(ui::CDialog& dialog) { Open(dialog, dialog.Template()); }

void HeadlessBackend::Open(ui::CDialog& dialog, const ui::DialogTemplate& tmpl)
{
    if (Find(dialog))
        return;
    Create(dialog, tmpl);
    dialog.HandleInitDialog();
}

void HeadlessBackend::Close(ui::CDialog& dialog) { Destroy(dialog); }

bool HeadlessBackend::HasEnded(const ui::CDialog& dialog) const
{
    const HeadlessWindow* window = Find(dialog);
    return window && window->Ended();
}

std::optional<int> HeadlessBackend::EndResult(const ui::CDialog& dialog) const
{
    const HeadlessWindow* window = Find(dialog);
    if (!window || !window->Ended())
        return std::nullopt;
    return window->Result();
}

ui::CDialog* HeadlessBackend::BottomWindow() const
{
    return m_windows.empty() ? nullptr : &m_windows.front()->Dialog();
}

ui::CDialog* HeadlessBackend::TopWindow() const { return m_windows.empty() ? nullptr : &m_windows.back()->Dialog(); }

void HeadlessBackend::Sleep(unsigned ms) { m_clock.Sleep(ms); }

ui::DateTime HeadlessBackend::LocalTime() const { return m_clock.LocalTime(); }

// --- dialogs -----------------------------------------------------------------

int HeadlessBackend::MessageBox(ui::CDialog*, std::string_view text, std::string_view caption, ui::Icon icon)
{
    if (m_recording)
        m_messages.push_back({std::string(text), std::string(caption), icon});
    Emit("message: " + std::string(text));
    if (m_messageBoxDwellMs > 0)
        RunLoop(m_messageBoxDwellMs);
    return ui::IDOK;
}

std::optional<std::string> HeadlessBackend::GetOpenFileName(ui::CDialog*, const ui::FileDialogOptions&)
{
    ++m_fileDialogsShown;
    if (m_fileAnswers.empty())
        return std::nullopt;
    std::optional<std::string> answer = std::move(m_fileAnswers.front());
    m_fileAnswers.pop_front();
    return answer;
}

std::optional<ui::Size> HeadlessBackend::JpegSize(std::span<const std::uint8_t> jpeg) const
{
    return DecodeJpegSize(jpeg);
}

// --- events and records --------------------------------------------------------

void HeadlessBackend::Emit(const std::string& line)
{
    if (m_recording)
        m_events.push_back(line);
    if (m_sink)
        m_sink(line);
}

void HeadlessBackend::NotePicture(const ui::Size& size, const ui::Rect& target)
{
    if (m_recording)
        m_pictures.push_back({size, target});
    Emit("picture: " + std::to_string(size.width) + "x" + std::to_string(size.height) + " at " +
         std::to_string(target.left) + "," + std::to_string(target.top) + "," + std::to_string(target.Width()) +
         "," + std::to_string(target.Height()));
}

void HeadlessBackend::ClearRecords()
{
    m_events.clear();
    m_messages.clear();
    m_pictures.clear();
}

const std::vector<DrawOp>& HeadlessBackend::DrawOps(const ui::CDialog& dialog) const
{
    static const std::vector<DrawOp> kNone;
    const HeadlessWindow* window = Find(dialog);
    return window ? window->DrawOps() : kNone;
}

const std::vector<DrawOp>& HeadlessBackend::OverlayOps(const ui::CDialog& dialog) const
{
    static const std::vector<DrawOp> kNone;
    const HeadlessWindow* window = Find(dialog);
    return window ? window->OverlayOps() : kNone;
}

int HeadlessBackend::RepaintCount(const ui::CDialog& dialog) const
{
    const HeadlessWindow* window = Find(dialog);
    return window ? window->RepaintCount() : 0;
}

}  // namespace headless
