#pragma once
// How a command declares its options: each option bound to the field of CtlOptions it sets,
// its value checked by a converter that returns the complaint following the option's name
// ("needs a number of milliseconds, not \"2s\""), or nothing when the value is good.

#include "cli_support.h"
#include "ctl_args.h"
#include "ctl_argv.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace r2::ctl {

// A repeatable option's values, appended to their list once the line parsed.
struct ListBinding {
    const CLI::Option* option;
    QStringList* target;
};

class CommandDeclaration final {
public:
    CommandDeclaration(CLI::App& app, CtlOptions& options, std::vector<ListBinding>& lists)
        : m_app(app), m_options(options), m_lists(lists) {}

    CtlOptions& options() { return m_options; }

    template <typename T>
    CLI::Option* value(const std::string& name, const std::string& valueText, T& target,
                       QString (*convert)(const QString&, T&), const std::string& description) {
        return m_app
            .add_option_function<std::string>(
                name, [&target, convert](const std::string& v) { convert(Text(v), target); },
                description)
            ->option_text(valueText)
            ->check(cli::Check([convert](const std::string& v) {
                T scratch{};
                return convert(Text(v), scratch).toStdString();
            }));
    }
    CLI::Option* text(const std::string& name, const std::string& valueText, QString& target,
                      const std::string& description) {
        return value(name, valueText, target, &AnyText, description);
    }
    CLI::Option* flag(const std::string& name, bool& target, const std::string& description) {
        return m_app.add_flag(name, target, description);
    }
    // An option that may be repeated; every value goes to `target` in the order given.
    CLI::Option* list(const std::string& name, const std::string& valueText, QStringList& target,
                      const std::string& description) {
        CLI::Option* option = m_app.add_option(name, description)
                                  ->expected(1)
                                  ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                                  ->option_text(valueText);
        m_lists.push_back({option, &target});
        return option;
    }

private:
    static QString AnyText(const QString& value, QString& out) {
        out = value;
        return {};
    }

    CLI::App& m_app;
    CtlOptions& m_options;
    std::vector<ListBinding>& m_lists;
};

// The options several commands share.
// write and serial write: --set CONTROL=VALUE... and --from FILE.json (ctl_values.cpp).
void DeclareValueOptions(CommandDeclaration& declaration);
// restart, upgrade, clone: --stop-on-error (ctl_batch.cpp).
void DeclareStopOnError(CommandDeclaration& declaration);

} // namespace r2::ctl
