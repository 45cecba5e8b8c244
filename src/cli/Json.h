// A minimal JSON writer for the command's --format json output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace json {
// The text as a JSON string literal, quotes included; invalid UTF-8 bytes become U+FFFD.
std::string Quote(std::string_view s);
} // namespace json
