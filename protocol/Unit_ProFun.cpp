#include "protocol/Unit_ProFun.h"

#include "protocol/Unit_Public.h"

#include <algorithm>
#include <iterator>

namespace r2 {

std::optional<std::uint8_t> HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<std::uint8_t>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<std::uint8_t>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<std::uint8_t>(c - 'a' + 10);
    }
    return std::nullopt;
}

namespace {

constexpr char UpperHexDigits[] = "0123456789ABCDEF";

// Two characters as one byte; empty unless both are hex digits.
std::optional<std::uint8_t> HexPairValue(char high, char low) {
    const auto h = HexDigitValue(high);
    const auto l = HexDigitValue(low);
    if (!h || !l) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>((*h << 4) | *l);
}

void AppendHexByte(std::string& out, std::uint8_t value) {
    out.push_back(UpperHexDigits[value >> 4]);
    out.push_back(UpperHexDigits[value & 0x0F]);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Decimal digits into a 32-bit value; larger numbers wrap, keeping their low bits.
std::uint32_t DigitsValue(std::string_view digits) {
    std::uint32_t value = 0;
    for (const char c : digits) {
        value = value * 10U + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), IsDigit);
}

} // namespace

// ---- Addresses and MACs -----------------------------------------------------------------

std::string RevIPToText(ByteView b4) {
    if (b4.size() < 4) {
        return {};
    }
    return std::to_string(b4[3]) + '.' + std::to_string(b4[2]) + '.' + std::to_string(b4[1]) + '.' +
           std::to_string(b4[0]);
}

bool TextToRevIP(std::string_view text, ByteField field4) {
    if (field4.size() < 4) {
        return false;
    }
    const std::string compact = RemoveSpaces(text);
    std::array<std::uint8_t, 4> octets{};
    std::size_t start = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t dot = i < 3 ? compact.find('.', start) : compact.size();
        if (dot == std::string::npos) {
            return false;
        }
        const std::string_view number = std::string_view(compact).substr(start, dot - start);
        if (number.empty() || !AllDigits(number)) {
            return false;
        }
        octets[i] = static_cast<std::uint8_t>(DigitsValue(number));
        start = dot + 1;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        field4[3 - i] = octets[i];
    }
    return true;
}

std::string IntToIPText(std::uint32_t value) {
    return std::to_string((value >> 24) & 0xFF) + '.' + std::to_string((value >> 16) & 0xFF) + '.' +
           std::to_string((value >> 8) & 0xFF) + '.' + std::to_string(value & 0xFF);
}

std::optional<std::uint32_t> IPTextToInt(std::string_view text) {
    std::uint32_t result = 0;
    std::size_t pos = 0;
    for (int run = 0; run < 4; ++run) {
        const std::size_t begin = pos;
        while (pos < text.size() && IsDigit(text[pos])) {
            ++pos;
        }
        if (pos == begin) {
            return std::nullopt;
        }
        result = (result << 8) + DigitsValue(text.substr(begin, pos - begin));
        ++pos; // the one character that ends the run, if any
    }
    return result;
}

bool SameSubnet(std::string_view a, std::string_view b, std::string_view mask) {
    const auto first = IPTextToInt(a);
    const auto second = IPTextToInt(b);
    const auto bits = IPTextToInt(mask);
    if (!first || !second || !bits) {
        return false;
    }
    return (*first & *bits) == (*second & *bits);
}

std::string MacToText(ByteView b6) {
    std::string out;
    const std::size_t n = std::min(b6.size(), MacWidth);
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) {
            out.push_back(' ');
        }
        AppendHexByte(out, b6[i]);
    }
    return out;
}

bool MacTextToBytes(std::string_view text, ByteField field6) {
    const std::string digits = RemoveSpaces(text);
    if (field6.size() < MacWidth || digits.size() < 2 * MacWidth) {
        return false;
    }
    std::array<std::uint8_t, MacWidth> mac{};
    for (std::size_t i = 0; i < MacWidth; ++i) {
        const auto value = HexPairValue(digits[2 * i], digits[2 * i + 1]);
        if (!value) {
            return false;
        }
        mac[i] = *value;
    }
    std::copy(mac.begin(), mac.end(), field6.begin());
    return true;
}

// ---- Text and integer fields ------------------------------------------------------------

std::string BytesToText(ByteView bytes, std::size_t width) {
    const std::size_t limit = std::min(width, bytes.size());
    const auto end = std::find(bytes.begin(), bytes.begin() + limit, 0);
    return std::string(bytes.begin(), end);
}

