#include "protocol/p5_codec.h"

#include <string>

namespace r2 {

namespace {

constexpr std::uint8_t ParityOn = 0x08;

// The serial format byte, laid out like a 16550 line control register: bits 1..0 the data
// bits code, bit 2 two stop bits, bit 3 parity on, bits 5..4 the parity kind. A data-bit or
// stop-bit list with nothing selected (-1) contributes the low bits of its index; a parity
// list with nothing selected means parity off.
std::uint8_t SerialFormat(const PanelP5& p) {
    const int parity = p.cbb_P.index;
    const std::uint8_t parityBits =
        parity >= 1 && parity <= 4 ? static_cast<std::uint8_t>(ParityOn | ((parity - 1) << 4)) : 0;
    return static_cast<std::uint8_t>((p.cbb_D.index & 0x03) | ((p.cbb_S.index & 0x01) << 2) |
                                     parityBits);
}

std::uint8_t Options(const PanelP5& p) {
    const bool boxes[8] = {p.chk_ConnSendId, p.chk_DataWithId, p.chk_RS485, p.chk_RS422,
                           p.chk_Reset,      p.chk_Link,       p.chk_Index, p.chk_RFC2217};
    std::uint8_t options = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (boxes[bit]) {
            options = static_cast<std::uint8_t>(options | (1U << bit));
        }
    }
    return options;
}

void SetOptions(PanelP5& p, std::uint8_t options) {
    bool* boxes[8] = {&p.chk_ConnSendId, &p.chk_DataWithId, &p.chk_RS485, &p.chk_RS422,
                      &p.chk_Reset,      &p.chk_Link,       &p.chk_Index, &p.chk_RFC2217};
    for (int bit = 0; bit < 8; ++bit) {
        *boxes[bit] = ((options >> bit) & 1U) != 0;
    }
}

std::string NumberText(ByteView reply, std::size_t offset, std::size_t width, ByteOrder order) {
    return std::to_string(BytesToInt(reply.subspan(offset, width), width, order));
}

bool ReplyIsValid(ByteView reply) {
    return reply.size() == SerP5ReplyLen && reply[0] == SerHead && reply[1] == SerReadP5P7 &&
           reply[31] == SumBytes(reply.subspan(2, 29));
}

} // namespace

P5FrameResult EncodeP5Frame(const PanelP5& p) {
    P5FrameResult result;
    result.defaultIdApplied = p.edt_ID.empty();
    const std::string id = result.defaultIdApplied ? std::string(DefaultP5DeviceId) : p.edt_ID;

    FieldWriter w(Bytes(P5FrameLen, 0));
    w.Byte(0, SerHead);
    w.Byte(1, SerWriteP5);
    w.Ip(2, "edt_DeIP", p.edt_DeIP);
    w.Number(6, 2, ByteOrder::Little, "edt_DePort", p.edt_DePort);
    w.Ip(8, "edt_ModuleIP", p.edt_ModuleIP);
    w.Number(12, 2, ByteOrder::Little, "edt_ModulePort", p.edt_ModulePort);
    w.Ip(14, "edt_Gateway", p.edt_Gateway);
    w.Byte(18, static_cast<std::uint8_t>(p.cbb_ModuleWork.index));
    w.BaudRate(19, 3, "cbb_BaudRate", p.cbb_BaudRate.ShownText());
    w.Byte(22, SerialFormat(p));
    w.Number(23, 2, ByteOrder::Big, "edt_ID", id);
    w.Byte(25, Options(p));
    w.Ip(26, "edt_Mask", p.edt_Mask);
    w.Byte(30, SumBytes(ByteView(w.Block()).subspan(2, 28)));

    result.status = w.Result();
    if (result.status.ok()) {
        result.frame = w.Block();
    }
    return result;
}

bool DecodeP5Reply(ByteView reply, PanelP5& p) {
    if (!ReplyIsValid(reply)) {
        return false;
    }
    p.edt_DeIP = RevIPToText(reply.subspan(2, 4));
    p.edt_DePort = NumberText(reply, 6, 2, ByteOrder::Little);
    p.edt_ModuleIP = RevIPToText(reply.subspan(8, 4));
    p.edt_ModulePort = NumberText(reply, 12, 2, ByteOrder::Little);
    p.edt_Gateway = RevIPToText(reply.subspan(14, 4));
    p.cbb_ModuleWork.Select(reply[18]);
    p.cbb_BaudRate.SelectText(NumberText(reply, 19, 3, ByteOrder::Little));
    const std::uint8_t format = reply[22];
    p.cbb_D.Select(format & 0x03);
    p.cbb_S.Select((format >> 2) & 0x01);
    p.cbb_P.Select((format & ParityOn) != 0 ? 1 + ((format >> 4) & 0x03) : 0);
    p.edt_ID = NumberText(reply, 23, 2, ByteOrder::Big);
    SetOptions(p, reply[25]);
    p.edt_Mask = RevIPToText(reply.subspan(26, 4));
    ApplyP5WorkModeRule(p);
    return true;
}

} // namespace r2
