#include "cli_support.h"

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
        text.append(description).append("\n\n");
    }
    text.append(make_groups(app, mode));
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
