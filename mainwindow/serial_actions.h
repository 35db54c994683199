#pragma once
// SerialActions: the serial sheet's work. It owns the port (cm1) and the exchange over it, runs
// one read or save at a time, echoes its frames, fills the P5 panel from a P5 reply and hands
// P6 replies to the panel replies like the LAN's.

#include "mainwindow/frame_echo.h"
#include "mainwindow/main_view.h"
#include "mainwindow/panel_replies.h"
#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "serial/SPComm.h"
#include "serial/Unit_Comm.h"

#include <memory>
#include <QObject>

namespace r2 {

// The parts of the window the serial sheet shows itself in.
struct SerialViews {
    OutputView& output;
    PanelView& panels;
    SerialView& serial;
};

class SerialActions final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SerialActions)

public:
    SerialActions(ParamMirror& mirror, PanelP6& p6, PanelP5& p5, SerialViews views, FrameEcho& echo,
                  PanelReplies& replies, QObject* parent = nullptr);
    ~SerialActions() override;

    // cbb_SelectCom's drop-down opening, btn_ComRead, btn_P6ComSet, btn_ComSet.
    void RefreshPortList();
    void Read();
    void SaveP6();
    void SaveP5();
    // The window closes: the port too (it logs that it closed).
    void Close();
    bool isRunning() const { return m_exchange->isRunning(); }
    SerialExchange& exchange() { return *m_exchange; }

signals:
    // A read or save is over and the port closed again.
    void finished();

private:
    void connectExchange(FrameEcho& echo, PanelReplies& replies);
    void onP5Reply(const QByteArray& reply32);
    // The exchange was idle (checked before), so a save it did not take is one its encoder
    // refused.
    void startSave(bool started);

    PanelP6& m_p6;
    PanelP5& m_p5;
    OutputView& m_output;
    PanelView& m_panels;
    SerialView& m_view;
    std::unique_ptr<TComm> m_comm; // cm1; before the exchange that uses it
    std::unique_ptr<SerialExchange> m_exchange;
};

} // namespace r2
