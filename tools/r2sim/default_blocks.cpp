#include "tools/r2sim/default_blocks.h"

#include "protocol/Unit_ProFun.h"

#include <algorithm>

namespace r2::sim {
namespace {

// Little helper to write little-endian numbers and fixed texts at an offset.
void PutLE(Bytes& b, std::size_t offset, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        b[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void PutText(Bytes& b, std::size_t offset, std::size_t width, std::string_view text) {
    TextToField(text, ByteField(b).subspan(offset, width));
}

void PutIP(Bytes& b, std::size_t offset, std::string_view ip) {
    TextToRevIP(ip, ByteField(b).subspan(offset, 4));
}

void PutBytes(Bytes& b, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(offset));
}

Bytes BaseBlock(const Identity& id) {
    Bytes b(BaseBlockLen, 0);
    PutBytes(b, 0, {0x5A, 0xA5, 0x01});
    b[3] = 0x82;          // static address, bit 1 set as modules ship it
    PutLE(b, 4, 1900, 2); // UPnP port
    PutLE(b, 6, 80, 2);   // web server port
    b[8] = 0x11;
    PutIP(b, 13, "192.168.0.1");
    PutIP(b, 17, "255.255.255.0");
    PutBytes(b, 49, {0x22, 0x33, 0x44});
    b[52] = id.model == Model::P7 ? 0x01 : 0x20; // P7: ID type; P6: the Link option
    PutIP(b, 59, "192.168.0.1");
    b[63] = 3; // short connection time
    PutBytes(b, 64, {0x55, 0x66, 0x77});
    StampIdentity(b, id);
    return b;
}

Bytes PortBlock(Model model) {
    Bytes b(PortBlockLen, 0);
    PutLE(b, 0, 115200, 4);
    b[4] = 8; // data bits
    b[5] = 1; // no parity
    b[6] = 1; // one stop bit
    b[7] = 1; // no flow control
    PutLE(b, 12, 20108, 2);
    PutLE(b, 14, 8234, 2);
    PutText(b, 16, 30, "192.168.0.201");
    PutBytes(b, 46, {0x0A, 0x0B, 0x0C, 0x0D});
    b[50] = 0x81; // MAC heartbeat, bit 0 as shipped
    b[51] = 1;    // TCP client
    if (model == Model::P7) {
        PutLE(b, 52, 1024, 4); // serial packing length
        b[58] = 0x41;          // four TCP server connections, transparent style
    } else {
        b[53] = 4;            // four TCP server connections
        PutLE(b, 54, 300, 2); // restart after 300 s without data
        b[58] = 0;
    }
    b[57] = 0x5C;
    PutLE(b, 59, 512, 2); // serial packing length
    PutLE(b, 61, 20, 2);  // serial packing time
    return b;
}

Bytes CloudBlock(const MacBytes& mac) {
    Bytes b(CloudBlockLen, 0);
    PutBytes(b, 0, {0x01, 0x00});
    PutText(b, 2, 20, "R2ID" + BytesToHexSep(mac, "") + "0000");
    PutText(b, 22, 8, "12345678");
    PutBytes(b, 30, {0xC0, 0xFF, 0xEE});
    return b;
}

Bytes HeartRegBlock() {
    Bytes b(HeartRegBlockLen, 0);
    b[0] = 0x05; // network heartbeat, registration type 01
    PutLE(b, 1, 60, 2);
    const std::string_view heart = "HEART";
    const std::string_view reg = "REGISTER";
    b[3] = static_cast<std::uint8_t>(heart.size());
    b[4] = static_cast<std::uint8_t>(reg.size());
    PutText(b, 5, 40, heart);
    PutText(b, 45, 40, reg);
    return b;
}

Bytes HttpdBlock() {
    Bytes b(HttpdReplyLen, 0);
    const std::string_view url = "/r2/data.php?";
    const std::string_view head = "Accept: text/html";
    b[0] = static_cast<std::uint8_t>(url.size());
    PutText(b, 1, HttpdUrlLen, url);
    b[HttpdUrlBlockLen] = static_cast<std::uint8_t>(head.size());
    PutText(b, HttpdUrlBlockLen + 1, HttpdHeadLen, head);
    return b;
}

Bytes ModbusPackBlock() {
    Bytes b(ModbusPackBlockLen, 0);
    b[0] = 1; // Modbus TCP/RTU conversion
    b[1] = 0;
    PutBytes(b, 2, {0x00, 0xC8}); // timeout 200, big-endian
    PutBytes(b, 4, {0x00, 0x64}); // interval 100, big-endian
    b[6] = 0;
    PutBytes(b, 7, {0x7E, 0x7F});
    return b;
}

} // namespace

Bytes DefaultP5Params() {
    Bytes b(P5ParamLen, 0);
    PutIP(b, 0, "192.168.0.201"); // destination
    PutLE(b, 4, 8234, 2);
    PutIP(b, 6, "192.168.0.7"); // the module
    PutLE(b, 10, 20108, 2);
    PutIP(b, 12, "192.168.0.1"); // gateway
    b[16] = 1;                   // TCP client
    PutLE(b, 17, 115200, 3);
    b[20] = 0x03;                  // 8 data bits, 1 stop bit, no parity
    PutBytes(b, 21, {0x00, 0x01}); // device ID 1, big-endian
    b[23] = 0;                     // no options
    PutIP(b, 24, "255.255.255.0");
    return b;
}

void StampIdentity(Bytes& baseBlock, const Identity& id) {
    PutIP(baseBlock, 9, id.ip);
    PutText(baseBlock, 21, 16, id.name);
    PutText(baseBlock, 37, 6, id.user);
    PutText(baseBlock, 43, 6, id.password);
    std::copy(id.mac.begin(), id.mac.end(), baseBlock.begin() + 53);
}

BlockSet DefaultBlocks(const Identity& id) {
    BlockSet set;
    auto put = [&set](BlockId which, Bytes b) {
        set[static_cast<std::size_t>(which)] = std::move(b);
    };
    put(BlockId::Base, BaseBlock(id));
    put(BlockId::Port, PortBlock(id.model));
    if (id.model == Model::P7) {
        return set;
    }
    put(BlockId::Cloud, CloudBlock(id.mac));
    put(BlockId::HeartReg, HeartRegBlock());
    put(BlockId::Httpd, HttpdBlock());
    put(BlockId::ModbusPack, ModbusPackBlock());
    put(BlockId::Modbus, Bytes{0x01, 0x00, 0x00, 0x0A}); // TCP on, polling off, 10 s
    return set;
}

} // namespace r2::sim
