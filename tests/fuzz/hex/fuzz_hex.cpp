// Text and datagram readers of the protocol core under arbitrary input. The first byte picks
// the reader, the rest is its input. Besides crashes and sanitizer reports, each branch checks
// the reader's promises: fields untouched on failure, nothing written outside a field, and
// results that read back to themselves.

#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace r2;

constexpr std::uint8_t Guard = 0xA5;

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool IsDigitsOnly(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void CheckHexToText(std::string_view text) {
    const std::string out = HexToText(text);
    Require(out == text || out.size() == text.size() / 2);
    if (out.size() == text.size() / 2 && out != text) {
        Require(TextToHex(out).size() == 2 * out.size());
    }
}

void CheckTryHexToText(std::string_view text) {
    const HexTextResult result = TryHexToText(text);
    const std::string digits = RemoveSpaces(text);
    Require(result.text.size() <= (digits.size() + 1) / 2);
    Require(result.ok || result.text.empty());
}

void CheckHexToBytes(std::string_view text) {
    const std::size_t width = text.empty() ? 0 : static_cast<std::uint8_t>(text[0]) % 16;
    std::vector<std::uint8_t> buffer(width + 2, Guard);
    HexToBytes(text, ByteField(buffer).subspan(1, width));
    Require(buffer.front() == Guard && buffer.back() == Guard);
}

void CheckMacTextToBytes(std::string_view text) {
    std::array<std::uint8_t, 8> buffer;
    buffer.fill(Guard);
    const bool ok = MacTextToBytes(text, ByteField(buffer).subspan(1, MacWidth));
    Require(buffer.front() == Guard && buffer.back() == Guard);
    if (!ok) {
        Require(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == Guard; }));
        return;
    }
    std::array<std::uint8_t, MacWidth> again{};
    Require(MacTextToBytes(MacToText(ByteView(buffer).subspan(1, MacWidth)), again));
    Require(std::equal(again.begin(), again.end(), buffer.begin() + 1));
}

void CheckTextToRevIP(std::string_view text) {
    std::array<std::uint8_t, 6> buffer;
    buffer.fill(Guard);
    const bool ok = TextToRevIP(text, ByteField(buffer).subspan(1, 4));
    Require(buffer.front() == Guard && buffer.back() == Guard);
    if (!ok) {
        Require(std::all_of(buffer.begin(), buffer.end(), [](auto b) { return b == Guard; }));
        return;
    }
    std::array<std::uint8_t, 4> again{};
    Require(TextToRevIP(RevIPToText(ByteView(buffer).subspan(1, 4)), again));
    Require(std::equal(again.begin(), again.end(), buffer.begin() + 1));
}

void CheckIPTextToInt(std::string_view text) {
    const auto value = IPTextToInt(text);
    if (value) {
        Require(IPTextToInt(IntToIPText(*value)) == value);
    }
}

void CheckParseDecimal(std::string_view text) {
    const auto value = ParseDecimal(text);
    Require(value.has_value() == IsDigitsOnly(text));
    if (value && text.size() <= 9) {
        Require(*value == std::stoul(std::string(text)));
    }
}

void CheckDatagram(const Bytes& datagram) {
    const ReplyKind kind = ClassifyReply(datagram);
    const auto reply = DecodeSearchReply(datagram);
    Require(reply.has_value() == (kind == ReplyKind::SearchReply));
    if (reply) {
        Require(reply->name.size() <= 14 && reply->mac.size() == 17);
        Require(DecodeSearchReply(BuildSearchReply(*reply)) == reply);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    switch (data[0] % 9) {
    case 0:
        CheckHexToText(text);
        break;
    case 1:
        CheckTryHexToText(text);
        break;
    case 2:
        CheckHexToBytes(text);
        break;
    case 3:
        CheckMacTextToBytes(text);
        break;
    case 4:
        CheckTextToRevIP(text);
        break;
    case 5:
        CheckIPTextToInt(text);
        break;
    case 6:
        CheckParseDecimal(text);
        break;
    default:
        CheckDatagram(Bytes(data + 1, data + size));
        break;
    }
    return 0;
}
