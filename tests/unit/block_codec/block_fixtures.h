#pragma once
// Blocks as a module sends them, with distinctive bytes in every place the program does not
// interpret, so a test sees at once when such a byte is lost or moved.

#include "protocol/block_codec.h"

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace r2::test {

inline void Put(Bytes& block, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
    std::size_t i = offset;
    for (const std::uint8_t b : bytes) {
        block.at(i++) = b;
    }
}

inline void PutText(Bytes& block, std::size_t offset, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        block.at(offset + i) = static_cast<std::uint8_t>(text[i]);
    }
}

// Base block: static IP 192.168.0.7, gateway 192.168.0.1, mask 255.255.255.0, DNS 8.8.4.4.
inline Bytes ModuleBaseBlock() {
    Bytes b(BaseBlockLen, 0);
    Put(b, 0, {0x11, 0x22, 0x33});
    b[3] = 0xB5; // HeartTp, RegSnd, ClearCache, ShortEnable, static
    Put(b, 4, {0x6C, 0x07});
    Put(b, 6, {0x50, 0x00});
    b[8] = 0x5A;
    Put(b, 9, {0x07, 0x00, 0xA8, 0xC0});
    Put(b, 13, {0x01, 0x00, 0xA8, 0xC0});
    Put(b, 17, {0x00, 0xFF, 0xFF, 0xFF});
    PutText(b, 21, "R2-P6-LAB");
    PutText(b, 37, "admin");
    PutText(b, 43, "tulip");
    Put(b, 49, {0xA1, 0xA2, 0xA3});
    b[52] = 0x90; // Reset, RFC2217
    Put(b, 53, {0xD8, 0xB0, 0x4C, 0x00, 0x00, 0x01});
    Put(b, 59, {0x04, 0x04, 0x08, 0x08});
    b[63] = 3;
    Put(b, 64, {0xB1, 0xB2, 0xB3});
    return b;
}

inline TBaseParam ModuleBaseParam() {
    TBaseParam p;
    p.OptBit1 = 0;
    p.AddrType = 1;
    p.HeartTp = 1;
    p.RegSnd = 1;
    p.LocationURLPort = 1900;
    p.HTTPServerPort = 80;
    p.StaticIP = "192.168.0.7";
    p.GatewayIP = "192.168.0.1";
    p.SubnetMask = "255.255.255.0";
    p.ModName = "R2-P6-LAB";
    p.UserName = "admin";
    p.Password = "tulip";
    p.IdFlags = 0x90;
    p.ClearCache = true;
    p.ShortEnable = true;
    p.UserMAC = "D8 B0 4C 00 00 01";
    p.Dns = "8.8.4.4";
    p.ShortTime = 3;
    return p;
}

// Port block: 115200 8N1, TCP client 5555 -> 192.168.0.131:8234, MAC heartbeat, UDP source
// check, restart 300 s, packing 400 bytes / 10 ms.
inline Bytes ModulePortBlock() {
    Bytes b(PortBlockLen, 0);
    Put(b, 0, {0x00, 0xC2, 0x01, 0x00});
    Put(b, 4, {8, 1, 1, 1});
    Put(b, 12, {0xB3, 0x15});
    Put(b, 14, {0x2A, 0x20});
    PutText(b, 16, "192.168.0.131");
    Put(b, 46, {0xC1, 0xC2, 0xC3, 0xC4});
    b[50] = 0x8B; // bits 0, 1 (unknown), 3 RFC2217, 7 MAC heartbeat
    b[51] = 1;
    b[52] = 0;
    b[53] = 4;
    Put(b, 54, {0x2C, 0x01});
    b[56] = 0;
    b[57] = 0xE7;
    b[58] = 1;
    Put(b, 59, {0x90, 0x01});
    Put(b, 61, {0x0A, 0x00});
    return b;
}

inline TPortParam ModulePortParam() {
    TPortParam p;
    p.BaudRate = 115200;
    p.DataBits = 8;
    p.Parity = 1;
    p.StopBits = 1;
    p.FlowControl = 1;
    p.LocalPort = 5555;
    p.RemotePort = 8234;
    p.RemoteIP = "192.168.0.131";
    p.ModbusTCP = 0;
    p.RFC2217 = 1;
    p.CloudEnable = 0;
    p.WorkMode = 1;
    p.UartPackLen = 400;
    p.UartTime = 10;
    p.TCPSvrCount = 4;
    p.RestartTime = 300;
    p.TCPStyle = 1;
    p.GetPost = 0;
    p.MacRegister = false;
    p.KickOld = false;
    p.CustomRegister = false;
    p.MacHeart = true;
    p.UdpFrom = true;
    return p;
}

inline Bytes BasePortReply() {
    Bytes reply = ModuleBaseBlock();
    const Bytes port = ModulePortBlock();
    reply.insert(reply.end(), port.begin(), port.end());
    return reply;
}

inline Bytes Pattern(std::size_t length, std::uint8_t seed) {
    Bytes b(length);
    for (std::size_t i = 0; i < length; ++i) {
        b[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return b;
}

} // namespace r2::test
