#include "tools/r2ctl/ctl_batch_report.h"

#include "tools/r2ctl/ctl_output.h"

#include <algorithm>
#include <QJsonObject>

namespace r2::ctl {

namespace {

QString ResultName(BatchResult result) {
    switch (result) {
    case BatchResult::Ok:
        return QStringLiteral("ok");
    case BatchResult::Failed:
        return QStringLiteral("failed");
    case BatchResult::DryRun:
        return QStringLiteral("dry run");
    case BatchResult::NotRun:
        break;
    }
    return QStringLiteral("not run");
}

bool Succeeded(const BatchRow& row) {
    return row.result == BatchResult::Ok || row.result == BatchResult::DryRun;
}

} // namespace

QString BatchLine(const BatchRow& row) {
    QString result;
    switch (row.result) {
    case BatchResult::Failed:
        result = QStringLiteral("failed (exit %1): %2").arg(row.exit).arg(TerminalText(row.error));
        break;
    case BatchResult::DryRun:
        result = QStringLiteral("dry run: %1 frame(s) not sent").arg(row.frames.size());
        break;
    case BatchResult::Ok:
    case BatchResult::NotRun:
        result = ResultName(row.result);
        break;
    }
    const QString oldIp = row.oldIp.isEmpty() ? QStringLiteral("-") : row.oldIp;
    const QString newIp = row.newIp.isEmpty() ? oldIp : row.newIp;
    return QStringLiteral("%1  %2 -> %3  %4").arg(row.mac, oldIp, newIp, result);
}

QString SkippedLine(const BatchRow& row) {
    if (row.skipped.empty()) {
        return {};
    }
    return QStringLiteral("%1  skipped %2")
        .arg(row.mac, QString::fromStdString(config::SkippedText(row.skipped)));
}

QString BatchSummary(const std::vector<BatchRow>& rows) {
    const auto count = [&rows](auto wanted) { return std::ranges::count_if(rows, wanted); };
    const auto succeeded = count(Succeeded);
    const auto failed = count([](const BatchRow& r) { return r.result == BatchResult::Failed; });
    const auto notRun = count([](const BatchRow& r) { return r.result == BatchResult::NotRun; });
    QString text = QStringLiteral("%1 module(s): %2 succeeded, %3 failed")
                       .arg(rows.size())
                       .arg(succeeded)
                       .arg(failed);
    if (notRun > 0) {
        text += QStringLiteral(", %1 not run").arg(notRun);
    }
    return text;
}

QJsonArray BatchJson(const std::vector<BatchRow>& rows) {
    QJsonArray array;
    for (const BatchRow& row : rows) {
        QJsonObject object{{"mac", row.mac},
                           {"oldIp", row.oldIp},
                           {"newIp", row.newIp.isEmpty() ? row.oldIp : row.newIp},
                           {"result", ResultName(row.result)},
                           {"exit", row.exit}};
        if (row.nameGiven) {
            object["name"] = row.name;
        }
        if (row.result == BatchResult::Failed) {
            object["error"] = row.error;
        }
        if (row.result == BatchResult::DryRun) {
            object["frames"] = row.frames;
        }
        if (!row.skipped.empty()) {
            QJsonArray skipped;
            for (const config::SkippedAddress& s : row.skipped) {
                skipped.append(
                    QJsonObject{{"ip", QString::fromStdString(s.ip)},
                                {"reason", QString::fromUtf8(config::SkipReasonName(s.reason))}});
            }
            object["skipped"] = skipped;
        }
        array.append(object);
    }
    return array;
}

int BatchExitStatus(const std::vector<BatchRow>& rows) {
    const auto failed = std::ranges::find_if(
        rows, [](const BatchRow& r) { return r.result == BatchResult::Failed; });
    return failed != rows.end() ? failed->exit : exitcode::Ok;
}

QString WouldSendLine(const QJsonObject& frame) {
    return QStringLiteral("would send  %1 to port %2, %3 bytes: %4")
        .arg(frame["command"].toString().leftJustified(24))
        .arg(frame["port"].toInt())
        .arg(frame["length"].toInt())
        .arg(frame["bytes"].toString());
}

} // namespace r2::ctl
