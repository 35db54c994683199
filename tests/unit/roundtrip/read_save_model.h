#pragma once
// A read of a module followed by a save with no edit, done the way the window does them (the
// replies go through PanelP6Reader, as the window's do), and the one list of byte changes such
// a save may make to what it read. The property test and the fuzz target share it; it uses the
// protocol layer only. The property test also checks that SaveUnchanged sends exactly what the
// LAN save plan (PlanP6Save) sends.

#include "protocol/block_codec.h"
#include "protocol/p5_codec.h"
#include "protocol/panel_p5.h"
#include "protocol/panel_p6.h"
#include "protocol/panel_p6_reader.h"
#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace r2::roundtrip {

// The replies one P6 module sends to a read, as the UDP endpoint hands them over; a reply the
// module does not send is empty. The version is the one its search reply gave.
struct ModuleRead {
    unsigned version = 0;
    Bytes basePort; // 130 bytes, always sent
    Bytes cloud;
    Bytes heartReg;
    Bytes httpd;
    Bytes modbusSwitches; // 1 or 4 bytes
    Bytes modbusPack;
};

inline std::string RowMac(const ModuleRead& m) {
    return MacToText(ByteView(m.basePort).subspan(53, MacWidth));
}

// The click on the module's row and the replies to the read, through the reader the window,
// the batch jobs and r2ctl use.
inline void ReadModule(const ModuleRead& m, PanelP6& panel, ParamMirror& mirror) {
    PanelP6Reader reader(panel);
    reader.ReadModule(RowMac(m), DevFlagP6);
    for (const Bytes* reply :
         {&m.basePort, &m.cloud, &m.heartReg, &m.httpd, &m.modbusSwitches, &m.modbusPack}) {
        if (!reply->empty()) {
            HandleParamReply(mirror, *reply, DevFlagP6, reader);
        }
    }
}

// One block of a save, in sending order.
struct SentBlock {
    std::uint8_t command = 0;
    Bytes block;

    bool operator==(const SentBlock&) const = default;
};

struct SaveResult {
    std::vector<SentBlock> blocks;
    EncodeResult failure; // ok() unless an encoder refused a control's text
};

// The blocks the P6 LAN save sends for this panel, mirror and module version, by its rules: base
// and port always; the cloud block for registration type cloud with a 20-byte device ID and an
// 8-byte password; heartbeat/registration from version 4017; both HTTPD blocks from 4017 in
// HTTPD client mode; the Modbus switches (in the form the module sent) and the Modbus pack only
// when the module sent them.
inline SaveResult SaveUnchanged(const PanelP6& panel, const ParamMirror& mirror, unsigned version) {
    constexpr unsigned heartRegVersion = 4017;
    ParamMirror m = mirror;
    SaveResult out;
    const auto take = [&](EncodeResult r) {
        if (out.failure.ok() && !r.ok()) {
            out.failure = std::move(r);
        }
    };
    const auto send = [&](std::uint8_t command, ByteView block) {
        out.blocks.push_back({command, Bytes(block.begin(), block.end())});
    };
    take(EncodeBaseP6(panel, m));
    take(EncodePortP6(panel, m));
    send(CmdWriteBase, m.base);
    send(CmdWritePort, m.port);
    if (panel.RzComboBox2.index == 3 && panel.edtDid.size() == 20 && panel.edtCompass.size() == 8) {
        take(EncodeCloud(panel, m));
        send(CmdWriteCloud, m.cloud);
    }
    if (version >= heartRegVersion) {
        take(EncodeHeartReg(panel, m));
        send(CmdWriteHeartReg, m.heartReg);
        if (panel.cbb_WorkMode0.index == 4) {
            EncodeHttpd(panel, m);
            send(CmdWriteHttpdUrl, HttpdUrlBlock(m));
            send(CmdWriteHttpdHead, HttpdHeadBlock(m));
        }
    }
    if (panel.state.rzgrpbxModbus.visible) {
        if (panel.state.rzchckbxmodbuspool.visible) {
            take(EncodeModbus(panel, m));
            send(CmdWriteModbus, m.modbusSwitches);
        } else {
            send(CmdWriteModbus, EncodeModbusShort(panel));
        }
    }
    if (panel.state.RzGroupBox1.visible) {
        take(EncodeModbusPack(panel, m));
        send(CmdWriteModbus, m.modbusPack);
    }
    return out;
}

// ---- The changes an unchanged save may make ----------------------------------------------

