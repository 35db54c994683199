#pragma once
// The one way the windows put the current language's texts on their controls: each window keeps
// a table of rows (a language key and the objectNames that show its text) beside it, and these
// routines find the controls by objectName anywhere under the window and set the text the
// control shows. A control a table names that the window lacks is skipped, so a window under
// construction still gets the texts it has; MissingControls lists those gaps for a test. They
// keep no state and run at a window's creation and on every language switch.
//
// What "caption" means depends on the control: a label's or button's text, a group box's or
// menu's title, an action's text, a tab sheet's tab text (the sheet is the page widget inside a
// QTabWidget), and for a labelled edit (a QLineEdit such as LabeledEditShortTime) the text of the
// QLabel whose buddy it is.

#include <QString>
#include <QStringList>
#include <string_view>
#include <vector>

class QComboBox;
class QWidget;

namespace r2 {

// One key and the controls that take its text. `star` appends " ★": the settings a user
// normally has to change.
struct TextRow {
    std::string_view key;
    QStringList controls;
    bool star = false;
};

// One item text of a combo box: the text of a key, or, when `fixed`, the key itself as text.
struct ItemText {
    int position;
    std::string_view key;
    bool fixed = false;
};

// The text of `key` as a control shows it: the built-in texts store line breaks as CR LF, and
// Qt's widgets break lines at LF and would show the CR.
QString CaptionText(std::string_view key);

// The window's caption from `titleKey`, then its rows' captions.
void ApplyWindowTexts(QWidget& window, std::string_view titleKey, const std::vector<TextRow>& rows);
void ApplyCaptions(QWidget& root, const std::vector<TextRow>& rows);
// The rows' texts as the controls' hints (tool tips).
void ApplyHints(QWidget& root, const std::vector<TextRow>& rows);
// The listed positions change, the item count and the selection stay, so the shown text
// follows the language.
void ApplyItemTexts(QComboBox& combo, const std::vector<ItemText>& items);

// What a table's rows address.
enum class TextRole { Caption, Other };
// The controls `rows` name that have no widget under root; for captions, a labelled edit whose
// label is missing is listed as "<edit name> (label)".
QStringList MissingControls(const QWidget& root, const std::vector<TextRow>& rows, TextRole role);

// A check box cannot wrap its caption: breaks the text into lines that fit the box's current
// width. A label is simply switched to word wrap.
void WrapCaption(QWidget& control);

} // namespace r2
