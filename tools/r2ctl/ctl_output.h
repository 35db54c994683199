#pragma once
// What r2ctl prints: the device table, the panel values as JSON, the exit-status rules.

#include "lan/found_modules.h"
#include "lan/module_outcome.h"
#include "protocol/frame_secrets.h"
#include "protocol/panel_controls.h"
#include "protocol/Unit_Public.h"

#include <optional>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <span>
#include <vector>

namespace r2::ctl {

namespace exitcode {
inline constexpr int Ok = 0;
inline constexpr int BadArguments = 1;
inline constexpr int NotFound = 2;
inline constexpr int PasswordError = 3;
inline constexpr int NoAnswer = 4;
inline constexpr int OtherError = 5;
inline constexpr int UpgradeTimeout = 6;
inline constexpr int UpgradeMismatch = 7;
} // namespace exitcode

// One row of the device list, as the main window holds it.
QString ModelName(int flag);
QJsonObject DeviceJson(const FoundModule& module);
QString DeviceTable(std::span<const FoundModule> modules);

// Everything the module answered to the commands of one action, counted by CountStatus.
using Outcome = ModuleCounts;
// The exit status of JudgeModule's outcome.
int ExitStatusFor(const Outcome& outcome);
// A sentence for standard error when the status is not 0.
QString ExplainExit(const Outcome& outcome);

// Panel values in JSON types: edits as text (UTF-8), lists as their index (-1 for none), the
// baud lists as the text they show, check boxes as true/false.
QJsonObject PanelJson(std::span<const ControlInfo> table, const std::vector<ControlValue>& values);
// Index of an entry in a "|"-separated entry list; -1 for "-1" or a name it does not hold.
int EntryIndex(std::string_view entries, std::string_view name);
// A JSON value of --from as text; empty when the type does not fit.
std::optional<QString> SetTextFromJson(const QJsonValue& value);
// Name of entry `index` of a "|"-separated entry list; "-1" for -1; empty when out of range.
std::optional<std::string> EntryNameAt(std::string_view entries, int index);

// One value to apply to a panel control. A JSON number given to a list is an entry index,
// also on lists whose entries are numbers (stop bits, connections), so that the panel printed
// by "read --json" goes back unchanged.
struct SetValue {
    QString control;
    QString text;
    bool jsonNumber = false;
    bool fromFile = false; // --from: its values come in the order of their names
};
// The text SetControl takes for `value`: an edit's text as the module's bytes (GBK), a JSON
// number on a list as that entry's name, anything else as typed. Empty, with `error` set, when
// an edit's text has no GBK form or an index names no entry. Unknown controls pass through
// for SetControl to refuse.
std::optional<std::string> ControlText(std::span<const ControlInfo> table, const SetValue& value,
                                       QString& error);

QJsonArray FieldsJson(const QString& panel, std::span<const ControlInfo> table);
QString FieldsTable(const QString& panel, std::span<const ControlInfo> table);

// Upper-case hex without separators.
QString HexText(const QByteArray& bytes);
QString HexText(const Bytes& bytes);
// A frame as HexText prints it, but each byte of `secrets` as "**" unless `showSecrets`: the
// dump keeps the frame's length and layout, and a password does not reach scrollback, logs or
// saved reports.
QString FrameHex(const QByteArray& frame, const SecretSpans& secrets, bool showSecrets);
// Module bytes (GBK) as text for a terminal or JSON.
QString ShowText(const std::string& bytes);

// Text from the network as a terminal may print it: control characters, invisible format
// characters and line or paragraph separators become visible escapes (\n, \r, \t, \x1b,
// \u202e), and a backslash is doubled so that no escape can be faked. A module name holding a
// line break or an escape sequence would otherwise print a fake row or clear the screen.
QString TerminalText(const QString& text);

// A JSON document as r2ctl prints it (indented, UTF-8). QJsonDocument escapes only U+0000 to
// U+001F; DEL, the C1 controls (U+009B starts an escape sequence on some terminals) and the
// other characters TerminalText escapes are written as \u escapes as well.
QByteArray JsonText(const QJsonDocument& doc);

// What --json leaves on standard output once the run ended with `status`. `printed` is the
// document the command printed (may be empty). On failure an object gains "error" (unless it
// has one) and "exit"; nothing printed becomes {"error": ..., "exit": N}; the device list of
// a search stays a list, so that its type does not depend on the outcome. An empty `error`
// is replaced by what the status means.
QByteArray JsonResult(const QByteArray& printed, int status, const QString& error);
// What an exit status means, for a failure that printed no message of its own.
QString ExitMeaning(int status);
// The English text of a key of the program's built-in table, trimmed.
QString EnglishText(const QString& key);

// Standard error as a device that also keeps everything written to it, so that a failure
// under --json can repeat its message on standard output.
class KeptStderr final : public QIODevice {
    Q_DISABLE_COPY_MOVE(KeptStderr)

public:
    KeptStderr();
    // The messages written so far, without the "r2ctl: " in front, joined by "; ".
    QString messages() const;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    QByteArray m_kept;
};

} // namespace r2::ctl
