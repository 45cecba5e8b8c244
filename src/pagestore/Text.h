// UTF-16 text stored in data files, as UTF-8 for the rest of the program.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace text {

// Decodes UTF-16LE bytes (an odd last byte is ignored) into UTF-8; unpaired surrogates become
// U+FFFD. With bStopAtNul the text ends at the first zero code unit.
std::string Utf16ToUtf8(std::span<const std::uint8_t> bytes, bool bStopAtNul = false);

// Single-byte Windows-1252 text, up to its first zero byte, into UTF-8.
std::string Cp1252ToUtf8(std::span<const std::uint8_t> bytes);

// Appends one code point as UTF-8; surrogates and values above U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, char32_t c);

// Removes trailing white space (ASCII white space and the Unicode space characters).
void TrimTrailingSpace(std::string& s);

} // namespace text
