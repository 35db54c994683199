#pragma once
// Small helpers the controller's parts share: texts of the language table and literals as
// QString, the MAC as the protocol writes it, and the log lines every part words the same way.

#include "block_codec.h"
#include "log_texts.h"
#include "main_view.h"
#include "Unit_Baselang.h"

#include <QString>
#include <string_view>

namespace r2 {

inline QString Text(std::string_view key) {
    return QString::fromStdString(GetLangText(key));
}

inline QString Lit(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

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
