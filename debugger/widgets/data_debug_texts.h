#pragma once
// ApplyDataDebugTexts: the current language's texts on the data debugger's controls, from the
// table beside it, through the windows' one text-by-objectName engine (control_texts.h). Runs
// each time the window is shown and on every language switch; keeps no state.

class QWidget;

namespace r2 {

void ApplyDataDebugTexts(QWidget& dataDebug);

} // namespace r2
