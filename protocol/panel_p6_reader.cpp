#include "protocol/panel_p6_reader.h"

namespace r2 {

void PanelP6Reader::ReadModule(std::optional<std::string> mac, int devFlag) {
    m_mac = std::move(mac);
    m_filled = false;
    if (devFlag == DevFlagP6) {
        HideModbusGroups(m_panel);
    }
}

void PanelP6Reader::OnBaseParams(const TBaseParam& base, const TarrComParam& ports, int devFlag,
                                 bool fromSerial) {
    m_lastBase = FillFromBaseReply(m_panel, base, ports, devFlag, fromSerial,
                                   m_mac ? std::optional<std::string_view>(*m_mac) : std::nullopt);
    m_lastChanged = m_lastBase == BaseFillResult::FilledP6;
    m_filled = m_filled || m_lastChanged;
}

void PanelP6Reader::OnCloudParams(const TarrCloudParam& clouds, bool, int) {
    m_lastChanged = FillFromCloud(m_panel, clouds);
}

void PanelP6Reader::OnHeartReg(ByteView block85, bool, int devFlag) {
    m_lastChanged = FillFromHeartReg(m_panel, block85, devFlag);
}

void PanelP6Reader::OnHttpd(const std::string& url, const std::string& header) {
    FillFromHttpd(m_panel, url, header);
    m_lastChanged = true;
}

void PanelP6Reader::OnModbusParam(const TModbusParam& param, int length) {
    FillFromModbusParam(m_panel, param, length);
    m_lastChanged = true;
}

void PanelP6Reader::OnModbusPack(const TModbusPackParam& param, int) {
    FillFromModbusPack(m_panel, param);
    m_lastChanged = true;
}

} // namespace r2
