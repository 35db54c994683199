#pragma once
// Parameter blocks of P6 and P7 modules: the raw store of the blocks last read (ParamMirror),
// the decoders from blocks to records, the dispatch of a received parameter reply, and the
// encoders from the P6 and P7 panels back into the store.
//
// Contract:
// - Decoding never fails and never reads past a block: a view shorter than its block reads
//   as if zero-filled, extra bytes are ignored, and length bytes inside a block are clipped
//   to the field they describe.
// - ParamMirror is a plain value. A save encodes into a copy and replaces the live mirror
//   only when every encoder it needs has succeeded, so a half-encoded block is never sent.
// - Each encoder is all or nothing for its own section: it writes a working copy and puts it
//   into the section only when every field converted. On failure the section is unchanged
//   and the result names the control and the text that did not convert.

#include "panel_p6.h"
#include "panel_p7.h"
#include "Unit_ProFun.h"
#include "Unit_Public.h"

#include <array>
#include <cstdint>
#include <string>

namespace r2 {

inline constexpr std::size_t HeartRegDataLen = 40;
// Where the module's login password sits in the base block, and the cloud communication
// password in the cloud block.
inline constexpr std::size_t BasePasswordOffset = 43;
inline constexpr std::size_t CloudPasswordOffset = 22;
inline constexpr std::size_t CloudPasswordLen = 8;

// The raw blocks of the module read last, byte for byte. Encoders overwrite only the bytes
// they know, so everything this program does not understand goes back as the module sent it.
struct ParamMirror {
    std::array<std::uint8_t, BaseBlockLen> base{};
    std::array<std::uint8_t, PortBlockLen> port{};
    std::array<std::uint8_t, CloudBlockLen> cloud{};
    std::array<std::uint8_t, HeartRegBlockLen> heartReg{};
    std::uint8_t urlLen = 0;
    std::array<std::uint8_t, HttpdUrlLen> url{};
    std::uint8_t headLen = 0;
    std::array<std::uint8_t, HttpdHeadLen> head{};
    std::array<std::uint8_t, ModbusSwitchLen> modbusSwitches{};
    std::array<std::uint8_t, ModbusPackBlockLen> modbusPack{};
    // Byte 3 of the last base block and byte 50 of the last port block received, over the LAN
    // or the serial line; the P6 encoders start their option bytes from them.
    std::uint8_t SavedBaseFlags = 0;
    std::uint8_t SavedPortFlags = 0;

    bool operator==(const ParamMirror&) const = default;
};

// The 101-byte URL block (length byte, URL field) and the 201-byte header block.
Bytes HttpdUrlBlock(const ParamMirror& mirror);
Bytes HttpdHeadBlock(const ParamMirror& mirror);

// Copies a reply of 50, 85, 87, 130 or 302 bytes into its sections. Other lengths are not
// stored; returns whether the reply was stored.
bool StoreReply(ParamMirror& mirror, ByteView reply);

// Remembers the option bytes of a base and a port block (byte 3 and byte 50).
void RememberSavedFlags(ParamMirror& mirror, ByteView baseBlock, ByteView portBlock);

// ---- Decoders ---------------------------------------------------------------------------

TBaseParam DecodeBaseBlock(ByteView block);
TPortParam DecodePortBlock(ByteView block);
// Reads bytes 2..29 of a block that starts with the cloud layout (a 50-byte cloud reply, or
// a serial cloud and heartbeat reply).
TCloudParam DecodeCloudBlock(ByteView block);
// The 1-byte form fills ModbusTCP alone; the 4-byte form adds ModbusPoll and the poll time.
TModbusParam DecodeModbusSwitches(ByteView block);
TModbusPackParam DecodeModbusPack(ByteView block);

// The heartbeat/registration block as the panel shows it.
struct HeartRegFields {
    std::uint8_t options = 0;
    bool heartToNetwork = false;    // bit 0
    bool heartToSerial = false;     // bit 1
    int regType = -1;               // bits 3..2: 01 -> 0, 10 -> 1, 11 -> 2, 00 -> -1 (unchanged)
    bool removeHttpdHeader = false; // bit 4
    bool comSetEnable = false;      // bit 5
    bool heartHex = false;          // bit 6
    bool regHex = false;            // bit 7
    std::uint32_t heartTime = 0;
    // The first length bytes of each data field, as upper-case hex digits without separators
    // when the block's own hex bit is set, else as the raw bytes.
    std::string heartData;
    std::string regData;

    bool operator==(const HeartRegFields&) const = default;
};
HeartRegFields DecodeHeartRegBlock(ByteView block);

struct HttpdTexts {
    std::string url;
    std::string header;

