#include "tools/r2sim/sim_json_file.h"

#include "tools/r2sim/sim_option_values.h"
#include "tools/r2sim/sim_options.h"

#include <QFile>

namespace r2::sim::options {

QJsonDocument ReadJsonFile(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        throw ConfigError("cannot read " + path + ": " + file.errorString().toStdString());
    }
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &err);
    if (doc.isNull()) {
        throw ConfigError(path + ": " + err.errorString().toStdString() + " at offset " +
                          std::to_string(err.offset));
    }
    return doc;
}

std::string Str(const QJsonValue& v) {
    return v.toString().toStdString();
}

Bytes HexOrThrow(const QJsonValue& v, const std::string& what) {
    if (!v.isString()) {
        throw ConfigError(what + " must be a hex string");
    }
    auto bytes = ParseHexBytes(Str(v));
    if (!bytes) {
        throw ConfigError(what + " is not hex: " + Str(v));
    }
    return *bytes;
}

} // namespace r2::sim::options
