#pragma once
// The small dialogs have a fixed border. Their size is the designed client size, or larger where
// the current texts need it (a longer translation, a larger font): a fixed dialog must never cut
// a text off. Called each time a dialog is shown, since a language switch changes its texts.

#include <QSize>

class QWidget;

namespace r2 {

void FixDialogSize(QWidget& dialog, QSize designSize);

} // namespace r2