enum class Block {
    Base,
    Port,
    Cloud,
    HeartReg,
    Httpd, // URL block and header block one after the other: the 302-byte reply's layout
    ModbusShort,
    ModbusSwitches,
    ModbusPack,
    P5Params, // the 28 parameter bytes of a P5/P7 serial read and save
};

inline std::string_view BlockName(Block b) {
    constexpr std::array<std::string_view, 9> names = {
        "base",       "port", "cloud", "heartReg", "httpd", "modbus(1 byte)", "modbus(4 bytes)",
        "modbusPack", "p5"};
    return names[static_cast<std::size_t>(b)];
}

// What a rule may look at: the bytes read, and the P6 panel as it was before this read (the
// design state on the first read), whose lists keep their entry when a code names none.
struct Context {
    const Bytes& read;
    const PanelP6& before;
};

struct AllowedDifference {
    Block block;
    std::string_view name;
    std::string_view reason;
    void (*apply)(Bytes& expected, const Context& c);
};

namespace detail {

inline void ZeroAfterFirstZero(Bytes& b, std::size_t offset, std::size_t width) {
    const auto begin = b.begin() + static_cast<std::ptrdiff_t>(offset);
    const auto end = begin + static_cast<std::ptrdiff_t>(width);
    std::fill(std::find(begin, end, 0), end, 0);
}

inline void OutsideWrittenAs(Bytes& b, std::size_t offset, int low, int high, std::uint8_t as) {
    if (b[offset] < low || b[offset] > high) {
        b[offset] = as;
    }
}

inline int RegistrationEntry(const Bytes& port) {
    int entry = 0;
    if (port[50] & 0x10) {
        entry = 3;
    }
    if (port[50] & 0x40) {
        entry = 1;
    }
    if (port[56] == 1) {
        entry = 2;
    }
    return entry;
}

inline void HeartRegData(Bytes& b, std::size_t lengthOffset, std::size_t dataOffset) {
    b[lengthOffset] = std::min<std::uint8_t>(b[lengthOffset], 40);
    std::fill(b.begin() + static_cast<std::ptrdiff_t>(dataOffset + b[lengthOffset]),
              b.begin() + static_cast<std::ptrdiff_t>(dataOffset + 40), 0);
}

} // namespace detail

