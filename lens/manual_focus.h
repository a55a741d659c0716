#pragma once

#include <string_view>

#include "lens/focus_chart.h"
#include "ui/types.h"

namespace qzr {
class CSession;
}

// Manual focusing: while it runs, the camera is asked for its focus value
// every 330 ms (timer 137) and the poll tick reads nothing but the answers,
// which go to the camera text box as lines and onto a strip chart over the
// picture area. The operator turns the lens by hand until the value peaks.
class CManualFocus {
public:
    explicit CManualFocus(qzr::CSession& session) : m_session(session) {}

    bool On() const { return m_bManualFocus; }
    // Starts the run: the button reads "Stop Focusing", the poll and the chart begin.
    void Start();
    // Ends the run with the button's new caption; the chart goes and the
    // picture area shows again what it showed before.
    void Stop(std::string_view caption);

    // Timer 137: the poll.
    void SendPoll();
    // The poll tick while the run lasts: one read of at most 128 bytes; a
    // chunk of more than 64 is dropped, any other is looked at for the
    // production-date notice and shown as a line of camera text.
    void ReadFocusValues();

    static constexpr int kTimer = 137;
    static constexpr unsigned kPeriodMs = 330;

private:
    // Where the chart goes: the rectangle pictures are drawn into, inside
    // the picture frame.
    ui::Rect ChartArea() const;
    void DrawChart();

    qzr::CSession& m_session;
    bool m_bManualFocus = false;
    CFocusChart m_chart;
};
