#include "data_debug_texts.h"

#include "Unit_Baselang.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>
#include <string_view>
#include <utility>

namespace r2 {

namespace {

// Key and the control that shows it.
constexpr std::pair<std::string_view, std::string_view> Captions[] = {
    {"lang_DataDebug_lblProtocol", "lblProtocol"},
    {"lang_DataDebug_btnConnet", "btnConnet"},
    {"lang_DataDebug_chkChooseAll", "chkChooseAll"},
    {"lang_DataDebug_btnClearAll", "btnClearAll"},
    {"lang_DataDebug_btnImport", "btnImport"},
    {"lang_DataDebug_btnExport", "btnExport"},
    {"lang_DataDebug_lblDelay", "lblDelay"},
    {"lang_DataDebug_lblCycleInternal", "lblCycleInternal"},
    {"lang_DataDebug_btnCycleSend", "btnCycleSend"},
    {"lang_DataDebug_lblRemote", "lblRemote"},
    {"lang_DataDebug_grpReceive", "grpReceive"},
    {"lang_DataDebug_chkRecvHex", "chkRecvHex"},
    {"lang_DataDebug_btnClearRecv", "btnClearRecv"},
};

QString Text(std::string_view key) {
    return QString::fromStdString(GetLangText(key));
}

} // namespace

void ApplyDataDebugTexts(QWidget& dataDebug) {
    dataDebug.setWindowTitle(Text("lang_DataDebug_Title"));
    for (const auto& [key, name] : Captions) {
        QObject* control = dataDebug.findChild<QObject*>(
            QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
        if (auto* label = qobject_cast<QLabel*>(control)) {
            label->setText(Text(key));
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            button->setText(Text(key));
        } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
            group->setTitle(Text(key));
        }
    }
}

} // namespace r2
