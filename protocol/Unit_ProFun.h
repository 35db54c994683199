#pragma once
// Small stateless conversions between wire fields and the texts the windows show: addresses,
// MACs, fixed-width texts, checksums and hex. A helper that can fail says so in its result
// and never writes outside the field it is given.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace r2 {

using ByteView = std::span<const std::uint8_t>;
using ByteField = std::span<std::uint8_t>;

enum class ByteOrder { Little, Big };

// ---- Addresses and MACs -----------------------------------------------------------------

// Four stored bytes (last octet first) as dotted text: 07 00 A8 C0 -> "192.168.0.7".
std::string RevIPToText(ByteView b4);
// Dotted text into a 4-byte field, last octet first. Spaces are ignored; a number above 255
// keeps its low 8 bits. False (field untouched) unless the text is four dotted numbers.
bool TextToRevIP(std::string_view text, ByteField field4);
std::string IntToIPText(std::uint32_t value);
// Four runs of decimal digits, each ended by one non-digit or the end; no range check.
// Empty when a run is empty.
std::optional<std::uint32_t> IPTextToInt(std::string_view text);
// False as well when an address does not convert.
bool SameSubnet(std::string_view a, std::string_view b, std::string_view mask);
std::string MacToText(ByteView b6);
// Spaces removed, then the first 12 characters read as six pairs of hex digits; anything after
// them is not read (the P7 MAC box is 17 wide and filled with F's to keep the module's own
// MAC). False (field untouched) for fewer than 12 characters or a pair that is not hex.
bool MacTextToBytes(std::string_view text, ByteField field6);

// ---- Text and integer fields ------------------------------------------------------------

std::string BytesToText(ByteView bytes, std::size_t width);
// How many of the text's bytes fit in `width` bytes without splitting a character: texts are
// GBK, where a byte 0x81..0xFE leads a two-byte character, so a Chinese character that would
// straddle the field's end is left out whole rather than sent as half a character.
std::size_t WholeCharactersLength(std::string_view text, std::size_t width);
// The text's whole characters that fit, then zero bytes to the field's end.
void TextToField(std::string_view text, ByteField field);
// Spaces removed, zero-filled, the whole characters of the first six bytes written at
// frame[offset].
void PutCredential(std::string_view text, ByteField frame, std::size_t offset);
std::uint32_t BytesToInt(ByteView bytes, std::size_t count, ByteOrder order);
std::array<std::uint8_t, 2> WordToBytes(std::uint32_t value);
std::array<bool, 8> ByteToBits(std::uint8_t value);
std::uint8_t BitsToByte(const std::array<bool, 8>& bits);
std::uint8_t SumBytes(ByteView bytes);

// ---- Hex texts --------------------------------------------------------------------------

// The value of one hex digit, either letter case; empty for any other character.
std::optional<std::uint8_t> HexDigitValue(char c);

std::string BytesToHexLine(ByteView bytes);
std::string BytesToHexSep(ByteView bytes, std::string_view separator);
std::string RemoveSpaces(std::string_view text);
std::string TextToHex(std::string_view text);
// Pairs of hex digits into characters; an odd last digit is dropped. Any bad pair returns
// the input unchanged.
std::string HexToText(std::string_view text);
struct HexTextResult {
    std::string text;
    bool ok = false;
};
HexTextResult TryHexToText(std::string_view text);
// Byte i from characters 2i, 2i+1 while a whole pair exists, else 0. A bad pair stops with
// false and leaves that byte and the later ones as they were.
bool HexToBytes(std::string_view text, ByteField field);

// ---- Decimal numbers in panel edits -----------------------------------------------------

// The panels' number boxes hold decimal digits only (no sign, no blanks); anything else is a
// conversion failure. A value larger than its field keeps its low bytes when written.
std::optional<std::uint32_t> ParseDecimal(std::string_view text);

// ---- Host -------------------------------------------------------------------------------

// IPv4 addresses of the interfaces that are up, primary (default-route) interface first, then
// by interface index; loopback only when nothing else exists; 169.254/16 left out. Returns
// the count; on failure returns 0 and leaves the list untouched.
int GetLocalIPs(std::vector<std::string>& list);

} // namespace r2
