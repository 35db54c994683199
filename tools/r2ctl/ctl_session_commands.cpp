// search, read, write and reset: the commands a CtlSession runs on one module (or, search,
// on none).

#include "tools/r2ctl/ctl_command.h"
#include "tools/r2ctl/ctl_declaration.h"
#include "tools/r2ctl/ctl_session.h"

namespace r2::ctl {

namespace {

QString CheckSearch(CtlOptions& /*options*/, const QStringList& arguments) {
    return arguments.isEmpty() ? QString() : QStringLiteral("search takes no argument");
}

} // namespace

int RunCtlSession(const CtlOptions& options, QTextStream& out, QTextStream& err) {
    CtlSession session(options, out, err);
    return session.run();
}

const CommandSpec SearchCommand{
    CommandId::Search,
    "search",
    "search",
    "List the modules that answer a search.",
    "Broadcast the search on every local IPv4 address, collect replies\n"
    "for --wait ms and list the modules (one row per MAC, first reply\n"
    "wins, in arrival order).",
    "r2ctl search --wait 3000 --json",
    nullptr,
    &CheckSearch,
    &RunCtlSession};

const CommandSpec ReadCommand{
    CommandId::Read,
    "read",
    "read MAC",
    "Read a module: its blocks and, for a P6, its panel.",
    "Find the module by a search, read it as a click on its row does, and\n"
    "collect the replies for --wait ms. Prints the blocks received and, for\n"
    "a P6, the P6 panel filled from them and the Modbus controls' visibility.",
    "r2ctl read 00:11:22:33:44:55 --json > panel.json",
    nullptr,
    &CheckOneMac,
    &RunCtlSession};

const CommandSpec WriteCommand{
    CommandId::Write,
    "write",
    "write MAC [--set CONTROL=VALUE]... [--from FILE.json]",
    "Read a module, change controls of its panel and save it.",
    "Read the module, apply the values to its panel (P6: the panel as read;\n"
    "P7: the P7 panel's design state), then save: every frame sent and every\n"
    "status received is printed; waits --wait ms after the last frame.\n"
    "FILE.json is an object {\"CONTROL\": value} in the types \"read --json\"\n"
    "prints: an edit takes a string, a list its entry index as a number (or\n"
    "an entry name as a string), a check box true/false, a baud list the\n"
    "rate. With --set a list takes an entry name, or an index when no entry\n"
    "has that name. --set values are applied after those of FILE.json.\n"
    "Values are checked and every block is encoded before the first frame\n"
    "goes out: a value that does not convert sends nothing.",
    "r2ctl write 00:11:22:33:44:55 --set edt_ModName=Line1 --from changes.json",
    &DeclareValueOptions,
    &CheckOneMac,
    &RunCtlSession};

const CommandSpec ResetCommand{
    CommandId::Reset,
    "reset",
    "reset MAC",
    "Restore a module's factory settings.",
    "Restore the module's factory settings (P6: port 1500, P7: port 1901).",
    "r2ctl reset 00:11:22:33:44:55",
    nullptr,
    &CheckOneMac,
    &RunCtlSession};

} // namespace r2::ctl
