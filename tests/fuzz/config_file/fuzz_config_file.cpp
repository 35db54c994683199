// Reads arbitrary bytes as a module configuration file. Whatever the reader accepts must keep
// its promise: every value applies to a panel of the file's model, and the file written from
// it reads back as the same configuration. Nothing may crash on any input.
#include "protocol/config/config_apply.h"
#include "protocol/config/config_file.h"

#include <cstdint>
#include <cstdlib>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace r2::config;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const ReadResult read = ReadModuleConfig(input, "fuzz.json");
    if (!read.config) {
        if (read.error.rfind("fuzz.json: ", 0) != 0) {
            std::abort();
        }
        return 0;
    }
    std::variant<r2::PanelP6, r2::PanelP7, r2::PanelP5> panel;
    if (read.config->model == Model::P7) {
        panel = r2::PanelP7{};
    } else if (read.config->model == Model::P5) {
        panel = r2::PanelP5{};
    }
    std::string error;
    if (!std::visit([&](auto& p) { return ApplyModuleConfig(p, *read.config, true, error); },
                    panel)) {
        std::abort();
    }
    const ReadResult again = ReadModuleConfig(WriteModuleConfig(*read.config), "again.json");
    if (!again.config || *again.config != *read.config) {
        std::abort();
    }
    return 0;
}
