#pragma once
// PanelP6Reader: the one place a P6 module's parameter replies become panel values. It is the
// reply sink of a read: each decoded reply fills the P6 panel the way the window shows it, and
// the reader remembers whether the base and port reply of the module read filled the panel (a
// save over the read needs that). The window, the batch jobs and r2ctl hand it their replies.
//
// Contract: a LAN base and port reply fills the panel only when it carries the MAC of the
// module read (ReadModule); one from another module, or with no module named, is dropped. A
// serial reply has no MAC to check. Every other reply fills what it carries (see the fills in
// panel_p6.h). The reader holds the panel by reference; the caller owns it.

#include "protocol/panel_p6.h"
#include "protocol/param_replies.h"

#include <optional>
#include <string>

namespace r2 {

class PanelP6Reader final : public ParamReplySink {
public:
    explicit PanelP6Reader(PanelP6& panel) : m_panel(panel) {}

    // A read of the module with this MAC text begins (separators ignored; nullopt: no module,
    // so LAN base replies are dropped). For a P6 module the Modbus groups are hidden until it
    // sends Modbus blocks again. The panel counts as not filled.
    void ReadModule(std::optional<std::string> mac, int devFlag);
    // Names the module whose LAN base reply may fill the panel, without starting a read.
    void SetModule(std::optional<std::string> mac) { m_mac = std::move(mac); }

    // Whether a base and port reply of a P6 module filled the panel since the read began.
    bool Filled() const { return m_filled; }
    // What the last base and port reply did (Dropped before any).
    BaseFillResult LastBaseResult() const { return m_lastBase; }
    // Whether the last reply of any kind changed the panel.
    bool LastReplyChanged() const { return m_lastChanged; }

    void OnBaseParams(const TBaseParam& base, const TarrComParam& ports, int devFlag,
                      bool fromSerial) override;
    void OnCloudParams(const TarrCloudParam& clouds, bool fromSerial, int devFlag) override;
    void OnHeartReg(ByteView block85, bool fromSerial, int devFlag) override;
    void OnHttpd(const std::string& url, const std::string& header) override;
    void OnModbusParam(const TModbusParam& param, int length) override;
    void OnModbusPack(const TModbusPackParam& param, int length) override;

private:
    PanelP6& m_panel;
    std::optional<std::string> m_mac;
    bool m_filled = false;
    BaseFillResult m_lastBase = BaseFillResult::Dropped;
    bool m_lastChanged = false;
};

} // namespace r2