// Every byte an unchanged save may send differently from what it read, each with the rule it
// follows. Anything not listed here must come back byte for byte.
inline const AllowedDifference AllowedDifferences[] = {
    {Block::Base, "module name, user name and password end at their first zero byte",
     "a text field is read up to its first zero byte and written zero-filled",
     [](Bytes& b, const Context&) {
         detail::ZeroAfterFirstZero(b, 21, 16);
         detail::ZeroAfterFirstZero(b, 37, 6);
         detail::ZeroAfterFirstZero(b, 43, 6);
     }},
    {Block::Base, "ID flag bits 0..3 are written as 0",
     "the P6 panel shows bits 4..7 (Reset, Link, Index, RFC2217) and writes bits 0..3 as 0",
     [](Bytes& b, const Context&) { b[52] &= 0xF0; }},

    {Block::Port, "destination address ends at its first zero byte",
     "a text field is read up to its first zero byte and written zero-filled",
     [](Bytes& b, const Context&) { detail::ZeroAfterFirstZero(b, 16, 30); }},
    {Block::Port, "data bits outside 5..8 are written as 4",
     "no entry of cbb_D0 matches; no selection is index -1, written as index + 5",
     [](Bytes& b, const Context&) { detail::OutsideWrittenAs(b, 4, 5, 8, 4); }},
    {Block::Port, "parity outside 1..5 is written as 0",
     "no entry of cbb_P0 matches; no selection is index -1, written as index + 1",
     [](Bytes& b, const Context&) { detail::OutsideWrittenAs(b, 5, 1, 5, 0); }},
    {Block::Port, "stop bits other than 1 and 2 are written as 0",
     "no entry of cbb_S0 matches; no selection is index -1, written as index + 1",
     [](Bytes& b, const Context&) { detail::OutsideWrittenAs(b, 6, 1, 2, 0); }},
    {Block::Port, "flow control other than 1, 3, 5 is written as the list's previous entry",
     "such a code has no entry, so cbb_FlowControl0 keeps what it showed (None on a first read)",
     [](Bytes& b, const Context& c) {
         const int entry = c.before.cbb_FlowControl0.index;
         if (b[7] != 1 && b[7] != 3 && b[7] != 5 && entry >= 0) {
             b[7] = FlowControlCodes[entry];
         }
     }},
    {Block::Port, "bytes 8..11 are written as 0", "reserved bytes that every port save clears",
     [](Bytes& b, const Context&) { std::fill_n(b.begin() + 8, 4, 0); }},
    {Block::Port, "Modbus TCP bit only with a TCP work mode",
     "bit 2 of byte 50 is written as on only for TCP client or TCP server (work mode 1 or 3)",
     [](Bytes& b, const Context&) {
         if (b[51] != 1 && b[51] != 3) {
             b[50] &= static_cast<std::uint8_t>(~0x04U);
         }
     }},
    {Block::Port, "only the registration kind the list shows is written",
     "RzComboBox2 shows the last of cloud (bit 4), MAC (bit 6), custom (byte 56 = 1) that "
     "applies; bits 4, 6 and byte 56 (as 1 or 0) are written for that entry alone",
     [](Bytes& b, const Context&) {
         const int entry = detail::RegistrationEntry(b);
         b[50] = static_cast<std::uint8_t>((b[50] & ~0x50U) | (entry == 3 ? 0x10U : 0U) |
                                           (entry == 1 ? 0x40U : 0U));
         b[56] = entry == 2 ? 1 : 0;
     }},
    {Block::Port, "work mode above 4 is written as 0xFF",
     "no entry of cbb_WorkMode0 matches; no selection is index -1, whose low byte is written",
     [](Bytes& b, const Context&) { detail::OutsideWrittenAs(b, 51, 0, 4, 0xFF); }},
    {Block::Port, "HTTPD method above 1 is written as 0xFF",
     "no entry of cbbGetPost matches; no selection is index -1, whose low byte is written",
     [](Bytes& b, const Context&) { detail::OutsideWrittenAs(b, 52, 0, 1, 0xFF); }},
    {Block::Port, "TCP server count outside 1..16 is written as 0",
     "no entry of cbb_TCPSvrCount0 matches; no selection is index -1, written as index + 1",
     [](Bytes& b, const Context&) { detail::OutsideWrittenAs(b, 53, 1, 16, 0); }},
    {Block::Port, "byte 58 other than 0 and 1 is written as 0",
     "the P6 save writes the UDP source check alone there (1 on, 0 off); the TCP style its "
     "low bits carry for a P7 is not written",
     [](Bytes& b, const Context&) { detail::OutsideWrittenAs(b, 58, 0, 1, 0); }},

    {Block::HeartReg, "heartbeat bits 0 and 1 both set are written as bit 0",
     "RzComboBox1 shows the network heartbeat (bit 0) whatever bit 1 says",
     [](Bytes& b, const Context&) {
         if ((b[0] & 0x03) == 0x03) {
             b[0] &= static_cast<std::uint8_t>(~0x02U);
         }
     }},
    {Block::HeartReg, "registration bits 00 are written as the list's previous entry",
     "00 names no entry, so cbbRegType keeps what it showed (entry 0, bits 01, on a first read)",
     [](Bytes& b, const Context& c) {
         const int entry = c.before.cbbRegType.index;
         if ((b[0] & 0x0C) == 0 && entry >= 0) {
             b[0] = static_cast<std::uint8_t>(b[0] | ((entry + 1) << 2));
         }
     }},
    {Block::HeartReg, "data lengths above 40 are written as 40, the data after them as 0",
     "each data field holds 40 bytes; the save writes a length and that many bytes, the rest of "
     "the field zero-filled",
     [](Bytes& b, const Context&) {
         detail::HeartRegData(b, 3, 5);
         detail::HeartRegData(b, 4, 45);
     }},

    {Block::Httpd, "a length above its field is written as the field's width",
     "the URL field holds 100 bytes and the header field 200; a longer length is read as the "
     "width",
     [](Bytes& b, const Context&) {
         b[0] = static_cast<std::uint8_t>(std::min<std::size_t>(b[0], HttpdUrlLen));
         b[HttpdUrlBlockLen] =
             static_cast<std::uint8_t>(std::min<std::size_t>(b[HttpdUrlBlockLen], HttpdHeadLen));
     }},

    {Block::ModbusShort, "a switch byte other than 1 is written as 0",
     "the switch is a check box, checked for 1, and written as 1 or 0",
     [](Bytes& b, const Context&) { b[0] = b[0] == 1 ? 1 : 0; }},
    {Block::ModbusSwitches, "switch bytes other than 1 are written as 0",
     "both switches are check boxes, checked for 1, and written as 1 or 0",
     [](Bytes& b, const Context&) {
         b[0] = b[0] == 1 ? 1 : 0;
         b[1] = b[1] == 1 ? 1 : 0;
     }},

    {Block::ModbusPack, "a type above 2 is written as 0xFF",
     "no entry of cbbModbusType matches; no selection is index -1, whose low byte is written, "
     "and no other byte is written then",
     [](Bytes& b, const Context&) { detail::OutsideWrittenAs(b, 0, 0, 2, 0xFF); }},
    {Block::ModbusPack, "for types 1 and 2 an exception code above 1 is written as 0xFF",
     "no entry of cbbModbusException matches; no selection is index -1, whose low byte is written",
     [](Bytes& b, const Context&) {
         if (b[0] == 1 || b[0] == 2) {
             detail::OutsideWrittenAs(b, 1, 0, 1, 0xFF);
         }
     }},
    {Block::ModbusPack, "for type 2 a report protocol above 1 is written as 0xFF",
     "no entry of cbbReporproto matches; no selection is index -1, whose low byte is written",
     [](Bytes& b, const Context&) {
         if (b[0] == 2) {
             detail::OutsideWrittenAs(b, 6, 0, 1, 0xFF);
         }
     }},

    // Offsets inside the 28 parameter bytes (frame offset - 2).
    {Block::P5Params, "work mode above 3 is written as 0xFF",
     "no entry of cbb_ModuleWork matches; no selection is index -1, whose low byte is written",
     [](Bytes& b, const Context&) { detail::OutsideWrittenAs(b, 16, 0, 3, 0xFF); }},
    {Block::P5Params, "serial format bits 7..6 are written as 0",
     "they are not used; the format byte is built from the three lists alone",
     [](Bytes& b, const Context&) { b[20] &= 0x3F; }},
    {Block::P5Params, "the parity kind is written as 0 when parity is off",
     "bits 5..4 name the parity only when bit 3 is on; cbb_P shows NONE otherwise",
     [](Bytes& b, const Context&) {
         if ((b[20] & 0x08) == 0) {
             b[20] &= static_cast<std::uint8_t>(~0x30U);
         }
     }},
};

