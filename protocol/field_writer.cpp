#include "protocol/field_writer.h"

#include "protocol/panel_controls.h"

#include <algorithm>
#include <optional>

namespace r2 {

std::string EncodeResult::Message() const {
    if (ok()) {
        return {};
    }
    return control + ": \"" + text + "\" " + problem;
}

EncodeResult EncodeFailure(std::string_view control, std::string_view text,
                           std::string_view problem) {
    return EncodeResult{std::string(control), std::string(text), std::string(problem)};
}

namespace {

constexpr std::string_view NotNumber = "is not a decimal number";
constexpr std::string_view NotBaudRate = "is not a baud rate (a 32-bit integer)";
constexpr std::string_view NotIPv4 = "is not an IPv4 address";
constexpr std::string_view NotMac = "is not a MAC address (12 hex digits)";
constexpr std::string_view NotHex = "is not pairs of hex digits";

void PutUInt(ByteField field, std::uint32_t value, ByteOrder order) {
    const std::size_t n = field.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t shift = 8 * (order == ByteOrder::Little ? i : n - 1 - i);
        field[i] = static_cast<std::uint8_t>(value >> shift);
    }
}

} // namespace

FieldWriter::FieldWriter(ByteView start) : m_block(start.begin(), start.end()) {}

void FieldWriter::Zeros(std::size_t offset, std::size_t width) {
    std::fill_n(Field(offset, width).begin(), width, 0);
}

void FieldWriter::Number(std::size_t offset, std::size_t width, ByteOrder order,
                         std::string_view control, std::string_view text) {
    const std::optional<std::uint32_t> value = ParseDecimal(text);
    if (!value) {
        Fail(control, text, NotNumber);
        return;
    }
    PutUInt(Field(offset, width), *value, order);
}

void FieldWriter::NumberOr(std::size_t offset, std::size_t width, std::string_view text,
                           std::uint32_t fallback) {
    PutUInt(Field(offset, width), ParseDecimal(text).value_or(fallback), ByteOrder::Little);
}

void FieldWriter::BaudRate(std::size_t offset, std::size_t width, std::string_view control,
                           std::string_view text) {
    const std::optional<std::int32_t> rate = ParseBaudAnswer(text);
    if (!rate) {
        Fail(control, text, NotBaudRate);
        return;
    }
    PutUInt(Field(offset, width), static_cast<std::uint32_t>(*rate), ByteOrder::Little);
}

void FieldWriter::Ip(std::size_t offset, std::string_view control, std::string_view text) {
    if (!TextToRevIP(text, Field(offset, 4))) {
        Fail(control, text, NotIPv4);
    }
}

void FieldWriter::Mac(std::size_t offset, std::string_view control, std::string_view text) {
    if (!MacTextToBytes(text, Field(offset, MacWidth))) {
        Fail(control, text, NotMac);
    }
}

void FieldWriter::Text(std::size_t offset, std::size_t width, std::string_view text) {
    TextToField(text, Field(offset, width));
}

void FieldWriter::Hex(std::size_t offset, std::size_t width, std::string_view control,
                      std::string_view text) {
    if (!HexToBytes(text, Field(offset, width))) {
        Fail(control, text, NotHex);
    }
}

ByteField FieldWriter::Field(std::size_t offset, std::size_t width) {
    return ByteField(m_block).subspan(offset, width);
}

void FieldWriter::Fail(std::string_view control, std::string_view text, std::string_view problem) {
    if (m_result.ok()) {
        m_result = EncodeFailure(control, text, problem);
    }
}

EncodeResult FieldWriter::CommitTo(ByteField section) const {
    if (m_result.ok()) {
        std::copy_n(m_block.begin(), std::min(section.size(), m_block.size()), section.begin());
    }
    return m_result;
}

} // namespace r2
