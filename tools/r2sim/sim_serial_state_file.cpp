#include "tools/r2sim/sim_serial_state_file.h"

#include "tools/r2sim/sim_json_file.h"
#include "tools/r2sim/sim_option_values.h"

#include <algorithm>
#include <array>
#include <QJsonObject>

namespace r2::sim::options {

void LoadSerialState(const std::string& path, SerialState& state) {
    const QJsonDocument doc = ReadJsonFile(path);
    if (!doc.isObject()) {
        throw ConfigError(path + ": the serial state must be a JSON object");
    }
    Bytes extra{state.p5Extra};
    const std::array<std::pair<std::string_view, Bytes*>, 7> fields = {
        {{"base", &state.base},
         {"port", &state.port},
         {"cloud", &state.cloud},
         {"heartReg", &state.heartReg},
         {"p5", &state.p5},
         {"p5Extra", &extra},
         {"p6Tail", &state.p6Tail}}};
    const QJsonObject json = doc.object();
    for (auto it = json.begin(); it != json.end(); ++it) {
        const std::string name = it.key().toStdString();
        const auto* field = std::find_if(fields.begin(), fields.end(),
                                         [&name](const auto& f) { return f.first == name; });
        if (field == fields.end()) {
            throw ConfigError(path + ": unknown serial state \"" + name + "\"");
        }
        Bytes bytes = HexOrThrow(it.value(), "serial state " + name);
        if (bytes.size() != field->second->size()) {
            throw ConfigError("serial state " + name + " has " + std::to_string(bytes.size()) +
                              " bytes, not " + std::to_string(field->second->size()));
        }
        *field->second = std::move(bytes);
    }
    state.p5Extra = extra[0];
}

} // namespace r2::sim::options