// How often each block was compared and each allowed difference changed a byte.
struct Tally {
    std::map<std::string_view, int> compared;
    std::map<std::string_view, int> applied;
};

// The bytes an unchanged save must send for a block read as `read`.
inline Bytes ExpectedAfterSave(Block block, const Bytes& read, const PanelP6& before,
                               Tally& tally) {
    Bytes expected = read;
    const Context context{read, before};
    for (const AllowedDifference& d : AllowedDifferences) {
        if (d.block != block) {
            continue;
        }
        const Bytes was = expected;
        d.apply(expected, context);
        if (expected != was) {
            ++tally.applied[d.name];
        }
    }
    return expected;
}

namespace detail {

inline std::string Hex(const Bytes& b) {
    return BytesToHexLine(b);
}

inline std::optional<Bytes> Sent(const SaveResult& saved, std::uint8_t command,
                                 std::optional<std::size_t> length = std::nullopt) {
    for (const SentBlock& s : saved.blocks) {
        if (s.command == command && (!length || s.block.size() == *length)) {
            return s.block;
        }
    }
    return std::nullopt;
}

inline void Compare(Block block, const Bytes& read, const std::optional<Bytes>& sent,
                    const PanelP6& before, Tally& tally, std::vector<std::string>& problems) {
    if (!sent) {
        return;
    }
    ++tally.compared[BlockName(block)];
    const Bytes expected = ExpectedAfterSave(block, read, before, tally);
    if (*sent != expected) {
        problems.push_back(std::string(BlockName(block)) + ": read " + Hex(read) + "\n  sent " +
                           Hex(*sent) + "\n  want " + Hex(expected));
    }
}

inline Bytes Slice(const Bytes& b, std::size_t offset, std::size_t width) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(offset),
                 b.begin() + static_cast<std::ptrdiff_t>(offset + width));
}

} // namespace detail

