#pragma once
// Constants, codes and parameter records shared by every path that talks to an R2 module.
// Wire facts: integers little-endian unless noted, IPv4 addresses inside blocks last octet
// first, fixed-width zero-filled texts, 8-bit additive checksums. Texts are byte strings in
// the module's code page (GBK); nothing here converts them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace r2 {

using Bytes = std::vector<std::uint8_t>;

// ---- Shared constants -------------------------------------------------------------------

inline constexpr std::string_view BroadcastIP = "255.255.255.255";
inline constexpr std::uint16_t CfgPortP6 = 1500;
inline constexpr std::uint16_t CfgPortP7 = 1901;
inline constexpr std::string_view DefaultUserName = "admin";
inline constexpr std::string_view DefaultPassword = "tulip";
inline constexpr std::string_view DefaultP5DeviceId = "0";

// Pieces of the hex-stream pane's direction lines.
inline constexpr std::string_view HexOpen = "[ ";
inline constexpr std::string_view HexClose = " ]";
inline constexpr std::string_view HexColon = " : ";
inline constexpr std::string_view HexFromDevice = " ] \u2190 [ ";
inline constexpr std::string_view HexToDevice = " ] \u2192 [ ";
inline constexpr std::string_view HexPC = "PC";
inline constexpr std::string_view HexDevice = "Device";

// ---- Device flags -----------------------------------------------------------------------

inline constexpr int DevFlagNone = 0;
inline constexpr int DevFlagP6 = 2;
inline constexpr int DevFlagP5 = 35;
inline constexpr int DevFlagP7 = 36;

// The first firmware version that speaks this protocol.
inline constexpr unsigned MinCompatibleVersion = 2002;

// ---- LAN command codes (third byte of a command frame) ----------------------------------

inline constexpr std::uint8_t CmdSearch = 0x01;
inline constexpr std::uint8_t CmdRestart = 0x02;
inline constexpr std::uint8_t CmdRead = 0x03;
inline constexpr std::uint8_t CmdWriteEnd = 0x04;
inline constexpr std::uint8_t CmdWriteBase = 0x05;
inline constexpr std::uint8_t CmdWritePort = 0x06;
inline constexpr std::uint8_t CmdFactoryReset = 0x0B;
inline constexpr std::uint8_t CmdWriteCloud = 0x0C;
inline constexpr std::uint8_t CmdWriteHeartReg = 0x21;
inline constexpr std::uint8_t CmdWriteHttpdUrl = 0x22;
inline constexpr std::uint8_t CmdWriteHttpdHead = 0x23;
inline constexpr std::uint8_t CmdWriteModbus = 0x24;

// ---- Serial codes -----------------------------------------------------------------------

inline constexpr std::uint8_t SerHead = 0x55;
inline constexpr std::uint8_t SerReadP5P7 = 0xBC;
inline constexpr std::uint8_t SerReadP6 = 0xBD;
inline constexpr std::uint8_t SerWriteBase = 0xBE;
inline constexpr std::uint8_t SerWritePort = 0xBF;
inline constexpr std::uint8_t SerReadAck = 0xC1;
inline constexpr std::uint8_t SerWriteP5 = 0xBA;
inline constexpr std::uint8_t SerSaveP6[2] = {0xB1, 0x5A};

// ---- Status codes raised by the UDP endpoint --------------------------------------------

inline constexpr int StSearchSent = 40;
inline constexpr int StCheckErr = 269;
inline constexpr int StAck = 275;
inline constexpr int StOtherErr = 469;
inline constexpr int StPswdErr = 480;
inline constexpr int StPortInUse = 1500;
inline constexpr int StOtherSeries = 193256;
inline constexpr int StUnknownLen = 555555;

inline constexpr std::string_view StTextAck = "ACK";
inline constexpr std::string_view StTextOtherErr = "Other Error";
inline constexpr std::string_view StTextPswdErr = "UsrName or Password Error";
inline constexpr std::string_view StTextPortInUse = "port is used";
inline constexpr std::string_view StTextOtherSeries = "Read R6/L83";

// ---- Frame and block sizes --------------------------------------------------------------

inline constexpr std::size_t CmdFrameOverhead = 22; // 0xFF, length, code, MAC, user, password, sum
inline constexpr std::size_t CmdFrameBlockOffset = 21;
inline constexpr std::size_t CmdPasswordOffset = 15;
inline constexpr std::size_t CredentialWidth = 6;
inline constexpr std::size_t MacWidth = 6;
inline constexpr std::size_t SearchReplyLen = 36;
inline constexpr std::size_t AckLen = 4;
inline constexpr std::size_t CheckErrLen = 2;

inline constexpr std::size_t BaseBlockLen = 67;
inline constexpr std::size_t PortBlockLen = 63;
inline constexpr std::size_t BasePortReplyLen = BaseBlockLen + PortBlockLen; // 130
inline constexpr std::size_t CloudBlockLen = 50;
inline constexpr std::size_t HeartRegBlockLen = 85;
inline constexpr std::size_t HttpdUrlLen = 100;
inline constexpr std::size_t HttpdHeadLen = 200;
inline constexpr std::size_t HttpdUrlBlockLen = 1 + HttpdUrlLen;                   // 101
inline constexpr std::size_t HttpdHeadBlockLen = 1 + HttpdHeadLen;                 // 201
inline constexpr std::size_t HttpdReplyLen = HttpdUrlBlockLen + HttpdHeadBlockLen; // 302
inline constexpr std::size_t ModbusShortLen = 1;
inline constexpr std::size_t ModbusSwitchLen = 4;
inline constexpr std::size_t ModbusPackBlockLen = 87;
inline constexpr std::size_t OtherSeriesLenA = 193;
inline constexpr std::size_t OtherSeriesLenB = 256;
inline constexpr std::size_t IgnoredReplyLen = 40;

