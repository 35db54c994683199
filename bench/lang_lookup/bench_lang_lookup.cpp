// Prints how long the language table takes for the lookups the main window makes when it puts
// its texts on its controls (one lookup per control, so repeated keys count again), averaged
// over many passes. Measured three ways: built-in rows only; with a freshly written language
// file loaded (the usual state: every key is found among the file rows); and with keys no row
// has, the worst case, where every list is searched to its end.

#include "lang/Unit_AppLang.h"
#include "lang/Unit_Baselang.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view MainWindowKeys[] = {
    "lang_Main_Title",
    "lang_Main_AppTitle",
    "lang_Menu_File",
    "lang_Menu_Pswd",
    "lang_Menu_ExpDev",
    "lang_Menu_Quit",
    "lang_Menu_Lang",
    "lang_Menu_Cn",
    "lang_Menu_En",
    "lang_Menu_Help",
    "lang_Menu_About",
    "lang_Menu_Hint",
    "lang_Menu_Version",
    "lang_Menu_WorkOrder",
    "lang_Lv_DevIP",
    "lang_Lv_DevName",
    "lang_Lv_MAC",
    "lang_Lv_Version",
    "lang_lbl_SelectCom",
    "lang_lbl_BaudRate",
    "lang_lblPNum",
    "lang_mni_OpenWeb",
    "lang_mni_Restart",
    "lang_mni_FirmwareUp",
    "lang_mni_Reset",
    "lang_mni_CopyTheMac",
    "lang_mni_CopeAllMac",
    "lang_btn_DataDebug",
    "lang_btn_Search",
    "lang_btn_ComRead",
    "lang_btn_ComSet",
    "lang_btn_ComSet",
    "lang_btn_ComSet",
    "lang_btn_ComSet",
    "lang_btn_ComSet",
    "lang_rztbsht_Net",
    "lang_rztbsht_Com",
    "lang_rztbsht_Log",
    "lang_rztbsht_Hex",
    "lang_grp_Param",
    "lang_grp_Special",
    "lang_grp_BaseSave",
    "lang_grp_BaseSave",
    "lang_grp_ComParam",
    "lang_grp_ComParam",
    "lang_Lbl_WorkMode",
    "lang_Lbl_WorkMode",
    "lang_Lbl_WorkMode",
    "lang_lbl_ModuleIP",
    "lang_Lbl_SubnetMask",
    "lang_Lbl_SubnetMask",
    "lang_Lbl_SubnetMask",
    "lang_Lbl_Gateway",
    "lang_Lbl_Gateway",
    "lang_Lbl_Gateway",
    "lang_lbl_BaudRate",
    "lang_lbl_PDS",
    "lang_Lbl_LocalPort",
    "lang_Lbl_LocalPort",
    "lang_Lbl_LocalPort",
    "lang_lbl_DeIP",
    "lang_Lbl_RemotePort",
    "lang_Lbl_RemotePort",
    "lang_Lbl_RemotePort",
    "lang_Lbl_DevID",
    "lang_Lbl_DevID",
    "lang_Lbl_DevID",
    "lang_Lbl_DevIDType",
    "lang_Lbl_DevIDType",
    "lang_Lbl_DevIDType",
    "lang_chk_ConnSendId",
    "lang_chk_ConnSendId",
    "lang_chk_DataWithId",
    "lang_chk_DataWithId",
    "lang_Lbl_UPNPPort",
    "lang_Lbl_UPNPPort",
    "lang_Lbl_HTTPPort",
    "lang_Lbl_HTTPPort",
    "lang_Lbl_UserName",
    "lang_Lbl_UserName",
    "lang_Lbl_Password",
    "lang_Lbl_Password",
    "lang_Lbl_DevName",
    "lang_Lbl_DevName",
    "lang_Lbl_MAC",
    "lang_Lbl_MAC",
    "lang_Lbl_IPType",
    "lang_Lbl_IPType",
    "lang_Lbl_StaticIP",
    "lang_Lbl_StaticIP",
    "lang_Lbl_Baudrate",
    "lang_Lbl_Baudrate",
    "lang_Lbl_PDS",
    "lang_Lbl_PDS",
    "lang_Lbl_FlowControl",
    "lang_Lbl_FlowControl",
    "lang_Lbl_TCPSvrCount",
    "lang_Lbl_TCPSvrCount",
    "lang_Lbl_TCPStyle",
    "lang_Lbl_TCPStyle",
    "lang_Lbl_ModbusTCP",
    "lang_Lbl_ModbusTCP",
    "lang_Lbl_RemoteIP",
    "lang_Lbl_RemoteIP",
    "lang_Lbl_PackTime",
    "lang_Lbl_PackTime",
    "lang_Lbl_PackLen",
    "lang_Lbl_PackLen",
    "lang_Lbl_PackLen",
    "lang_Chkbox_RFC22170",
    "lang_Chkbox_RFC22170",
    "lang_lblDns",
    "lang_LabeledEditShortTime",
    "lang_RzCheckBoxShortEnable",
    "lang_rzchckbxComSetEnable",
    "lang_LabeledEdit1",
    "lang_RzCheckBox2",
    "lang_RzCheckBox1",
    "lang_rzchbUdpFrom",
    "lang_lblGetPost",
    "lang_RzCheckBox3",
    "lang_RzLabel1",
    "lang_lblHeartPackType",
    "lang_lblHeartTm",
    "lang_lblHeartDt",
    "lang_RzGroupBoxHeart",
    "lang_rzgrpbxRegHeart",
    "lang_RzLabel2",
    "lang_lblDid",
    "lang_lblCompass",
    "lang_lblRegSnd",
    "lang_lblRegTp",
    "lang_rzchckbxmodbuspool",
    "lang_lblhearttime",
    "lang_lblModbusEn",
    "lang_lblReportProto",
    "lang_lblModbusTimeout",
    "lang_lblModbusInterval",
    "lang_lblModbusException",
    "lang_Cbb_DHCP",
    "lang_Cbb_StaticIP",
    "lang_Cbb_DHCP",
    "lang_Cbb_StaticIP",
    "lang_Cbb_Transparent",
    "lang_Cbb_NoIDDiscard",
    "lang_Cbb_NoIDBroadcast",
    "lang_Cbb_Transparent",
    "lang_Cbb_NoIDDiscard",
    "lang_Cbb_NoIDBroadcast",
    "lang_cbbRegType_0",
    "lang_cbbRegType_1",
    "lang_cbbRegType_2",
    "lang_RzComboBox1_0",
    "lang_RzComboBox1_1",
    "lang_RzComboBox1_2",
    "lang_cbbHeartPackType_0",
    "lang_cbbHeartPackType_1",
    "lang_RzComboBox2_0",
    "lang_RzComboBox2_1",
    "lang_RzComboBox2_2",
    "lang_RzComboBox2_3",
    "lang_cbbModbusType_0",
    "lang_cbbModbusType_1",
    "lang_cbbModbusType_2",
    "lang_cbbReporproto_1",
    "lang_cbbModbusException_0",
    "lang_cbbModbusException_1",
    "lang_BaudRate_Custom",
    "lang_BaudRate_Custom",
    "lang_BaudRate_Custom",
    "lang_H_btn_Search",
    "lang_H_btn_ComRead",
    "lang_H_lv_Dev",
    "lang_Hint_ModuleWork",
    "lang_Hint_ModuleIP",
    "lang_Hint_Mask",
    "lang_Hint_Gateway",
    "lang_Hint_BaudRate",
    "lang_Hint_PDS",
    "lang_Hint_PDS",
    "lang_Hint_PDS",
    "lang_Hint_ModulePort",
    "lang_Hint_DeIP",
    "lang_Hint_DePort",
    "lang_Hint_ID",
    "lang_Hint_ComF5",
    "lang_Hint_RS485",
    "lang_Hint_RS422",
    "lang_Hint_Reset",
    "lang_Hint_Index",
    "lang_Hint_Link",
    "lang_Hint_RFC2217",
    "lang_Hint_RS485",
    "lang_Hint_RS422",
    "lang_Hint_Reset",
    "lang_Hint_Index",
    "lang_Hint_Link",
    "lang_Hint_RFC2217",
    "lang_lbl_H_LocationURLPort",
    "lang_lbl_H_HTTPServerPort",
    "lang_lbl_H_Id",
    "lang_lbl_H_IdType",
    "lang_lbl_H_username",
    "lang_lbl_H_password",
    "lang_lbl_H_ModName",
    "lang_lbl_H_UserMAC",
    "lang_lbl_H_AddrType",
    "lang_lbl_H_StaticIP",
    "lang_lbl_H_SubnetMask",
    "lang_lbl_H_GatewayIP",
    "lang_lbl_H_LocationURLPort",
    "lang_lbl_H_HTTPServerPort",
    "lang_lbl_H_Id",
    "lang_lbl_H_IdType",
    "lang_lbl_H_username",
    "lang_lbl_H_password",
    "lang_lbl_H_ModName",
    "lang_lbl_H_UserMAC",
    "lang_lbl_H_AddrType",
    "lang_lbl_H_StaticIP",
    "lang_lbl_H_SubnetMask",
    "lang_lbl_H_GatewayIP",
    "lang_lbl_H_BaudRate",
    "lang_lbl_H_BaudRate",
    "lang_lbl_H_PDS",
    "lang_lbl_H_PDS",
    "lang_lbl_H_PDS",
    "lang_lbl_H_PDS",
    "lang_lbl_H_PDS",
    "lang_lbl_H_PDS",
    "lang_lbl_H_FlowControl",
    "lang_lbl_H_LocalPort",
    "lang_lbl_H_RemotePort",
    "lang_lbl_H_WorkMode",
    "lang_lbl_H_TCPSvrCount",
    "lang_lbl_H_TCPStyle",
    "lang_lbl_H_ModbusTCP",
    "lang_lbl_H_RemoteIP",
    "lang_lbl_H_UARTTime",
    "lang_lbl_H_UARTLength",
    "lang_chk_H_RFC2217",
    "lang_lbl_H_FlowControl",
    "lang_lbl_H_LocalPort",
    "lang_lbl_H_RemotePort",
    "lang_lbl_H_WorkMode",
    "lang_lbl_H_TCPSvrCount",
    "lang_lbl_H_TCPStyle",
    "lang_lbl_H_ModbusTCP",
    "lang_lbl_H_RemoteIP",
    "lang_lbl_H_UARTTime",
    "lang_lbl_H_UARTLength",
    "lang_chk_H_RFC2217",
};