// Reads `module` (after `prior`, when given, was read into the same window) and saves with no
// edit. Returns what went wrong: a save that refused a value, a block that must always go back
// and did not, or a block sent back with bytes the allowed differences do not explain.
inline std::vector<std::string> CheckReadThenSave(const ModuleRead* prior, const ModuleRead& module,
                                                  Tally& tally) {
    PanelP6 panel;
    ParamMirror mirror;
    if (prior) {
        ReadModule(*prior, panel, mirror);
    }
    const PanelP6 before = panel;
    ReadModule(module, panel, mirror);
    const SaveResult saved = SaveUnchanged(panel, mirror, module.version);

    std::vector<std::string> problems;
    if (!saved.failure.ok()) {
        problems.push_back("the save refused a value read from the module: " +
                           saved.failure.Message());
        return problems;
    }
    const auto base = detail::Sent(saved, CmdWriteBase);
    const auto port = detail::Sent(saved, CmdWritePort);
    if (!base || !port) {
        problems.push_back("the save did not send the base and port blocks");
        return problems;
    }
    using detail::Compare;
    using detail::Sent;
    Compare(Block::Base, detail::Slice(module.basePort, 0, BaseBlockLen), base, before, tally,
            problems);
    Compare(Block::Port, detail::Slice(module.basePort, BaseBlockLen, PortBlockLen), port, before,
            tally, problems);
    if (!module.cloud.empty()) {
        Compare(Block::Cloud, module.cloud, Sent(saved, CmdWriteCloud), before, tally, problems);
    }
    if (!module.heartReg.empty()) {
        Compare(Block::HeartReg, module.heartReg, Sent(saved, CmdWriteHeartReg), before, tally,
                problems);
    }
    if (!module.httpd.empty()) {
        const auto url = Sent(saved, CmdWriteHttpdUrl);
        const auto head = Sent(saved, CmdWriteHttpdHead);
        if (url.has_value() != head.has_value()) {
            problems.push_back("the save sent one HTTPD block without the other");
        } else if (url) {
            Bytes both = *url;
            both.insert(both.end(), head->begin(), head->end());
            Compare(Block::Httpd, module.httpd, both, before, tally, problems);
        }
    }
    const bool switchesRead = !module.modbusSwitches.empty() &&
                              ClassifyReply(module.modbusSwitches) == ReplyKind::ParamReply;
    if (switchesRead) {
        const std::size_t length = module.modbusSwitches.size();
        const auto sent = Sent(saved, CmdWriteModbus, length);
        if (!sent) {
            problems.push_back("the module's Modbus switches were not sent back in their form");
        }
        Compare(length == ModbusShortLen ? Block::ModbusShort : Block::ModbusSwitches,
                module.modbusSwitches, sent, before, tally, problems);
    }
    if (!module.modbusPack.empty()) {
        const auto sent = Sent(saved, CmdWriteModbus, ModbusPackBlockLen);
        if (!sent) {
            problems.push_back("the module's Modbus pack block was not sent back");
        }
        Compare(Block::ModbusPack, module.modbusPack, sent, before, tally, problems);
    }
    return problems;
}

// A P5/P7 serial read reply carrying `params` (28 bytes) and `extra` as byte 30.
inline Bytes P5Reply(const Bytes& params, std::uint8_t extra) {
    Bytes reply(SerP5ReplyLen, 0);
    reply[0] = SerHead;
    reply[1] = SerReadP5P7;
    std::copy(params.begin(), params.end(), reply.begin() + 2);
    reply[30] = extra;
    reply[31] = SumBytes(ByteView(reply).subspan(2, 29));
    return reply;
}

// The P5 panel filled from a serial read reply and saved with no edit: the 31-byte frame must
// carry the 28 parameter bytes read, except for the allowed differences.
inline std::vector<std::string> CheckP5ReadThenSave(const Bytes& params, std::uint8_t extra,
                                                    PanelP5 panel, Tally& tally) {
    std::vector<std::string> problems;
    if (!DecodeP5Reply(P5Reply(params, extra), panel)) {
        problems.push_back("a well-formed P5 read reply was rejected");
        return problems;
    }
    const P5FrameResult saved = EncodeP5Frame(panel);
    if (!saved.status.ok()) {
        problems.push_back("the P5 save refused a value read from the module: " +
                           saved.status.Message());
        return problems;
    }
    const Bytes& f = saved.frame;
    if (f.size() != P5FrameLen || f[0] != SerHead || f[1] != SerWriteP5 ||
        f[30] != SumBytes(ByteView(f).subspan(2, 28))) {
        problems.push_back("the P5 frame's head or sum is wrong: " + detail::Hex(f));
        return problems;
    }
    detail::Compare(Block::P5Params, params, detail::Slice(f, 2, 28), PanelP6{}, tally, problems);
    return problems;
}

} // namespace r2::roundtrip
