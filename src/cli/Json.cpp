#include "cli/Json.h"

#include <cstdio>

namespace json {

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            // Copy a well-formed UTF-8 sequence whole; anything else is replaced.
            const int n = c >= 0xF0 && c < 0xF5 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
            bool bOk = n > 0 && i + static_cast<std::size_t>(n) <= s.size();
            for (int k = 1; bOk && k < n; ++k)
                bOk =
                    (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0xC0) == 0x80;
            if (bOk) {
                out.append(s.substr(i, static_cast<std::size_t>(n)));
                i += static_cast<std::size_t>(n);
            } else {
                out += "\xEF\xBF\xBD";
                ++i;
            }
        }
    }
    return out + "\"";
}

} // namespace json
