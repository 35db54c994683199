#include "tools/r2ctl/ctl_output.h"

#include "lan/frame_text.h"
#include "lang/gbk_text.h"
#include "lang/Unit_AppLang.h"
#include "lang/Unit_Baselang.h"
#include "protocol/Unit_ProFun.h"

#include <algorithm>
#include <cstdio>
#include <QJsonParseError>
#include <QJsonValue>

namespace r2::ctl {

QString ModelName(int flag) {
    if (flag == DevFlagP6) {
        return QStringLiteral("P6");
    }
    if (flag == DevFlagP7) {
        return QStringLiteral("P7");
    }
    return QStringLiteral("none");
}

QJsonObject DeviceJson(const FoundModule& module) {
    return QJsonObject{{"ip", module.ip},
                       {"name", module.name},
                       {"mac", module.mac},
                       {"version", static_cast<int>(module.version)},
                       {"flag", module.flag},
                       {"model", ModelName(module.flag)},
                       {"ipIndex", module.socketIndex}};
}

namespace {

// Characters a terminal acts on or hides instead of showing: C0 and C1 controls and DEL,
// format characters (bidirectional overrides, zero-width ones), line and paragraph separators.
bool IsHiddenCharacter(char32_t c) {
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

QString HexDigits(char32_t c, int width) {
    return QStringLiteral("%1").arg(static_cast<uint>(c), width, 16, QLatin1Char('0'));
}

// Every cell goes through TerminalText, so widths are those of what is printed.
QString FormatTable(const QStringList& header, const std::vector<QStringList>& rawRows) {
    std::vector<QStringList> rows;
    for (const QStringList& raw : rawRows) {
        QStringList shown;
        for (const QString& cell : raw) {
            shown << TerminalText(cell);
        }
        rows.push_back(shown);
    }
    std::vector<qsizetype> widths;
    for (const QString& h : header) {
        widths.push_back(h.size());
    }
    for (const QStringList& r : rows) {
        for (qsizetype i = 0; i < r.size(); ++i) {
            widths[static_cast<size_t>(i)] = std::max(widths[static_cast<size_t>(i)], r[i].size());
        }
    }
    auto line = [&widths](const QStringList& cells) {
        QString out;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const bool last = i + 1 == cells.size();
            out += last ? cells[i] : cells[i].leftJustified(widths[static_cast<size_t>(i)] + 2);
        }
        return out + '\n';
    };
    QString out = line(header);
    for (const QStringList& r : rows) {
        out += line(r);
    }
    return out;
}

} // namespace

QString DeviceTable(std::span<const FoundModule> modules) {
    std::vector<QStringList> cells;
    for (const FoundModule& m : modules) {
        cells.push_back({m.ip, m.name, m.mac, m.versionText(), QString::number(m.flag),
                         ModelName(m.flag), QString::number(m.socketIndex)});
    }
    return FormatTable({"IP", "Name", "MAC", "Version", "Flag", "Model", "IpIndex"}, cells);
}

int ExitStatusFor(const Outcome& o) {
    switch (JudgeModule(o)) {
    case ModuleOutcome::Ok:
        return exitcode::Ok;
    case ModuleOutcome::PasswordRefused:
        return exitcode::PasswordError;
    case ModuleOutcome::NoAnswer:
        return exitcode::NoAnswer;
    case ModuleOutcome::SendFailed:
    case ModuleOutcome::NothingSent:
    case ModuleOutcome::ErrorStatus:
    case ModuleOutcome::TooFewAcks:
        break;
    }
    return exitcode::OtherError;
}

QString ExplainExit(const Outcome& o) {
    switch (JudgeModule(o)) {
    case ModuleOutcome::Ok:
        return {};
    case ModuleOutcome::PasswordRefused:
        return QStringLiteral("the module rejected the user name or password; pass the right "
                              "ones with --user and --password");
    case ModuleOutcome::NoAnswer:
        return QStringLiteral("nothing answered the %1 frame(s) sent").arg(o.framesSent);
    case ModuleOutcome::NothingSent:
        return QStringLiteral("nothing was sent: this command does not apply to the module");
    case ModuleOutcome::SendFailed:
        return QStringLiteral("%1 frame(s) could not be sent").arg(o.framesFailed);
    case ModuleOutcome::ErrorStatus:
        return QStringLiteral("the module answered with %1 error status(es)").arg(o.otherErrors);
    case ModuleOutcome::TooFewAcks:
        break;
    }
    return QStringLiteral("only %1 of %2 frame(s) were acknowledged").arg(o.acks).arg(o.framesSent);
}

int EntryIndex(std::string_view entries, std::string_view name) {
    int position = 0;
    for (std::size_t start = 0; start <= entries.size(); ++position) {
        const std::size_t bar = std::min(entries.find('|', start), entries.size());
        if (entries.substr(start, bar - start) == name) {
            return position;
        }
        start = bar + 1;
    }
    return -1;
}

QJsonObject PanelJson(std::span<const ControlInfo> table, const std::vector<ControlValue>& values) {
    QJsonObject out;
    for (const ControlValue& v : values) {
        const auto info = std::find_if(table.begin(), table.end(),
                                       [&v](const ControlInfo& i) { return i.name == v.name; });
        const QString name = QString::fromStdString(v.name);
        const ControlKind kind = info == table.end() ? ControlKind::Edit : info->kind;
        switch (kind) {
        case ControlKind::List:
            out[name] = EntryIndex(info->accepted, v.value);
            break;
        case ControlKind::CheckBox:
            out[name] = v.value == "1";
            break;
        case ControlKind::BaudList:
        case ControlKind::Edit:
            out[name] = ShowText(v.value);
            break;
        }
    }
    return out;
}

std::optional<QString> SetTextFromJson(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QJsonValue::Double:
        if (value.toDouble() != static_cast<double>(value.toInteger())) {
            return std::nullopt;
        }
        return QString::number(value.toInteger());
    case QJsonValue::String:
        return value.toString();
    default:
        return std::nullopt;
    }
}

