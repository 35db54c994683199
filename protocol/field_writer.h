#pragma once
// The field writer the block encoders build on, and the outcome of an encoder.
//
// Contract: each encoder is all or nothing for its own section: it writes a working copy and
// puts it into the section only when every field converted. On failure the section is
// unchanged and the result names the control and the text that did not convert.

#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace r2 {

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

} // namespace r2
