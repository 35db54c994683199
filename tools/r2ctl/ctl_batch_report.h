#pragma once
// What a command over several modules prints (restart and upgrade with several MACs, clone):
// one line per module and a summary, or with --json one array of the same, and the exit
// status, 0 only when every module succeeded.
//
//   02 52 32 06 01 00  192.168.0.7 -> 192.168.0.101  ok
//   02 52 32 06 02 00  skipped 192.168.0.102 (an address of this computer)
//   02 52 32 06 02 00  192.168.0.7 -> 192.168.0.103  failed (exit 3): MESSAGE
//   2 module(s): 1 succeeded, 1 failed
//
// A module whose planned address came after addresses the plan passed over (the file's gateway,
// this computer's, ...) has the line naming them first, and in JSON the key "skipped".

#include "protocol/config/address_plan.h"

#include <QJsonArray>
#include <QString>
#include <vector>

namespace r2::ctl {

enum class BatchResult { Ok, Failed, NotRun, DryRun };

struct BatchRow {
    QString mac;
    QString oldIp; // empty: the search did not find the module
    QString newIp; // the planned address, or the old one
    QString name;  // the planned name; printed in JSON only when a name was planned
    bool nameGiven = false;
    BatchResult result = BatchResult::NotRun;
    int exit = 0;      // the module's exit status, as a command on that module alone gives it
    QString error;     // why it failed
    QJsonArray frames; // --dry-run: the frames not sent, as write --json lists them under "sent"
    std::vector<config::SkippedAddress> skipped; // passed over by the plan just before newIp
};

// The module's line, without a line end.
QString BatchLine(const BatchRow& row);
// The line naming the addresses skipped before the module's; empty when there are none.
QString SkippedLine(const BatchRow& row);
QString BatchSummary(const std::vector<BatchRow>& rows);
QJsonArray BatchJson(const std::vector<BatchRow>& rows);
// 0 when every module succeeded (a dry run succeeds once its plan was made); else the exit
// status of the first module that failed.
int BatchExitStatus(const std::vector<BatchRow>& rows);
// A frame of a dry run: `would send  COMMAND to port P, N bytes: HEX`.
QString WouldSendLine(const QJsonObject& frame);

} // namespace r2::ctl
