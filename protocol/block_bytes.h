#pragma once
// Readers of the fields inside a parameter block, shared by the mirror and the decoders. Every
// reader stays inside the view it is given: a block shorter than expected reads as zero-filled.

#include "protocol/Unit_ProFun.h"
#include "protocol/Unit_Public.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace r2::block_bytes {

// A block of exactly N bytes from a view of any size: missing bytes read as zero, so no
// decoder can read past what it was given.
template <std::size_t N> std::array<std::uint8_t, N> Fixed(ByteView view) {
    std::array<std::uint8_t, N> block{};
    std::copy_n(view.begin(), std::min(view.size(), N), block.begin());
    return block;
}

inline ByteView At(ByteView block, std::size_t offset, std::size_t width) {
    return block.subspan(offset, width);
}

inline std::int32_t Le16(ByteView block, std::size_t offset) {
    return static_cast<std::int32_t>(BytesToInt(At(block, offset, 2), 2, ByteOrder::Little));
}

inline std::string Be16Text(ByteView block, std::size_t offset) {
    return std::to_string(BytesToInt(At(block, offset, 2), 2, ByteOrder::Big));
}

inline bool Bit(std::uint8_t value, int bit) {
    return ((value >> bit) & 1U) != 0;
}

inline std::int32_t BitInt(std::uint8_t value, int bit) {
    return Bit(value, bit) ? 1 : 0;
}

inline std::string TextAt(ByteView block, std::size_t offset, std::size_t width) {
    return BytesToText(At(block, offset, width), width);
}

inline std::string RawText(ByteView bytes) {
    return std::string(bytes.begin(), bytes.end());
}

} // namespace r2::block_bytes