constexpr int Passes = 2000;

// Mean time of one pass over keys, in microseconds. The lengths are summed so that the
// lookups cannot be optimised away.
double microsecondsPerPass(const r2::TLangList& list, const std::vector<std::string>& keys,
                           std::size_t& checksum) {
    const auto start = std::chrono::steady_clock::now();
    for (int pass = 0; pass < Passes; ++pass) {
        for (const std::string& key : keys) {
            checksum += list.TranslateText(key).size();
        }
    }
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / Passes;
}

void report(const char* what, const r2::TLangList& list, const std::vector<std::string>& keys) {
    std::size_t checksum = 0;
    const double us = microsecondsPerPass(list, keys, checksum);
    std::printf("%-34s %4zu lookups  %9.1f us per pass  %7.3f us per lookup  (checksum %zu)\n",
                what, keys.size(), us, us / static_cast<double>(keys.size()), checksum);
}

} // namespace

int main() {
    std::vector<std::string> keys(std::begin(MainWindowKeys), std::end(MainWindowKeys));
    std::vector<std::string> unknown;
    for (const std::string& key : keys) {
        unknown.push_back(key + "_missing");
    }

    r2::TLangList builtIn;
    r2::BuildBuiltInTexts(builtIn);
    report("built-in rows only", builtIn, keys);

    std::string dir = (std::filesystem::temp_directory_path() / "r2-bench-lang-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    r2::TLangList withFile;
    r2::BuildBuiltInTexts(withFile);
    const std::string error = withFile.LoadLanguageFile(std::filesystem::path(dir) / "R2Lang.txt");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    report("language file loaded", withFile, keys);
    withFile.UseChinese = true;
    report("language file loaded, Chinese", withFile, keys);
    report("keys no row has (worst case)", withFile, unknown);
    return 0;
}