std::size_t WholeCharactersLength(std::string_view text, std::size_t width) {
    std::size_t length = 0;
    while (length < text.size()) {
        const auto lead = static_cast<unsigned char>(text[length]);
        const bool pair = lead >= 0x81 && lead <= 0xFE && length + 1 < text.size();
        const std::size_t next = length + (pair ? 2 : 1);
        if (next > width) {
            break;
        }
        length = next;
    }
    return length;
}

void TextToField(std::string_view text, ByteField field) {
    const std::size_t n = WholeCharactersLength(text, field.size());
    std::copy_n(text.begin(), n, field.begin());
    std::fill(field.begin() + n, field.end(), 0);
}

void PutCredential(std::string_view text, ByteField frame, std::size_t offset) {
    if (offset >= frame.size()) {
        return;
    }
    const std::size_t width = std::min(CredentialWidth, frame.size() - offset);
    TextToField(RemoveSpaces(text), frame.subspan(offset, width));
}

std::uint32_t BytesToInt(ByteView bytes, std::size_t count, ByteOrder order) {
    const std::size_t n = std::min({count, bytes.size(), std::size_t{4}});
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t shift = order == ByteOrder::Little ? i : n - 1 - i;
        value |= static_cast<std::uint32_t>(bytes[i]) << (8 * shift);
    }
    return value;
}

std::array<std::uint8_t, 2> WordToBytes(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value & 0xFF),
            static_cast<std::uint8_t>((value >> 8) & 0xFF)};
}

std::array<bool, 8> ByteToBits(std::uint8_t value) {
    std::array<bool, 8> bits{};
    for (std::size_t i = 0; i < bits.size(); ++i) {
        bits[i] = ((value >> i) & 1U) != 0;
    }
    return bits;
}

std::uint8_t BitsToByte(const std::array<bool, 8>& bits) {
    unsigned value = 0;
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (bits[i]) {
            value |= 1U << i;
        }
    }
    return static_cast<std::uint8_t>(value);
}

std::uint8_t SumBytes(ByteView bytes) {
    unsigned sum = 0;
    for (const std::uint8_t b : bytes) {
        sum += b;
    }
    return static_cast<std::uint8_t>(sum & 0xFF);
}

// ---- Hex texts --------------------------------------------------------------------------

std::string BytesToHexLine(ByteView bytes) {
    return BytesToHexSep(bytes, " ");
}

std::string BytesToHexSep(ByteView bytes, std::string_view separator) {
    std::string out;
    out.reserve(bytes.size() * (2 + separator.size()));
    for (const std::uint8_t b : bytes) {
        AppendHexByte(out, b);
        out.append(separator);
    }
    return out;
}

std::string RemoveSpaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::copy_if(text.begin(), text.end(), std::back_inserter(out),
                 [](char c) { return c != ' '; });
    return out;
}

std::string TextToHex(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        AppendHexByte(out, static_cast<std::uint8_t>(c));
    }
    return out;
}

std::string HexToText(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; 2 * i + 1 < text.size(); ++i) {
        const auto value = HexPairValue(text[2 * i], text[2 * i + 1]);
        if (!value) {
            return std::string(text);
        }
        out.push_back(static_cast<char>(*value));
    }
    return out;
}

HexTextResult TryHexToText(std::string_view text) {
    const std::string digits = RemoveSpaces(text);
    HexTextResult result;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const bool whole = i + 1 < digits.size();
        const auto value =
            whole ? HexPairValue(digits[i], digits[i + 1]) : HexDigitValue(digits[i]);
        if (value) {
            result.text.push_back(static_cast<char>(*value));
        } else if (result.text.empty()) {
            return {};
        }
    }
    result.ok = true;
    return result;
}

bool HexToBytes(std::string_view text, ByteField field) {
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (2 * i + 1 >= text.size()) {
            field[i] = 0;
            continue;
        }
        const auto value = HexPairValue(text[2 * i], text[2 * i + 1]);
        if (!value) {
            return false;
        }
        field[i] = *value;
    }
    return true;
}

// ---- Decimal numbers in panel edits -----------------------------------------------------

std::optional<std::uint32_t> ParseDecimal(std::string_view text) {
    if (text.empty() || !AllDigits(text)) {
        return std::nullopt;
    }
    return DigitsValue(text);
}

} // namespace r2
