#include "tools/r2ctl/ctl_declaration.h"

#include "tools/cli/cli_support.h"
#include "tools/r2ctl/ctl_argv.h"

#include <CLI/CLI.hpp>

namespace r2::ctl {

namespace {

QString AnyText(const QString& value, QString& out) {
    out = value;
    return {};
}

CLI::Validator CheckedBy(std::function<QString(const QString&)> complaint) {
    return cli::Check([complaint = std::move(complaint)](const std::string& v) {
        return complaint(Text(v)).toStdString();
    });
}

} // namespace

CLI::Option* CommandDeclaration::option(const std::string& name, const std::string& valueText,
                                        const std::string& description,
                                        std::function<void(const QString&)> store,
                                        std::function<QString(const QString&)> complaint) {
    return m_app
        .add_option_function<std::string>(
            name, [store = std::move(store)](const std::string& v) { store(Text(v)); }, description)
        ->option_text(valueText)
        ->check(CheckedBy(std::move(complaint)));
}

CLI::Option* CommandDeclaration::text(const std::string& name, const std::string& valueText,
                                      QString& target, const std::string& description) {
    return value(name, valueText, target, &AnyText, description);
}

CLI::Option* CommandDeclaration::flag(const std::string& name, bool& target,
                                      const std::string& description) {
    return m_app.add_flag(name, target, description);
}

CLI::Option* CommandDeclaration::list(const std::string& name, const std::string& valueText,
                                      QStringList& target, const std::string& description,
                                      Convert<QString> check) {
    CLI::Option* option = m_app.add_option(name, description)
                              ->expected(1)
                              ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                              ->option_text(valueText);
    if (check != nullptr) {
        option->check(CheckedBy(ComplaintOf(check)));
    }
    m_lists.push_back({option, &target});
    return option;
}

} // namespace r2::ctl
