#pragma once
// PanelReplies: the P6 parameter replies of a read, over the LAN or the serial line, filled into
// the P6 panel through its reader. The panel is shown once per event-loop pass after the replies
// that changed it, however many came together. While a job over the selection runs, its
// modules' replies are the job's own: they leave the window's panel alone.

#include "mainwindow/device_list.h"
#include "mainwindow/main_view.h"
#include "protocol/block_codec.h"
#include "protocol/panel_p6_reader.h"

#include <functional>
#include <QByteArray>
#include <QObject>

namespace r2 {

class PanelReplies final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PanelReplies)

public:
    // `jobRunning`: whether a job over the selection runs now.
    PanelReplies(OutputView& output, PanelView& panels, const DeviceList& devices,
                 PanelP6Reader& reader, std::function<bool()> jobRunning);

    void OnBaseParams(const TBaseParam& base, const TarrComParam& ports, int devFlag,
                      bool fromSerial);
    void OnCloudParams(const TarrCloudParam& clouds, bool fromSerial, int devFlag);
    void OnHeartReg(const QByteArray& block85, bool fromSerial, int devFlag);
    void OnHttpd(const QByteArray& url, const QByteArray& header);
    void OnModbusParam(const TModbusParam& param, int length);
    void OnModbusPack(const TModbusPackParam& param, int length);

private:
    // Hands a reply to the reader and shows the panel soon when the reply changed it.
    void refillP6(const std::function<void(PanelP6Reader&)>& deliver);
    // Shows the P6 panel once the replies that arrived together are all in it.
    void showP6Soon();

    OutputView& m_output;
    PanelView& m_panels;
    const DeviceList& m_devices;
    PanelP6Reader& m_reader;
    std::function<bool()> m_jobRunning;
    bool m_showPending = false;
};

} // namespace r2
