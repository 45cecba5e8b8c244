// Little-endian loads from on-disk bytes. Every multi-byte field of a data file is read
// through these; a byte pointer is never cast to a wider type. The bounded forms return 0 when
// the field does not lie wholly inside the view, so a damaged length can never lead a decoder
// outside its page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace le {

inline std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t I16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(U16(p));
}
inline std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t I32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(U32(p));
}
inline std::uint64_t U64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(U32(p)) | (static_cast<std::uint64_t>(U32(p + 4)) << 32);
}
inline std::int64_t I64(const std::uint8_t* p) {
    return static_cast<std::int64_t>(U64(p));
}

// Bounded reads: 0 when [off, off + width) is not inside the view.
inline std::uint8_t U8At(std::span<const std::uint8_t> s, std::size_t off) {
    return off < s.size() ? s[off] : 0;
}
inline std::uint16_t U16At(std::span<const std::uint8_t> s, std::size_t off) {
    return off <= s.size() && s.size() - off >= 2 ? U16(s.data() + off) : 0;
}
inline std::int16_t I16At(std::span<const std::uint8_t> s, std::size_t off) {
    return static_cast<std::int16_t>(U16At(s, off));
}
inline std::uint32_t U32At(std::span<const std::uint8_t> s, std::size_t off) {
    return off <= s.size() && s.size() - off >= 4 ? U32(s.data() + off) : 0;
}
inline std::int32_t I32At(std::span<const std::uint8_t> s, std::size_t off) {
    return static_cast<std::int32_t>(U32At(s, off));
}

// Stores, for the test-file writer and the tools.
inline void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
    Put16(p, static_cast<std::uint16_t>(v));
    Put16(p + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void Put64(std::uint8_t* p, std::uint64_t v) {
    Put32(p, static_cast<std::uint32_t>(v));
    Put32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

} // namespace le
