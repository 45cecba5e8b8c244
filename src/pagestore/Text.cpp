#include "pagestore/Text.h"

#include "pagestore/Bytes.h"

namespace text {

namespace {

// Windows-1252 characters of bytes 0x80..0x9F (0 where the code page has none).
constexpr char16_t k1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

std::string Cp1252ToUtf8(std::span<const std::uint8_t> bytes) {
    std::string s;
    s.reserve(bytes.size());
    for (std::uint8_t b : bytes) {
        if (b == 0) break;
        const char16_t c = b >= 0x80 && b < 0xA0 ? k1252[b - 0x80] : b;
        AppendUtf8(s, c ? c : b);
    }
    return s;
}

void AppendUtf8(std::string& out, char32_t c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Utf16ToUtf8(std::span<const std::uint8_t> bytes, bool bStopAtNul) {
    std::string out;
    out.reserve(bytes.size() / 2);
    const std::size_t n = bytes.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const char32_t u = le::U16(bytes.data() + 2 * i);
        if (u == 0 && bStopAtNul) break;
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < n) {
            const char32_t v = le::U16(bytes.data() + 2 * i + 2);
            if (v >= 0xDC00 && v < 0xE000) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
    }
    return out;
}

void TrimTrailingSpace(std::string& s) {
    for (;;) {
        if (!s.empty() && (s.back() == ' ' || (s.back() >= '\t' && s.back() <= '\r'))) {
            s.pop_back();
            continue;
        }
        // U+00A0 (C2 A0), U+3000 (E3 80 80), U+2000..U+200A (E2 80 80..8A)
        const std::size_t n = s.size();
        if (n >= 2 && static_cast<unsigned char>(s[n - 2]) == 0xC2 &&
            static_cast<unsigned char>(s[n - 1]) == 0xA0) {
            s.resize(n - 2);
            continue;
        }
        if (n >= 3 && ((static_cast<unsigned char>(s[n - 3]) == 0xE3 &&
                        static_cast<unsigned char>(s[n - 2]) == 0x80 &&
                        static_cast<unsigned char>(s[n - 1]) == 0x80) ||
                       (static_cast<unsigned char>(s[n - 3]) == 0xE2 &&
                        static_cast<unsigned char>(s[n - 2]) == 0x80 &&
                        static_cast<unsigned char>(s[n - 1]) <= 0x8A))) {
            s.resize(n - 3);
            continue;
        }
        return;
    }
}

} // namespace text
