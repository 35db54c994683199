// Fill -> encode on arbitrary blocks: the input is read as the replies of one P6 module (and,
// when asked, of another module read before it) and as one P5 read reply; each is filled into
// its panel as a read does and saved with no edit as a save does. Every block sent back must
// equal the block read but for the allowed differences of read_save_model.h.
//
// Input: a flag byte, the version (2 bytes, little-endian), then the blocks in the order base
// and port (130), cloud (50), heartbeat/registration (85, sent by modules from version 4017),
// HTTPD (302), Modbus switches (1 or 4), Modbus pack (87), P5 parameters (28) and the P5
// reply's extra byte; what the input lacks reads as zeros.

#include "read_save_model.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace {

using namespace r2;
using namespace r2::roundtrip;

class Reader final {
public:
    explicit Reader(std::span<const std::uint8_t> data) : m_data(data) {}

    Bytes Take(std::size_t n) {
        Bytes out(n, 0);
        const std::size_t available = std::min(n, m_data.size() - m_pos);
        std::copy_n(m_data.begin() + static_cast<std::ptrdiff_t>(m_pos), available, out.begin());
        m_pos += available;
        return out;
    }
    std::uint8_t Byte() { return Take(1)[0]; }
    unsigned Word() {
        const Bytes two = Take(2);
        return two[0] | (two[1] << 8U);
    }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
};

enum Flag : std::uint8_t {
    SendsCloud = 0x01,
    SendsHttpd = 0x02,
    SendsShortSwitches = 0x04,
    SendsSwitches = 0x08,
    SendsPack = 0x10,
    AfterAnotherModule = 0x20,
};

ModuleRead Module(Reader& in, std::uint8_t flags, unsigned version) {
    ModuleRead m;
    m.version = version;
    m.basePort = in.Take(BasePortReplyLen);
    const Bytes cloud = in.Take(CloudBlockLen);
    const Bytes heartReg = in.Take(HeartRegBlockLen);
    const Bytes httpd = in.Take(HttpdReplyLen);
    const Bytes switches = in.Take(ModbusSwitchLen);
    const Bytes pack = in.Take(ModbusPackBlockLen);
    if (flags & SendsCloud) {
        m.cloud = cloud;
    }
    if (version >= 4017) {
        m.heartReg = heartReg;
        if (flags & SendsHttpd) {
            m.httpd = httpd;
        }
    }
    if (flags & SendsShortSwitches) {
        m.modbusSwitches = Bytes(switches.begin(), switches.begin() + 1);
    } else if (flags & SendsSwitches) {
        m.modbusSwitches = switches;
    }
    if (flags & SendsPack) {
        m.modbusPack = pack;
    }
    return m;
}

void Report(const std::vector<std::string>& problems) {
    if (problems.empty()) {
        return;
    }
    for (const std::string& p : problems) {
        std::fprintf(stderr, "%s\n", p.c_str());
    }
    __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    Reader in(input);
    const std::uint8_t flags = in.Byte();
    const unsigned version = in.Word();
    const ModuleRead module = Module(in, flags, version);
    const Bytes p5Params = in.Take(28);
    const std::uint8_t p5Extra = in.Byte();

    Tally tally;
    if (flags & AfterAnotherModule) {
        // The module read before: the same input backwards, so both differ wherever it varies.
        const std::vector<std::uint8_t> backwards(input.rbegin(), input.rend());
        Reader priorIn(backwards);
        const std::uint8_t priorFlags = priorIn.Byte();
        const unsigned priorVersion = priorIn.Word();
        const ModuleRead prior = Module(priorIn, priorFlags, priorVersion);
        Report(CheckReadThenSave(&prior, module, tally));
    } else {
        Report(CheckReadThenSave(nullptr, module, tally));
    }

    PanelP5 shownBefore;
    DecodeP5Reply(P5Reply(Bytes(p5Params.rbegin(), p5Params.rend()), p5Extra), shownBefore);
    Report(CheckP5ReadThenSave(p5Params, p5Extra,
                               (flags & AfterAnotherModule) ? shownBefore : PanelP5{}, tally));
    return 0;
}