// Serial replies, known by length.
inline constexpr std::size_t SerAckLen = 1;
inline constexpr std::size_t SerP5ReplyLen = 32;
inline constexpr std::size_t SerCloudHeartReplyLen = 115;
inline constexpr std::size_t SerP6ReplyLen = 137;
inline constexpr std::size_t P5FrameLen = 31;

// ---- Parameter records ------------------------------------------------------------------
// In-memory forms of decoded blocks. Integers are 32-bit signed, flags are booleans and
// texts are byte strings; records are copied by value.

struct TBaseParam {
    std::int32_t OptBit1 = 0;
    std::int32_t AddrType = 0;
    std::int32_t HeartTp = 0;
    std::int32_t RegSnd = 0;
    std::int32_t LocationURLPort = 0;
    std::int32_t HTTPServerPort = 0;
    std::string StaticIP;
    std::string GatewayIP;
    std::string SubnetMask;
    std::string ModName;
    std::string UserName;
    std::string Password;
    std::int32_t IdFlags = 0;
    bool ClearCache = false;
    bool ShortEnable = false;
    std::string UserMAC;
    std::string Dns;
    std::int32_t ShortTime = 0;

    bool operator==(const TBaseParam&) const = default;
};

struct TPortParam {
    std::int32_t BaudRate = 0;
    std::int32_t DataBits = 0;
    std::int32_t Parity = 0;
    std::int32_t StopBits = 0;
    std::int32_t FlowControl = 0;
    std::int32_t LocalPort = 0;
    std::int32_t RemotePort = 0;
    std::string RemoteIP;
    std::int32_t ModbusTCP = 0;
    std::int32_t RFC2217 = 0;
    std::int32_t CloudEnable = 0;
    std::int32_t WorkMode = 0;
    std::int32_t UartPackLen = 0;
    std::int32_t UartTime = 0;
    std::int32_t TCPSvrCount = 0;
    std::int32_t RestartTime = 0;
    std::int32_t TCPStyle = 0;
    std::int32_t GetPost = 0;
    bool MacRegister = false;
    bool KickOld = false;
    bool CustomRegister = false;
    bool MacHeart = false;
    bool UdpFrom = false;

    bool operator==(const TPortParam&) const = default;
};
using TarrComParam = std::vector<TPortParam>;

struct TCloudParam {
    std::string DeviceId;
    std::string CommPassword;

    bool operator==(const TCloudParam&) const = default;
};
using TarrCloudParam = std::vector<TCloudParam>;

struct TModbusParam {
    std::uint8_t ModbusTCP = 0;
    std::uint8_t ModbusPoll = 0;
    std::string PollTime;

    bool operator==(const TModbusParam&) const = default;
};

struct TModbusPackParam {
    std::int32_t ModbusType = 0;
    std::int32_t ModbusException = 0;
    std::int32_t ReportProto = 0;
    std::string ModbusTimeout;
    std::string ModbusInterval;

    bool operator==(const TModbusPackParam&) const = default;
};

// ---- Frame builders ---------------------------------------------------------------------

// The 4-byte search request FF 01 01 02.
Bytes BuildSearchRequest();

// A LAN command frame: 0xFF, 19 + block length, the code, the MAC, user name and password
// (each through PutCredential), the block, and the sum of bytes 1 .. 20 + n. Returns an
// empty frame when the MAC text does not convert (MacTextToBytes) or the block is too long for
// the length byte (more than 236 bytes).
Bytes BuildCommandFrame(std::uint8_t command, std::string_view macText, std::string_view user,
                        std::string_view password, const Bytes& block = {});

// Serial frames.
Bytes BuildSerialReadRequest(int devFlag); // 55 BC for P5/P7, 55 BD for P6
Bytes BuildSerialBaseWrite(const std::uint8_t* baseBlock67);
Bytes BuildSerialPortWrite(const std::uint8_t* portBlock63);
Bytes BuildSerialWriteClose();
Bytes BuildSerialReadAck();

// Device flag from a search reply's version and sender port.
int DeviceFlagFor(unsigned version, std::uint16_t senderPort);
// Device flag of a parameter reply's sender port.
int DeviceFlagForPort(std::uint16_t senderPort);

// How the LAN side classifies a received datagram, by its length (and first bytes).
enum class ReplyKind {
    ParamReply,  // 1, 4 (not an acknowledgement), 50, 85, 87, 130, 302
    CheckError,  // 2 bytes starting 'E'
    Ack,         // 4 bytes FF 01 xx r
    SearchReply, // 36 bytes FF 24 01
    OtherSeries, // 193 or 256
    Unknown,     // any other length (including 0)
    Ignored,     // 40 bytes, malformed 2- and 36-byte datagrams
};
ReplyKind ClassifyReply(const Bytes& datagram);

// ---- Search reply -----------------------------------------------------------------------

// What a 36-byte search reply says about a module: its IP (dotted, the reply carries it first
// octet first), module name, MAC as MAC text and firmware version.
struct SearchReply {
    std::string ip;
    std::string name;
    std::string mac;
    unsigned version = 0;

    bool operator==(const SearchReply&) const = default;
};
// Empty unless the datagram is 36 bytes starting FF 24 01.
std::optional<SearchReply> DecodeSearchReply(const Bytes& datagram);
// The 36-byte reply a module would send (the bytes nobody examines are zero); empty when the
// IP is not four dotted numbers or the MAC text does not convert. The name is cut at 14 bytes.
Bytes BuildSearchReply(const SearchReply& reply);

} // namespace r2
