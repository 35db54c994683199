#pragma once
// Edits whose typing is limited. A panel's .ui gives such a QLineEdit the dynamic property
// "typingLimit" instead of maxLength: QLineEdit::maxLength also cuts a text the program sets, but
// a panel must show a longer text whole (edt_ModulePort's design text has six characters and a
// limit of five; a module's reply is shown as it came). So the limit stops only the user from
// making the text longer than the limit, and the edit is made wide enough to show a full entry.
// The limit counts bytes as the frame field does (GBK: two for a Chinese character).

#include <QWidget>

namespace r2 {

// Installs the limit on every QLineEdit under `root` that carries the property.
void ApplyTypingLimits(QWidget& root);

} // namespace r2
