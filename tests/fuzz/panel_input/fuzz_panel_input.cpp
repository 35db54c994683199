// What the panels take from outside under arbitrary input: heartbeat/registration blocks from a
// module, "name=value" settings from the r2ctl command line, and custom baud-rate answers. The
// first byte picks the reader, the rest is its input. Besides crashes and sanitizer reports,
// each branch checks the reader's promises.

#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p7.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace {

using namespace r2;

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// The data edits never hold more than the 40-byte fields give: 80 hex digits or 40 bytes.
void CheckHeartReg(std::span<const std::uint8_t> block, bool p6) {
    PanelP6 p;
    const bool filled = FillFromHeartReg(p, block, p6 ? DevFlagP6 : DevFlagP7);
    Require(filled == (p6 && block.size() >= HeartRegBlockLen));
    if (!filled) {
        Require(p == PanelP6{});
        return;
    }
    Require(p.edtHeartDt.size() <= (p.rzchckbxHeartDtHex ? 80u : 40u));
    Require(p.edtRegDt.size() <= (p.rzchckbxRegDtHex ? 80u : 40u));
    Require(p.RzComboBox1.index >= 0 && p.RzComboBox1.index < 3);
}

// An accepted value prints back in a form that is accepted again and changes nothing more.
template <class Panel, class Values> void CheckSet(std::string_view input, Values values) {
    const auto eq = input.find('=');
    const std::string_view name = input.substr(0, eq);
    const std::string_view value = eq == std::string_view::npos ? "" : input.substr(eq + 1);
    Panel p;
    std::string error;
    const bool ok = SetControl(p, name, value, error);
    Require(ok == error.empty());
    if (!ok) {
        Require(p == Panel{});
        return;
    }
    for (const auto& v : values(p)) {
        if (v.name == name) {
            Panel again = p;
            Require(SetControl(again, v.name, v.value, error));
            Require(values(again).size() == values(p).size());
        }
    }
}

void CheckBaudAnswer(std::string_view answer) {
    const auto value = ParseBaudAnswer(answer);
    if (value) {
        Require(ParseBaudAnswer(std::to_string(*value)) == value);
    }
    BaudRateList list = PanelP6{}.cbb_BaudRate0;
    ApplyCustomBaudEntry(list, answer);
    Require(list.index == 0 || list.ShownText() == "9600");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());
    switch (data[0] % 6) {
    case 0:
    case 1:
        CheckHeartReg(rest, data[0] % 6 == 0);
        break;
    case 2:
        CheckSet<PanelP6>(text, [](const PanelP6& p) { return ControlValuesP6(p); });
        break;
    case 3:
        CheckSet<PanelP7>(text, [](const PanelP7& p) { return ControlValuesP7(p); });
        break;
    case 4:
        CheckSet<PanelP5>(text, [](const PanelP5& p) { return ControlValuesP5(p); });
        break;
    default:
        CheckBaudAnswer(text);
        break;
    }
    return 0;
}
