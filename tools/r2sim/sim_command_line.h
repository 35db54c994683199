#pragma once
// r2sim's command line declared for CLI11: the options by group (modules, shared settings,
// hostile modules, logging, serial, boot loader), each bound to what it sets; the groups also
// tell the modes apart after the parse.

#include "tools/cli/cli_support.h"
#include "tools/r2sim/sim_modules_file.h"
#include "tools/r2sim/sim_option_values.h"
#include "tools/r2sim/sim_options.h"

#include <array>
#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace r2::sim::options {

// A check for CLI11 from a converter: what it would throw, less the option's name, which CLI11
// puts in front of a complaint.
template <typename Convert> CLI::Validator CheckedBy(Convert convert) {
    return cli::Check([convert](const std::string& text) -> std::string {
        try {
            convert(text, std::string_view());
        } catch (const ConfigError& e) {
            return std::string(e.what()).substr(1);
        }
        return {};
    });
}

// The command line's options, bound to what they set; the modes' rules and the modules come
// after the parse.
class CommandLine final {
public:
    CommandLine();

    SimOptions parse(const std::vector<std::string>& args);
    std::string help() const { return m_app.help(); }

private:
    // An option with a value `convert` turns into `target` (or refuses); the last one given wins.
    template <typename T, typename Convert>
    CLI::Option* addValue(const std::string& name, const std::string& valueText, T& target,
                          Convert convert, const std::string& description) {
        return m_app
            .add_option_function<std::string>(
                name, [&target, convert, name](const std::string& v) { target = convert(v, name); },
                description)
            ->option_text(valueText)
            ->check(CheckedBy(convert));
    }
    CLI::Option* addText(const std::string& name, const std::string& valueText, std::string& target,
                         const std::string& description) {
        return m_app.add_option(name, target, description)->option_text(valueText);
    }
    // The first option given, in the order of the line, that `belongs` says yes to.
    std::string firstGiven(const std::function<bool(const CLI::Option&)>& belongs) const;
    void declare();
    // Each group's options, in the order --help lists them.
    void declareModules();
    void declareShared();
    void declareHostile();
    void declareLogging();
    void declareSerial();
    void declareBootLoader();
    void declareBootLoaderFaults();
    void declareOther();
    // The options of each mode: one boot loader, one module on a pseudo-terminal, or the
    // modules on UDP.
    SimOptions bootLoaderMode();
    SimOptions serialMode();
    SimOptions modules();
    // The first serial option given but --serial itself, or nothing.
    std::string firstSerialOption() const;

    CLI::App m_app{"", "r2sim"};
    SimOptions m_options;
    Shared m_shared;
    std::string m_configPath;
    std::array<int, 3> m_counts{};
    std::pair<int, int> m_flood{};
    int m_copies = 1;
    std::optional<SerialModel> m_serialModel;
    SerialSimOptions m_serial;
    std::string m_serialStatePath;
    BootLoaderOptions m_boot;
    CLI::Option* m_serialOption = nullptr;
    CLI::Option* m_bootLoaderOption = nullptr;
    CLI::Option* m_copiesOption = nullptr;
    CLI::Option* m_duplicateOption = nullptr;
};

} // namespace r2::sim::options
