#pragma once
// How a command declares its options: each option bound to the field of CtlOptions it sets,
// its value checked by a converter that returns the complaint following the option's name
// ("needs a number of milliseconds, not \"2s\""), or nothing when the value is good.
//
// CLI11 stays behind ctl_declaration.cpp: the commands declare their options in many files,
// and each file that reads CLI11's header pays seconds of compile time for it.

#include "tools/r2ctl/ctl_args.h"

#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace r2::ctl {

// A repeatable option's values, appended to their list once the line parsed.
struct ListBinding {
    const CLI::Option* option;
    QStringList* target;
};

class CommandDeclaration final {
public:
    // A value's converter: the complaint about `text`, or nothing once `out` holds its value.
    template <typename T> using Convert = QString (*)(const QString& text, T& out);

    CommandDeclaration(CLI::App& app, CtlOptions& options, std::vector<ListBinding>& lists)
        : m_app(app), m_options(options), m_lists(lists) {}

    CtlOptions& options() { return m_options; }

    template <typename T>
    CLI::Option* value(const std::string& name, const std::string& valueText, T& target,
                       Convert<T> convert, const std::string& description) {
        return option(
            name, valueText, description,
            [&target, convert](const QString& v) { convert(v, target); }, ComplaintOf(convert));
    }
    CLI::Option* text(const std::string& name, const std::string& valueText, QString& target,
                      const std::string& description);
    CLI::Option* flag(const std::string& name, bool& target, const std::string& description);
    // An option that may be repeated; every value goes to `target` in the order given, each
    // checked by `check` when there is one.
    CLI::Option* list(const std::string& name, const std::string& valueText, QStringList& target,
                      const std::string& description, Convert<QString> check = nullptr);

private:
    // What `convert` says of a text, keeping no value.
    template <typename T>
    static std::function<QString(const QString&)> ComplaintOf(Convert<T> convert) {
        return [convert](const QString& v) {
            T scratch{};
            return convert(v, scratch);
        };
    }
    CLI::Option* option(const std::string& name, const std::string& valueText,
                        const std::string& description, std::function<void(const QString&)> store,
                        std::function<QString(const QString&)> complaint);

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
