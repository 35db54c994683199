#include "debugger/widgets/data_debug_texts.h"

#include "widgets_common/control_texts.h"

#include <vector>

namespace r2 {

namespace {

const std::vector<TextRow>& DataDebugCaptions() {
    static const std::vector<TextRow> rows{
        {"lang_DataDebug_lblProtocol", {"lblProtocol"}},
        {"lang_DataDebug_btnConnet", {"btnConnet"}},
        {"lang_DataDebug_chkChooseAll", {"chkChooseAll"}},
        {"lang_DataDebug_btnClearAll", {"btnClearAll"}},
        {"lang_DataDebug_btnImport", {"btnImport"}},
        {"lang_DataDebug_btnExport", {"btnExport"}},
        {"lang_DataDebug_lblDelay", {"lblDelay"}},
        {"lang_DataDebug_lblCycleInternal", {"lblCycleInternal"}},
        {"lang_DataDebug_btnCycleSend", {"btnCycleSend"}},
        {"lang_DataDebug_lblRemote", {"lblRemote"}},
        {"lang_DataDebug_grpReceive", {"grpReceive"}},
        {"lang_DataDebug_chkRecvHex", {"chkRecvHex"}},
        {"lang_DataDebug_btnClearRecv", {"btnClearRecv"}},
    };
    return rows;
}

} // namespace

void ApplyDataDebugTexts(QWidget& dataDebug) {
    ApplyWindowTexts(dataDebug, "lang_DataDebug_Title", DataDebugCaptions());
}

} // namespace r2