    bool operator==(const HttpdTexts&) const = default;
};
// The raw URL and header bytes of the mirror's HTTPD sections, as many as their length bytes
// say, at most the field width.
HttpdTexts DecodeHttpd(const ParamMirror& mirror);

// ---- Received parameter replies ---------------------------------------------------------

// Receives the decoded parameter replies; the UDP endpoint and the serial exchange implement
// it and turn each call into their own event.
class ParamReplySink {
public:
    virtual ~ParamReplySink() = default;
    virtual void OnBaseParams(const TBaseParam& base, const TarrComParam& ports, int devFlag,
                              bool fromSerial) = 0;
    virtual void OnCloudParams(const TarrCloudParam& clouds, bool fromSerial, int devFlag) = 0;
    virtual void OnHeartReg(ByteView block85, bool fromSerial, int devFlag) = 0;
    virtual void OnHttpd(const std::string& url, const std::string& header) = 0;
    virtual void OnModbusParam(const TModbusParam& param, int length) = 0;
    virtual void OnModbusPack(const TModbusPackParam& param, int length) = 0;
};

// Stores, decodes and reports a parameter reply received over the LAN (from-serial false).
// Returns false, touching nothing, for a length that is no parameter reply or for a 4-byte
// acknowledgement (FF 01 ...).
bool HandleParamReply(ParamMirror& mirror, ByteView reply, int devFlag, ParamReplySink& sink);

// ---- Encoders ---------------------------------------------------------------------------

// Outcome of an encoder: success, or the first control (in block order) whose text did not
// convert. `text` is the control's text as the panel holds it (module bytes).
struct [[nodiscard]] EncodeResult {
    std::string control;
    std::string text;
    std::string problem;

    bool ok() const { return control.empty(); }
    explicit operator bool() const { return ok(); }
    // In English, e.g. `edt_StaticIP: "300.1.2" is not an IPv4 address`.
    std::string Message() const;
};

EncodeResult EncodeFailure(std::string_view control, std::string_view text,
                           std::string_view problem);

// Writes the fields of one block into a working copy of it, converting each control's text;
// the first field that does not convert is remembered. The block's section takes the copy
// only when no field failed, so a section never holds a half-encoded block.
class FieldWriter final {
public:
    explicit FieldWriter(ByteView start);

    std::uint8_t At(std::size_t offset) const { return m_block.at(offset); }
    void Byte(std::size_t offset, std::uint8_t value) { m_block.at(offset) = value; }
    void Zeros(std::size_t offset, std::size_t width);
    // A decimal number (ParseDecimal); a value larger than the field keeps its low bytes.
    void Number(std::size_t offset, std::size_t width, ByteOrder order, std::string_view control,
                std::string_view text);
    // A little-endian number box that never fails: a text that is no number writes `fallback`.
    void NumberOr(std::size_t offset, std::size_t width, std::string_view text,
                  std::uint32_t fallback);
    // What a baud-rate list holds: any 32-bit integer it accepts (ParseBaudAnswer: decimal with
    // an optional sign, or $hex), written as its 32 bits; a narrower field keeps the low bytes.
    void BaudRate(std::size_t offset, std::size_t width, std::string_view control,
                  std::string_view text);
    void Ip(std::size_t offset, std::string_view control, std::string_view text);
    void Mac(std::size_t offset, std::string_view control, std::string_view text);
    void Text(std::size_t offset, std::size_t width, std::string_view text);
    // Pairs of hex digits (HexToBytes); a pair that is not hex is a failure.
    void Hex(std::size_t offset, std::size_t width, std::string_view control,
             std::string_view text);
    void Fail(std::string_view control, std::string_view text, std::string_view problem);

    const EncodeResult& Result() const { return m_result; }
    const Bytes& Block() const { return m_block; }
    EncodeResult CommitTo(ByteField section) const;

private:
    ByteField Field(std::size_t offset, std::size_t width);

    Bytes m_block;
    EncodeResult m_result;
};

// Base and port blocks from the P6 panel. The option bytes start from SavedBaseFlags and
// SavedPortFlags; every byte the panel does not set keeps the section's content. The serial
// save uses these encoders too: it encodes into a copy of the live mirror, so the bytes kept
// there are those of the module last read over the LAN (zeros before any read), and the
// option bits kept are those of the last read on either path.
EncodeResult EncodeBaseP6(const PanelP6& panel, ParamMirror& mirror);
EncodeResult EncodePortP6(const PanelP6& panel, ParamMirror& mirror);
// Base and port blocks from the P7 panel. Byte 3 becomes 0x80 (static) or 0x00 (DHCP); of
// port byte 50 only bits 2 and 3 are written.
EncodeResult EncodeBaseP7(const PanelP7& panel, ParamMirror& mirror);
EncodeResult EncodePortP7(const PanelP7& panel, ParamMirror& mirror);
// Device ID and communication password; they must be exactly 20 and 8 bytes long.
EncodeResult EncodeCloud(const PanelP6& panel, ParamMirror& mirror);
// Option byte, heartbeat time and the two data fields (hex digits or text, at most 40 bytes).
EncodeResult EncodeHeartReg(const PanelP6& panel, ParamMirror& mirror);
// URL and header: the length bytes and that many leading bytes of each field (at most 100 and
// 200); the rest of each field is kept. Cannot fail.
void EncodeHttpd(const PanelP6& panel, ParamMirror& mirror);
// The 4-byte Modbus switches section: TCP, polling, poll time (big-endian).
EncodeResult EncodeModbus(const PanelP6& panel, ParamMirror& mirror);
// The 1-byte Modbus switches block, built on its own: 1 when Modbus TCP is checked.
Bytes EncodeModbusShort(const PanelP6& panel);
// The Modbus pack section: the type always; exception, timeout and interval for types 1 and 2
// (each number only when its box is not empty); the report protocol for type 2.
EncodeResult EncodeModbusPack(const PanelP6& panel, ParamMirror& mirror);

} // namespace r2
