#pragma once
// Small helpers the controller's parts share: the MAC as the protocol writes it, and the log
// lines every part words the same way (texts and bytes cross to Qt through qt_bridge).

#include "mainwindow/log_texts.h"
#include "mainwindow/main_view.h"
#include "protocol/block_codec.h"
#include "qt_bridge/qt_bridge.h"

#include <QString>
#include <string_view>

namespace r2 {

inline QString MacWithoutSpaces(const QString& mac) {
    return QString(mac).remove(QLatin1Char(' '));
}

inline void LogText(OutputView& view, std::string_view key, PaneColour colour) {
    view.AddLogLine(Text(key), colour);
}

// A panel value that does not convert: the log names the control in red and the focus goes to
// it, so the user sees what to correct.
inline void ReportEncodeRefusal(OutputView& output, PanelView& panels,
                                const EncodeResult& refusal) {
    output.AddLogLine(EncodeRefusalLogText(refusal), PaneColour::Red);
    panels.FocusControl(QString::fromStdString(refusal.control));
}

} // namespace r2
