// Decoder of the binary form in which SQL Server stores xml values: a token stream with a
// header (DF FF, version, code page 1200), name and qualified-name tables built by meta tokens,
// and element, attribute, text, CDATA, comment and processing-instruction tokens carrying
// UTF-16 strings or typed values. The result is well-formed XML text (UTF-8) with the reserved
// characters escaped and the namespace declarations a prefixed name needs.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace binxml {

// The XML text of a stored value; empty when the bytes are empty, truncated or not a binary
// xml stream (a bad token, a name index out of range, an unbalanced end tag).
std::string Decode(std::span<const std::uint8_t> bytes);

} // namespace binxml
