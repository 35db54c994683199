#pragma once
// One r2ctl run against the network: the search, the read a click on a row does, and the
// write, restart and reset actions, each built from the same TUdpSvr and sequence objects the
// window uses. Waiting is done by running the event loop for a while, so replies are handled
// as they arrive.
//
// Only the module itself speaks for the module: the blocks of a read are those the endpoint
// took from its address, an action's exit status counts the statuses from its address and
// the acknowledgements of the sequence's verdict (every frame acknowledged in its own window).
// Statuses from other hosts are printed and marked as not counted. What a flood can add is
// bounded: the rows listed, the statuses kept and the addresses named.

#include "lan/lan_sequences.h"
#include "lan/Unit_Udp.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p6_reader.h"
#include "protocol/panel_p7.h"
#include "tools/r2ctl/ctl_args.h"
#include "tools/r2ctl/ctl_output.h"

#include <functional>
#include <map>
#include <optional>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QTextStream>
#include <vector>

namespace r2::ctl {

class CtlSession final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CtlSession)

public:
    CtlSession(const CtlOptions& options, QTextStream& out, QTextStream& err);

    // Runs the command of the options; returns the exit status.
    int run();

private:
    int runCommand();
    // Says once, at the end, what a flood cost: datagrams dropped, modules not listed.
    void reportFloodLosses();
    int runSearch();
    int runRead();
    int runWrite();
    int runSingleCommand();
    // backup and restore (ctl_config.cpp).
    int runBackup();
    int runRestore();

    // Searches until the module of the options answered or --wait ms passed.
    std::optional<FoundModule> findDevice();
    // Does what a click on the row does and collects the replies for --wait ms; false when
    // the row's flag allows no read (the message has been printed).
    bool readDevice(const FoundModule& row);
    // Takes the read's blocks from what the endpoint accepted from the module.
    void collectBlocks();
    // Reads the module as a save needs it: its own blocks, from it alone, filling the panel
    // (P6). Empty when the read is fit to save over; else the exit status, its reason printed.
    std::optional<int> readForSave(const FoundModule& row);
    // Plans the save of the panel (P6: m_panel, P7: `p7`) over the blocks read and runs it.
    int saveOverRead(const FoundModule& row, const PanelP7& p7);
    // Runs a plan, then waits --wait ms after its last frame; returns what came back, the
    // acknowledgements being those of the sequence's verdict (kept in m_verdict).
    Outcome runPlan(const FoundModule& row, const SequencePlan& plan);
    void runEventLoop(int ms, const std::function<bool()>& done = {});

    bool applyValues(PanelP6& p6, PanelP7& p7, int flag, QString& error) const;
    int finishAction(const FoundModule& row, const Outcome& outcome);
    int fail(int status, const QString& message);
    int failNotFound();

    void onDeviceFound(const QString& ip, const QString& name, int socketIndex, int flag,
                       const QString& version, const QString& mac);
    void onSent(const QByteArray& frame, quint16 destPort);
    void onStatus(int code, const QString& text);
    void onStatusFrom(int code, const QString& text, const QString& senderIp);

    QJsonObject blocksJson() const;
    QJsonObject visibleJson() const;
    QJsonObject verdictJson() const;
    void printRead(const FoundModule& row, int flag);

    const CtlOptions m_options;
    QTextStream& m_out;
    QTextStream& m_err;
    ParamMirror m_mirror;
    TUdpSvr m_udp{m_mirror};
    // As many as the endpoint keeps addresses for.
    FoundModules m_devices{TUdpSvr::MaxKnownModules};
    QSet<QString> m_foreignNamed;      // senders of parameter replies not asked for, named once
    std::optional<QString> m_moduleIp; // whose statuses count; none during a plain search
    PanelP6 m_panel;
    PanelP6Reader m_reader{m_panel};     // the read module's replies into m_panel
    std::map<QString, QString> m_blocks; // the read's blocks by name, as hex, passwords hidden
    bool m_actionRunning = false;        // counting frames and statuses of a write/restart/reset
    Outcome m_outcome;
    QJsonArray m_sentJson;
    QJsonArray m_statusJson;
    int m_statusesOmitted = 0;
    SequenceVerdict m_verdict;
    QJsonArray m_messagesJson;
};

// Runs the command of the options (search, read, write, backup, restore, restart or reset of
// one module) in a CtlSession; returns the exit status.
int RunCtlSession(const CtlOptions& options, QTextStream& out, QTextStream& err);

} // namespace r2::ctl
