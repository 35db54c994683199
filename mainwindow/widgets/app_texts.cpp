#include "mainwindow/widgets/app_texts.h"

#include "widgets_common/control_texts.h"

#include <QComboBox>
#include <QTreeWidget>
#include <QWidget>
#include <string_view>
#include <vector>

namespace r2 {

namespace {

struct ItemListRow {
    QStringList combos;
    std::vector<ItemText> items;
};

QStringList WithP7Twins(const QStringList& names) {
    QStringList all = names;
    for (const QString& name : names) {
        all << name + QStringLiteral("P7");
    }
    return all;
}

const std::vector<TextRow>& MainMenuCaptions() {
    static const std::vector<TextRow> rows{
        {"lang_Menu_File", {"mni_File"}},       {"lang_Menu_Pswd", {"mni_Pswd"}},
        {"lang_Menu_ExpDev", {"mniExporDevs"}}, {"lang_Menu_Quit", {"mni_Exit"}},
        {"lang_Menu_Lang", {"mni_Lang"}},       {"lang_Menu_Cn", {"mni_Cn"}},
        {"lang_Menu_En", {"mni_En"}},           {"lang_Menu_Help", {"mni_Help"}},
        {"lang_Menu_About", {"mni_About"}},     {"lang_Menu_Hint", {"mni_Hint"}},
        {"lang_Menu_Version", {"mni_Up"}},      {"lang_Menu_WorkOrder", {"mni_WorkOrder"}},
    };
    return rows;
}

const std::vector<std::string_view>& DeviceListColumns() {
    static const std::vector<std::string_view> keys{"lang_Lv_DevIP", "lang_Lv_DevName",
                                                    "lang_Lv_MAC", "lang_Lv_Version"};
    return keys;
}

const std::vector<TextRow>& SerialSheetCaptions() {
    static const std::vector<TextRow> rows{
        {"lang_lbl_SelectCom", {"lbl_SelectCom"}},
        {"lang_lbl_BaudRate", {"lbl1"}},
        {"lang_lblPNum", {"lblPNum"}},
    };
    return rows;
}

// The device list's context menu. Its first item, hidden, keeps its designed text.
const std::vector<TextRow>& DeviceMenuCaptions() {
    static const std::vector<TextRow> rows{
        {"lang_mni_OpenWeb", {"mni_OpenWeb"}},
        {"lang_mni_Restart", {"mni_Restart"}},
        {"lang_mni_FirmwareUp", {"mni_FirmwareUp"}},
        {"lang_mni_Reset", {"mni_Reset"}},
        {"lang_mni_CopyTheMac", {"mni_CopyTheMac"}},
        {"lang_mni_CopeAllMac", {"mni_CopeAllMac"}},
        {"lang_mni_SelRestart", {"mni_SelRestart"}},
        {"lang_mni_SelCopyMacs", {"mni_SelCopyMacs"}},
        {"lang_mni_SelApplyFile", {"mni_SelApplyFile"}},
        {"lang_mni_SelUpgrade", {"mni_SelUpgrade"}},
    };
    return rows;
}

const std::vector<TextRow>& MainCaptions() {
    static const std::vector<TextRow> rows{
        {"lang_btn_Search", {"btn_Search"}},
        {"lang_btn_ComRead", {"btn_ComRead"}},
        {"lang_btn_ComSet",
         {"btn_ComSet", "btn_P5Set", "btn_P6NetSet", "btn_P6ComSet", "btn_P7NetSet"}},
        {"lang_btn_SaveToFile", {"btnSaveToFile", "btnSaveToFileP7"}},
        {"lang_btn_LoadFromFile", {"btnLoadFromFile", "btnLoadFromFileP7"}},
        {"lang_rztbsht_Net", {"rztbsht_Net"}},
        {"lang_rztbsht_Com", {"rztbsht_Com"}},
        {"lang_rztbsht_Log", {"rztbsht_Log"}},
        {"lang_rztbsht_Hex", {"rztbsht_Hex"}},
        {"lang_rztbsht_P5", {"rztbsht_P5"}},
        {"lang_rztbsht_P7", {"rztbsht_P7"}},
        {"lang_rztbsht_P7Net", {"rztbsht_P7Net"}},
        {"lang_grp_Param", {"grp_Param"}},
        {"lang_grp_Special", {"grp_Special"}},
        {"lang_grp_BaseSave", {"grp_BaseSave", "grp_BaseSaveP7"}},
        {"lang_grp_ComParam", {"grp_ComParam", "grp_ComParamP7"}},
        {"lang_Lbl_WorkMode", {"lbl_ModuleWork", "lbl_WorkMode0", "lbl_WorkMode0P7"}},
        {"lang_lbl_ModuleIP", {"lbl_ModuleIP"}},
        {"lang_Lbl_SubnetMask", {"lbl_Mask"}},
        {"lang_Lbl_SubnetMask", {"lbl_SubnetMask", "lbl_SubnetMaskP7"}, true},
        {"lang_Lbl_Gateway", {"lbl_Gateway"}},
        {"lang_Lbl_Gateway", {"lbl_GatewayIP", "lbl_GatewayIPP7"}, true},
        {"lang_lbl_BaudRate", {"lbl_BaudRate"}},
        {"lang_lbl_PDS", {"lbl_PDS"}},
        {"lang_Lbl_LocalPort", {"lbl_ModulePort", "lbl_LocalPort0", "lbl_LocalPort0P7"}},
        {"lang_lbl_DeIP", {"lbl_DeIP"}},
        {"lang_Lbl_RemotePort", {"lbl_DePort", "lbl_RemotePort0", "lbl_RemotePort0P7"}},
        {"lang_Lbl_DevID", {"lbl_ID", "lbl_Id3", "lbl_Id3P7"}},
        {"lang_Lbl_DevIDType", {"lbl_IdTypep5", "lbl_IdType", "lbl_IdTypeP7"}},
        {"lang_chk_ConnSendId", {"chk_ConnSendId", "rzchckbx_ConnSendId"}},
        {"lang_chk_DataWithId", {"chk_DataWithId", "rzchckbx_DataWithId"}},
        {"lang_Lbl_UPNPPort", {"lbl_LocationURLPort", "lbl_LocationURLPortP7"}},
        {"lang_Lbl_HTTPPort", {"lbl_HTTPServerPort", "lbl_HTTPServerPortP7"}},
        {"lang_Lbl_UserName", {"lbl_username", "lbl_usernameP7"}},
        {"lang_Lbl_Password", {"lbl_password", "lbl_passwordP7"}},
        {"lang_Lbl_DevName", {"lbl_ModName", "lbl_ModNameP7"}},
        {"lang_Lbl_MAC", {"lbl_UserMAC", "lbl_UserMACP7"}},
        {"lang_Lbl_IPType", {"lbl_AddrType", "lbl_AddrTypeP7"}, true},
        {"lang_Lbl_StaticIP", {"lbl_StaticIP", "lbl_StaticIPP7"}, true},
        {"lang_Lbl_Baudrate", {"lbl_BaudRate0", "lbl_BaudRate0P7"}},
        {"lang_Lbl_PDS", {"lbl_PDS0", "lbl_PDS0P7"}},
        {"lang_Lbl_FlowControl", {"lbl_FlowControl0", "lbl_FlowControl0P7"}},
        {"lang_Lbl_TCPSvrCount", {"lbl_TCPSvrCount0", "lbl_TCPSvrCount0P7"}},
        {"lang_Lbl_TCPStyle", {"lbl_TCPStyle0", "lbl_TCPStyle0P7"}},
        {"lang_Lbl_ModbusTCP", {"lbl_ModbusTCP0", "lbl_ModbusTCP0P7"}},
        {"lang_Lbl_RemoteIP", {"lbl_RemoteIP0", "lbl_RemoteIP0P7"}},
        {"lang_Lbl_PackTime", {"lbl_UARTTime0", "lbl_UARTTime0P7"}},
        {"lang_Lbl_PackLen", {"lblUartPackLEN", "lbl_UARTLength0", "lbl_UARTLength0P7"}},
        {"lang_Chkbox_RFC22170", {"chk_RFC22170", "chk_RFC22170P7"}},
        {"lang_lblDns", {"lblDns"}},
        {"lang_LabeledEditShortTime", {"LabeledEditShortTime"}},
        {"lang_RzCheckBoxShortEnable", {"RzCheckBoxShortEnable"}},
        {"lang_rzchckbxComSetEnable", {"rzchckbxComSetEnable"}},
        {"lang_LabeledEdit1", {"LabeledEdit1"}},
        {"lang_RzCheckBox2", {"RzCheckBox2"}},
        {"lang_RzCheckBox1", {"RzCheckBox1"}},
        {"lang_rzchbUdpFrom", {"rzchbUdpFrom"}},
        {"lang_lblGetPost", {"lblGetPost"}},
        {"lang_RzCheckBox3", {"RzCheckBox3"}},
        {"lang_RzLabel1", {"RzLabel1"}},
        {"lang_lblHeartPackType", {"lblHeartPackType"}},
        {"lang_lblHeartTm", {"lblHeartTm"}},
        {"lang_lblHeartDt", {"lblHeartDt"}},
        {"lang_RzGroupBoxHeart", {"RzGroupBoxHeart"}},
        {"lang_rzgrpbxRegHeart", {"rzgrpbxRegHeart"}},
        {"lang_RzLabel2", {"RzLabel2"}},
        {"lang_lblDid", {"lblDid"}},
        {"lang_lblCompass", {"lblCompass"}},
        {"lang_lblRegSnd", {"lblRegSnd"}},
        {"lang_lblRegTp", {"lblRegTp"}},
        {"lang_rzchckbxmodbuspool", {"rzchckbxmodbuspool"}},
        {"lang_lblhearttime", {"lblhearttime"}},
        {"lang_lblModbusEn", {"lblModbusEn"}},
        {"lang_lblReportProto", {"lblReportProto"}},
        {"lang_lblModbusTimeout", {"lblModbusTimeout"}},
        {"lang_lblModbusInterval", {"lblModbusInterval"}},
        {"lang_lblModbusException", {"lblModbusException"}},
    };
    return rows;
}

// Set last, after the hints.
const std::vector<TextRow>& DataDebugCaption() {
    static const std::vector<TextRow> rows{{"lang_btn_DataDebug", {"btnDataDebug"}}};
    return rows;
}

const QStringList& WrappedCheckBoxes() {
    static const QStringList names{"rzchckbx_ConnSendId", "rzchckbx_DataWithId"};
    return names;
}

const QString ModbusTypeCombo = QStringLiteral("cbbModbusType");

const std::vector<ItemListRow>& MainItemLists() {
    static const std::vector<ItemListRow> rows{
        {{"cbb_AddrType", "cbb_AddrTypeP7"}, {{0, "lang_Cbb_DHCP"}, {1, "lang_Cbb_StaticIP"}}},
        {{"cbb_TCPStyle0", "cbb_TCPStyle0P7"},
         {{0, "lang_Cbb_Transparent"}, {1, "lang_Cbb_NoIDDiscard"}, {2, "lang_Cbb_NoIDBroadcast"}}},
        {{"cbbRegType"},
         {{0, "lang_cbbRegType_0"}, {1, "lang_cbbRegType_1"}, {2, "lang_cbbRegType_2"}}},
        {{"RzComboBox1"},
         {{0, "lang_RzComboBox1_0"}, {1, "lang_RzComboBox1_1"}, {2, "lang_RzComboBox1_2"}}},
        {{"cbbHeartPackType"}, {{0, "lang_cbbHeartPackType_0"}, {1, "lang_cbbHeartPackType_1"}}},
        {{"RzComboBox2"},
         {{0, "lang_RzComboBox2_0"},
          {1, "lang_RzComboBox2_1"},
          {2, "lang_RzComboBox2_2"},
          {3, "lang_RzComboBox2_3"}}},
        {{ModbusTypeCombo},
         {{0, "lang_cbbModbusType_0"}, {1, "lang_cbbModbusType_1"}, {2, "lang_cbbModbusType_2"}}},
        {{"cbbReporproto"}, {{0, "lang_cbbReporproto_1"}, {1, "JSON", true}}},
        {{"cbbModbusException"},
         {{0, "lang_cbbModbusException_0"}, {1, "lang_cbbModbusException_1"}}},
        // Entry 0 shows the current custom rate; entry 1 asks for a new one.
        {{"cbb_BaudRate", "cbb_BaudRate0P7", "cbb_BaudRate0"}, {{1, "lang_BaudRate_Custom"}}},
    };
    return rows;
}

const std::vector<TextRow>& MainHints() {
    static const std::vector<TextRow> rows{
        {"lang_H_btn_Search", {"btn_Search"}},
        {"lang_H_btn_ComRead", {"btn_ComRead"}},
        {"lang_H_btn_SaveToFile", {"btnSaveToFile", "btnSaveToFileP7"}},
        {"lang_H_btn_LoadFromFile", {"btnLoadFromFile", "btnLoadFromFileP7"}},
        {"lang_H_lv_Dev", {"lv_Dev"}},
        {"lang_Hint_ModuleWork", {"cbb_ModuleWork"}},
        {"lang_Hint_ModuleIP", {"edt_ModuleIP"}},
        {"lang_Hint_Mask", {"edt_Mask"}},
        {"lang_Hint_Gateway", {"edt_Gateway"}},
        {"lang_Hint_BaudRate", {"cbb_BaudRate"}},
        {"lang_Hint_PDS", {"cbb_P", "cbb_D", "cbb_S"}},
        {"lang_Hint_ModulePort", {"edt_ModulePort"}},
        {"lang_Hint_DeIP", {"edt_DeIP"}},
        {"lang_Hint_DePort", {"edt_DePort"}},
        {"lang_Hint_ID", {"edt_ID"}},
        {"lang_Hint_ComF5", {"cbb_SelectCom"}},
        {"lang_Hint_RS485", {"chk_RS485", "rzchckbx_RS485"}},
        {"lang_Hint_RS422", {"chk_RS422", "rzchckbx_RS422"}},
        {"lang_Hint_Reset", {"chk_Reset", "rzchckbx_Reset"}},
        {"lang_Hint_Index", {"chk_Index", "rzchckbx_Index"}},
        {"lang_Hint_Link", {"chk_Link", "rzchckbx_Link"}},
        {"lang_Hint_RFC2217", {"chk_RFC2217", "rzchckbx_RFC2217"}},
        {"lang_lbl_H_LocationURLPort", WithP7Twins({"edt_LocationURLPort"})},
        {"lang_lbl_H_HTTPServerPort", WithP7Twins({"edt_HTTPServerPort"})},
        {"lang_lbl_H_Id", WithP7Twins({"edt_Id3"})},
        {"lang_lbl_H_IdType", WithP7Twins({"edt_IdType"})},
        {"lang_lbl_H_username", WithP7Twins({"edt_username"})},
        {"lang_lbl_H_password", WithP7Twins({"edt_password"})},
        {"lang_lbl_H_ModName", WithP7Twins({"edt_ModName"})},
        {"lang_lbl_H_UserMAC", WithP7Twins({"edt_UserMAC"})},
        {"lang_lbl_H_AddrType", WithP7Twins({"cbb_AddrType"})},
        {"lang_lbl_H_StaticIP", WithP7Twins({"edt_StaticIP"})},
        {"lang_lbl_H_SubnetMask", WithP7Twins({"edt_SubnetMask"})},
        {"lang_lbl_H_GatewayIP", WithP7Twins({"edt_GatewayIP"})},
        {"lang_lbl_H_BaudRate", {"cbb_BaudRate0", "cbb_BaudRate0P7"}},
        {"lang_lbl_H_PDS", WithP7Twins({"cbb_P0", "cbb_D0", "cbb_S0"})},
        {"lang_lbl_H_FlowControl", WithP7Twins({"cbb_FlowControl0"})},
        {"lang_lbl_H_LocalPort", WithP7Twins({"edt_LocalPort0"})},
        {"lang_lbl_H_RemotePort", WithP7Twins({"edt_RemotePort0"})},
        {"lang_lbl_H_WorkMode", WithP7Twins({"cbb_WorkMode0"})},
        {"lang_lbl_H_TCPSvrCount", WithP7Twins({"cbb_TCPSvrCount0"})},
        {"lang_lbl_H_TCPStyle", WithP7Twins({"cbb_TCPStyle0"})},
        {"lang_lbl_H_ModbusTCP", WithP7Twins({"cbb_ModbusTCP0"})},
        {"lang_lbl_H_RemoteIP", WithP7Twins({"edt_RemoteIP0"})},
        {"lang_lbl_H_UARTTime", WithP7Twins({"edt_UARTTime0"})},
        {"lang_lbl_H_UARTLength", WithP7Twins({"edt_UARTLength0"})},
        {"lang_chk_H_RFC2217", WithP7Twins({"chk_RFC22170"})},
    };
    return rows;
}

void ApplyItemLists(QWidget& root, const std::function<void()>& afterModbusItems) {
    for (const ItemListRow& row : MainItemLists()) {
        for (const QString& name : row.combos) {
            auto* combo = root.findChild<QComboBox*>(name);
            if (combo == nullptr) {
                continue;
            }
            ApplyItemTexts(*combo, row.items);
            if (name == ModbusTypeCombo && afterModbusItems) {
                afterModbusItems();
            }
        }
    }
}

void ApplyDeviceListColumns(QWidget& root) {
    auto* list = root.findChild<QTreeWidget*>(QStringLiteral("lv_Dev"));
    if (list == nullptr) {
        return;
    }
    const auto& keys = DeviceListColumns();
    for (std::size_t column = 0; column < keys.size(); ++column) {
        list->headerItem()->setText(static_cast<int>(column), CaptionText(keys[column]));
    }
}

} // namespace

void ApplyMainTexts(QWidget& mainWindow, const QString& version,
                    const std::function<void()>& afterModbusItems) {
    // The caption is also the taskbar's text. No application display name is set: Qt would
    // append it to the caption of every window and message box ("... V2.2.6.0 — QOB-R2").
    mainWindow.setWindowTitle(CaptionText("lang_Main_Title") + QStringLiteral(" V") + version);
    ApplyCaptions(mainWindow, MainMenuCaptions());
    ApplyDeviceListColumns(mainWindow);
    ApplyCaptions(mainWindow, SerialSheetCaptions());
    ApplyCaptions(mainWindow, DeviceMenuCaptions());
    ApplyCaptions(mainWindow, MainCaptions());
    for (const QString& name : WrappedCheckBoxes()) {
        if (auto* box = mainWindow.findChild<QWidget*>(name)) {
            WrapCaption(*box);
        }
    }
    ApplyItemLists(mainWindow, afterModbusItems);
    ApplyHints(mainWindow, MainHints());
    ApplyCaptions(mainWindow, DataDebugCaption());
}

QStringList MissingMainTextControls(const QWidget& mainWindow) {
    QStringList missing;
    for (const auto* rows : {&MainMenuCaptions(), &SerialSheetCaptions(), &DeviceMenuCaptions(),
                             &MainCaptions(), &DataDebugCaption()}) {
        missing << MissingControls(mainWindow, *rows, TextRole::Caption);
    }
    missing << MissingControls(mainWindow, MainHints(), TextRole::Other);
    missing << MissingControls(mainWindow, {{"", {"lv_Dev"}}}, TextRole::Other);
    for (const ItemListRow& row : MainItemLists()) {
        missing << MissingControls(mainWindow, {{"", row.combos}}, TextRole::Other);
    }
    missing.removeDuplicates();
    return missing;
}

} // namespace r2
