#pragma once
// Puts the current language's texts (GetLangText) onto the controls of the main window, the about
// box and the credentials dialog. The windows are designed with Chinese captions; these routines
// replace the captions, hints, menu texts, list column titles and combo-box item texts their
// tables name and leave every other control as designed. They run at each window's creation and
// on every language switch, and keep no state.
//
// Controls are found by objectName anywhere under the window. A control the tables name that the
// window lacks is skipped, so a window under construction still gets the texts it has;
// MissingMainTextControls lists those gaps for a test.
//
// What "caption" means depends on the control: a label's or button's text, a group box's or
// menu's title, an action's text, a tab sheet's tab text (the sheet is the page widget inside a
// QTabWidget), and for a labelled edit (a QLineEdit such as LabeledEditShortTime) the text of the
// QLabel whose buddy it is.

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
// TFrm_About: its caption and labels; lbl_version is left alone.
void ApplyAboutTexts(QWidget& about);
// TFrm_Pswd: its caption and the two buttons.
void ApplyPswdTexts(QWidget& pswd);
// Tfrm_Upgrade: its caption, notes, group boxes, labels and buttons. Its status line is the
// dialog's own (Tfrm_Upgrade::RetranslateStatus).
void ApplyUpgradeTexts(QWidget& upgrade);

// Tfrm_ApplyPlan: its caption, labels and buttons. The preview's column titles and the
// placeholders are the dialog's own (Tfrm_ApplyPlan::retranslate).
void ApplyApplyPlanTexts(QWidget& dialog);
// Tfrm_BatchProgress: its buttons. Its caption and the rows' states are the dialog's own.
void ApplyBatchProgressTexts(QWidget& dialog);

// The controls ApplyMainTexts addresses that have no widget under mainWindow; a labelled edit
// whose label is missing is listed as "<edit name> (label)".
QStringList MissingMainTextControls(const QWidget& mainWindow);

// A check box cannot wrap its caption: breaks the text into lines that fit the box's current
// width. A label is simply switched to word wrap.
void WrapCaption(QWidget& control);

} // namespace r2