std::optional<std::string> EntryNameAt(std::string_view entries, int index) {
    if (index == -1) {
        return "-1";
    }
    int position = 0;
    for (std::size_t start = 0; start <= entries.size(); ++position) {
        const std::size_t bar = std::min(entries.find('|', start), entries.size());
        if (position == index) {
            return std::string(entries.substr(start, bar - start));
        }
        start = bar + 1;
    }
    return std::nullopt;
}

std::optional<std::string> ControlText(std::span<const ControlInfo> table, const SetValue& value,
                                       QString& error) {
    const std::string name = value.control.toStdString();
    const auto info = std::find_if(table.begin(), table.end(),
                                   [&name](const ControlInfo& i) { return i.name == name; });
    if (info == table.end()) {
        return value.text.toStdString();
    }
    if (info->kind == ControlKind::Edit) {
        const QByteArray utf8 = value.text.toUtf8();
        auto gbk = Utf8ToGbk(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
        if (!gbk) {
            error = QStringLiteral("%1: \"%2\" has characters the module cannot store (GBK)")
                        .arg(value.control, value.text);
        }
        return gbk;
    }
    if (info->kind == ControlKind::List && value.jsonNumber) {
        bool isInt = false;
        const int index = value.text.toInt(&isInt);
        // toInt() gives 0 for a number beyond int, which would silently pick entry 0.
        auto entry = isInt ? EntryNameAt(info->accepted, index) : std::nullopt;
        if (!entry) {
            error = QStringLiteral("%1: %2 is not an entry index of this list (accepted: %3)")
                        .arg(value.control, value.text,
                             QString::fromUtf8(info->accepted.data(), info->accepted.size()));
        }
        return entry;
    }
    return value.text.toStdString();
}

QJsonArray FieldsJson(const QString& panel, std::span<const ControlInfo> table) {
    QJsonArray out;
    for (const ControlInfo& i : table) {
        out.append(
            QJsonObject{{"panel", panel},
                        {"name", QString::fromUtf8(i.name.data(), i.name.size())},
                        {"kind", QString::fromUtf8(ControlKindName(i.kind).data(),
                                                   ControlKindName(i.kind).size())},
                        {"meaning", QString::fromUtf8(i.meaning.data(), i.meaning.size())},
                        {"accepted", QString::fromUtf8(i.accepted.data(), i.accepted.size())}});
    }
    return out;
}

QString FieldsTable(const QString& panel, std::span<const ControlInfo> table) {
    std::vector<QStringList> cells;
    for (const ControlInfo& i : table) {
        cells.push_back(
            {QString::fromUtf8(i.name.data(), i.name.size()),
             QString::fromUtf8(ControlKindName(i.kind).data(), ControlKindName(i.kind).size()),
             QString::fromUtf8(i.meaning.data(), i.meaning.size()),
             QString::fromUtf8(i.accepted.data(), i.accepted.size())});
    }
    return panel.toUpper() + " panel\n" +
           FormatTable({"Control", "Kind", "Meaning", "Accepted"}, cells);
}

QString HexText(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex()).toUpper();
}

