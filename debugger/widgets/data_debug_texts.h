#pragma once
// ApplyDataDebugTexts: the current language's texts on the data debugger's controls, found by
// objectName; the receive pane's texts too. Runs each time the window is shown and on every
// language switch; keeps no state.

class QWidget;

namespace r2 {

void ApplyDataDebugTexts(QWidget& dataDebug);

} // namespace r2
