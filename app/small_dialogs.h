#pragma once
// What the small dialogs (about box, credentials dialog) share.

#include <QSize>

class QWidget;

namespace r2 {

// Registers the dialogs' pictures (app/r2shell.qrc). The resources live in a static library, so
// nothing registers them unless a dialog asks; asking again does no harm.
void LoadDialogPictures();

// The dialogs have a fixed border. Their size is the designed client size, or larger where the
// current texts need it (a longer translation, a larger font): a fixed dialog must never cut a
// text off. Called each time a dialog is shown, since a language switch changes its texts.
void FixDialogSize(QWidget& dialog, QSize designSize);

} // namespace r2
