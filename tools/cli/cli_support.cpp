#include "tools/cli/cli_support.h"

#include <sstream>
#include <string_view>
#include <utility>

namespace r2::cli {

HelpFormatter::HelpFormatter(std::string usage, std::size_t width) : m_usage(std::move(usage)) {
    column_width(width);
}

std::string HelpFormatter::make_help(const CLI::App* app, std::string /*name*/,
                                     CLI::AppFormatMode mode) const {
    std::string text = m_usage;
    if (const std::string description = app->get_description(); !description.empty()) {
        text.append(description).append("\n");
    }
    text.append(make_subcommands(app, mode));
    if (const std::string groups = make_groups(app, mode); !groups.empty()) {
        text.append("\n").append(groups);
    }
    if (const std::string footer = app->get_footer(); !footer.empty()) {
        text.append("\n").append(footer).append("\n");
    }
    return text;
}

// A group's heading and its options; make_groups puts a blank line between groups.
std::string HelpFormatter::make_group(std::string group, bool is_positional,
                                      std::vector<const CLI::Option*> opts) const {
    std::string text = group + ":\n";
    for (const CLI::Option* option : opts) {
        text.append(make_option(option, is_positional));
    }
    return text;
}

std::string HelpFormatter::make_subcommand(const CLI::App* sub) const {
    const std::string description = sub->get_description();
    std::string_view rest = description;
    std::vector<std::string_view> synopsis;
    while (rest.starts_with(sub->get_name()) || rest.starts_with(' ')) {
        const auto end = rest.find('\n');
        synopsis.push_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    std::ostringstream out;
    for (std::size_t i = 0; i + 1 < synopsis.size(); ++i) {
        out << "  " << synopsis[i] << "\n";
    }
    // The last synopsis line shares its line with the description when it fits.
    CLI::detail::format_help(out, synopsis.empty() ? std::string() : std::string(synopsis.back()),
                             std::string(rest), get_column_width());
    // The command's own options, two spaces further in, their descriptions in the same column.
    HelpFormatter options(*this);
    options.column_width(get_column_width() - 2);
    for (const CLI::Option* option :
         sub->get_options([](const CLI::Option* o) { return o->nonpositional(); })) {
        std::istringstream lines(options.make_option(option, false));
        for (std::string line; std::getline(lines, line);) {
            out << "  " << line << "\n";
        }
    }
    return out.str();
}

CLI::Validator Check(std::function<std::string(const std::string&)> complaint) {
    return CLI::Validator(
        [complaint = std::move(complaint)](std::string& text) { return complaint(text); },
        std::string());
}

std::string ErrorText(const CLI::ParseError& error) {
    const std::string_view text = error.what();
    const auto colon = text.find(": ");
    // CLI11 words these "NAME: COMPLAINT" and "NAME: 1 required TYPE missing".
    if (colon != std::string_view::npos) {
        const std::string_view name = text.substr(0, colon);
        const std::string_view rest = text.substr(colon + 2);
        if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr) {
            return std::string(name).append(" ").append(rest);
        }
        if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr &&
            rest.ends_with(" missing")) {
            return std::string(name).append(" needs a value");
        }
    }
    return std::string(text);
}

std::string UnknownArgumentText(const std::vector<std::string>& remaining) {
    if (remaining.empty()) {
        return {};
    }
    return "unknown option " + remaining.front();
}

} // namespace r2::cli
