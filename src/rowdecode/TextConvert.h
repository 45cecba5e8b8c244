// Conversions of stored text to the UTF-8 text the rest of the system works with: Windows code
// pages (through ICU, with the converters opened once and kept), UTF-16 little-endian, and the
// byte-for-byte widening used when no code page applies. All functions append to `out` and read
// only the bytes of the span they are given. They are safe to call from several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace text {

using Bytes = std::span<const std::uint8_t>;

// The bytes before the first zero byte (all of them when there is none).
Bytes UpToZero(Bytes b);

// Appends one code point as UTF-8; surrogates and values above U+10FFFF become U+FFFD.
void AppendCodePoint(std::string& out, char32_t c);

// Each byte becomes the character with the same code (U+0000..U+00FF).
void AppendWidened(std::string& out, Bytes b);

// Little-endian UTF-16 up to the first U+0000 or the end; an odd last byte forms a unit with a
// zero high byte. A surrogate without its partner becomes U+FFFD.
void AppendUtf16(std::string& out, Bytes b);
void AppendUtf16Units(std::string& out, const char16_t* p, std::size_t n);

// Converts the bytes with Windows code page nCodePage (65001 is UTF-8). Returns false, and
// appends nothing, when no converter exists for the code page. When pUnits is given it receives
// the number of UTF-16 units of the conversion. Bytes a single-byte code page leaves undefined
// widen to the character with the same code; malformed multi-byte sequences become U+FFFD.
bool AppendCodePage(std::string& out, Bytes b, int nCodePage, std::size_t* pUnits = nullptr);

// Whether AppendCodePage can convert with this code page.
bool HasCodePage(int nCodePage);

} // namespace text
