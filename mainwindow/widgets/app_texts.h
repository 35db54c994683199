#pragma once
// The main window's table of texts, applied by the one text-by-objectName engine
// (control_texts.h): captions, hints, menu texts, list column titles and combo-box item texts
// in the current language (GetLangText). The window is designed with Chinese captions; every
// control the table does not name stays as designed.

#include <functional>
#include <QString>
#include <QStringList>

class QWidget;

namespace r2 {

// The main window, in this order: caption (title text, " V", version) and the application's
// display name; main menu; device list column titles; captions (IP type, static IP, gateway and
// subnet mask labels with " ★"), then word wrap of rzchckbx_ConnSendId and rzchckbx_DataWithId;
// combo-box items, keeping each box's selected index; hints (tool tips); btnDataDebug.
// `afterModbusItems` runs right after cbbModbusType's items were replaced and its selection
// restored: the P6 panel's Modbus-type rule, so the fields that depend on it follow.
void ApplyMainTexts(QWidget& mainWindow, const QString& version,
                    const std::function<void()>& afterModbusItems = {});
// The controls ApplyMainTexts addresses that have no widget under mainWindow; a labelled edit
// whose label is missing is listed as "<edit name> (label)".
QStringList MissingMainTextControls(const QWidget& mainWindow);

} // namespace r2