QString HexText(const Bytes& bytes) {
    return QString::fromStdString(BytesToHexSep(bytes, ""));
}

QString FrameHex(const QByteArray& frame, const SecretSpans& secrets, bool showSecrets) {
    QString hex = HexText(frame);
    if (showSecrets) {
        return hex;
    }
    for (const SecretSpan& span : secrets) {
        const auto offset = static_cast<qsizetype>(span.offset);
        const auto length = std::min(static_cast<qsizetype>(span.length), frame.size() - offset);
        if (length > 0) {
            hex.replace(2 * offset, 2 * length, QString(2 * length, QLatin1Char('*')));
        }
    }
    return hex;
}

QString ShowText(const std::string& bytes) {
    return FromFrameText(bytes);
}

QString TerminalText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        switch (c) {
        case '\\':
            out += QStringLiteral("\\\\");
            continue;
        case '\n':
            out += QStringLiteral("\\n");
            continue;
        case '\r':
            out += QStringLiteral("\\r");
            continue;
        case '\t':
            out += QStringLiteral("\\t");
            continue;
        default:
            break;
        }
        if (!IsHiddenCharacter(c)) {
            out += QString::fromUcs4(&c, 1);
        } else if (c <= 0xFF) {
            out += QStringLiteral("\\x") + HexDigits(c, 2);
        } else if (c <= 0xFFFF) {
            out += QStringLiteral("\\u") + HexDigits(c, 4);
        } else {
            out += QStringLiteral("\\U") + HexDigits(c, 8);
        }
    }
    return out;
}

QByteArray JsonText(const QJsonDocument& doc) {
    // QJsonDocument has escaped everything below U+0020 inside strings, so what is left there
    // is layout; outside strings a JSON text is ASCII, so every character escaped here is
    // inside a string.
    const QString text = QString::fromUtf8(doc.toJson(QJsonDocument::Indented));
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size();
        const char32_t c = pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i].unicode();
        const qsizetype units = pair ? 2 : 1;
        for (qsizetype k = 0; k < units; ++k) {
            out += c >= 0x7F && IsHiddenCharacter(c)
                       ? QStringLiteral("\\u") + HexDigits(text[i + k].unicode(), 4)
                       : QString(text[i + k]);
        }
        i += units - 1;
    }
    return out.toUtf8();
}

QString ExitMeaning(int status) {
    switch (status) {
    case exitcode::Ok:
        return {};
    case exitcode::BadArguments:
        return QStringLiteral("bad arguments");
    case exitcode::NotFound:
        return QStringLiteral("the module was not found by the search");
    case exitcode::PasswordError:
        return QStringLiteral("the module reported a user-name/password error");
    case exitcode::NoAnswer:
        return QStringLiteral("nothing answered the commands");
    default:
        return QStringLiteral("the module answered with an error, or a frame was not "
                              "acknowledged");
    }
}

QString EnglishText(const QString& key) {
    static const TLangList table = [] {
        TLangList list;
        BuildBuiltInTexts(list);
        return list;
    }();
    return QString::fromStdString(table.TranslateText(key.toStdString())).trimmed();
}

QByteArray JsonResult(const QByteArray& printed, int status, const QString& error) {
    QJsonParseError parseError;
    QJsonDocument doc = QJsonDocument::fromJson(printed, &parseError);
    if (status == exitcode::Ok || doc.isArray()) {
        return doc.isNull() ? printed : JsonText(doc);
    }
    QJsonObject object = doc.object();
    if (!object.contains(QStringLiteral("error"))) {
        object[QStringLiteral("error")] = error.isEmpty() ? ExitMeaning(status) : error;
    }
    object[QStringLiteral("exit")] = status;
    return JsonText(QJsonDocument(object));
}

KeptStderr::KeptStderr() {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

QString KeptStderr::messages() const {
    QStringList lines;
    for (const QString& line : QString::fromUtf8(m_kept).split('\n', Qt::SkipEmptyParts)) {
        lines << (line.startsWith(QStringLiteral("r2ctl: ")) ? line.mid(7) : line);
    }
    return lines.join(QStringLiteral("; "));
}

qint64 KeptStderr::readData(char*, qint64) {
    return -1;
}

qint64 KeptStderr::writeData(const char* data, qint64 size) {
    m_kept.append(data, size);
    const auto written = std::fwrite(data, 1, static_cast<std::size_t>(size), stderr);
    std::fflush(stderr);
    return static_cast<qint64>(written);
}

} // namespace r2::ctl
