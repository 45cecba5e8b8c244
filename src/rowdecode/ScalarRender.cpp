#include "rowdecode/ScalarRender.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>

namespace render {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Byte i of the span, or 0 beyond it.
std::uint8_t ByteAt(Bytes b, std::size_t i) {
    return i < b.size() ? b[i] : 0;
}

// Unsigned little-endian integer of nCount (at most 8) bytes starting at nOffset.
std::uint64_t UnsignedAt(Bytes b, std::size_t nOffset, int nCount) {
    std::uint64_t v = 0;
    for (int i = std::min(nCount, 8) - 1; i >= 0; --i)
        v = (v << 8) | ByteAt(b, nOffset + static_cast<std::size_t>(i));
    return v;
}

void AppendHexByte(std::string& out, std::uint8_t v) {
    out += kHexDigits[v >> 4];
    out += kHexDigits[v & 15];
}

// Appends v in decimal with at least nWidth digits (leading zeros).
void AppendPadded(std::string& out, std::uint64_t v, int nWidth) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    for (int n = static_cast<int>(res.ptr - buf); n < nWidth; ++n) out += '0';
    out.append(buf, res.ptr);
}

void AppendSigned(std::string& out, std::int64_t v) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

constexpr std::int64_t kLastDay = 3652058; // 9999-12-31

bool ValidDay(std::int64_t nDays) {
    return nDays >= 0 && nDays <= kLastDay;
}

// "YYYY-MM-DD" of a valid day number; nYearOverride replaces the year when not 0.
void AppendDate(std::string& out, std::int64_t nDays, std::int64_t nMinYear = 0) {
    CivilDate d = CivilFromDays(nDays);
    if (d.nYear < nMinYear) d.nYear = nMinYear;
    AppendPadded(out, static_cast<std::uint64_t>(d.nYear), 4);
    out += '-';
    AppendPadded(out, static_cast<std::uint64_t>(d.nMonth), 2);
    out += '-';
    AppendPadded(out, static_cast<std::uint64_t>(d.nDay), 2);
}

bool ValidClock(std::int64_t h, std::int64_t m, std::int64_t s) {
    return h >= 0 && h <= 23 && m >= 0 && m <= 59 && s >= 0 && s <= 59;
}

void AppendClock(std::string& out, std::int64_t h, std::int64_t m, std::int64_t s) {
    AppendPadded(out, static_cast<std::uint64_t>(h), 2);
    out += ':';
    AppendPadded(out, static_cast<std::uint64_t>(m), 2);
    out += ':';
    AppendPadded(out, static_cast<std::uint64_t>(s), 2);
}

// Hour, minute and second of a second count, truncating toward zero.
struct Clock {
    std::int64_t h, m, s;
};
Clock ClockFromSeconds(std::int64_t nSeconds) {
    return {nSeconds / 3600, (nSeconds / 60) % 60, nSeconds % 60};
}

constexpr int kMaxTimeScale = 9;

std::uint64_t Pow10(int n) {
    std::uint64_t v = 1;
    while (n-- > 0) v *= 10;
    return v;
}

// A time value split into seconds since midnight and the fraction, or false when the scale is
// not one a time value can carry.
struct TimeParts {
    std::int64_t nSeconds = 0;
    std::uint64_t nFraction = 0;
};
bool SplitTime(std::uint64_t v, int nScale, TimeParts& out) {
    if (nScale < 0 || nScale > kMaxTimeScale) return false;
    const std::uint64_t p = Pow10(nScale);
    out.nFraction = v % p;
    const std::uint64_t s = v / p;
    if (s > 86400ull * 2) return false; // far beyond a day: certainly invalid
    out.nSeconds = static_cast<std::int64_t>(s);
    return true;
}

void AppendFraction(std::string& out, std::uint64_t nFraction, int nScale) {
    if (nScale <= 0) return;
    out += '.';
    AppendPadded(out, nFraction, nScale);
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The date-and-time text shared by datetime2 and datetimeoffset, or false when invalid. A
// non-zero offset moves the stored UTC time to local time; when that crosses midnight the
// date moves with it, so a valid value never turns invalid by its offset.
bool AppendDateTimeScaled(std::string& out, std::int64_t nDays, const TimeParts& t,
                          std::int64_t nOffsetMinutes, int nScale) {
    Clock c = ClockFromSeconds(t.nSeconds);
    if (!ValidClock(c.h, c.m, c.s)) return false;
    if (nOffsetMinutes != 0) {
        const std::int64_t nMinutes = c.h * 60 + c.m + nOffsetMinutes;
        nDays += FloorDiv(nMinutes, 24 * 60);
        const std::int64_t nOfDay = nMinutes - FloorDiv(nMinutes, 24 * 60) * 24 * 60;
        c.h = nOfDay / 60;
        c.m = nOfDay % 60;
    }
    if (!ValidDay(nDays)) return false;
    AppendDate(out, nDays);
    out += ' ';
    AppendClock(out, c.h, c.m, c.s);
    AppendFraction(out, t.nFraction, nScale);
    return true;
}

} // namespace

CivilDate CivilFromDays(std::int64_t nDays) {
    // Count from 0000-03-01 so that the leap day ends each 4/100/400-year cycle.
    const std::int64_t z = nDays + 306;
    const std::int64_t nEra = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t nDoe = z - nEra * 146097;
    const std::int64_t nYoe = (nDoe - nDoe / 1460 + nDoe / 36524 - nDoe / 146096) / 365;
    const std::int64_t nDoy = nDoe - (365 * nYoe + nYoe / 4 - nYoe / 100);
    const std::int64_t nMp = (5 * nDoy + 2) / 153;
    CivilDate d;
    d.nDay = static_cast<int>(nDoy - (153 * nMp + 2) / 5 + 1);
    d.nMonth = static_cast<int>(nMp < 10 ? nMp + 3 : nMp - 9);
    d.nYear = nYoe + nEra * 400 + (d.nMonth <= 2 ? 1 : 0);
    return d;
}

std::int64_t DaysFromCivil(std::int64_t nYear, int nMonth, int nDay) {
    const std::int64_t y = nYear - (nMonth <= 2 ? 1 : 0);
    const std::int64_t nEra = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t nYoe = y - nEra * 400;
    const std::int64_t nMp = nMonth > 2 ? nMonth - 3 : nMonth + 9;
    const std::int64_t nDoy = (153 * nMp + 2) / 5 + nDay - 1;
    const std::int64_t nDoe = nYoe * 365 + nYoe / 4 - nYoe / 100 + nDoy;
    return nEra * 146097 + nDoe - 306;
}

std::string Guid(Bytes b) {
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out;
    out.reserve(36);
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        AppendHexByte(out, ByteAt(b, static_cast<std::size_t>(kOrder[i])));
    }
    return out;
}

std::string Money(Bytes b, int nByteCount) {
    std::int64_t v;
    if (nByteCount == 4)
        v = static_cast<std::int32_t>(static_cast<std::uint32_t>(UnsignedAt(b, 0, 4)));
    else
        v = static_cast<std::int64_t>(UnsignedAt(b, 0, 8));
    // Work on the magnitude as unsigned so that the most negative value keeps its digits.
    const std::uint64_t u =
        v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    std::string out;
    if (v < 0) out += '-';
    AppendPadded(out, u / 10000, 1);
    out += '.';
    AppendPadded(out, u % 10000, 4);
    return out;
}

std::string FloatFromDouble(double x, bool bReplace) {
    if (bReplace && !std::isfinite(x)) return "0";
    int nDigits = 6;
    // Negative values get as many digits as positive ones of the same magnitude.
    const double a = std::fabs(x);
    if (a > 0 && std::isfinite(a)) {
        const double d = 15 - std::ceil(std::log10(a));
        if (d >= 0) nDigits = static_cast<int>(d);
    }
    // The longest text is a denormal: "0." and 15 + 324 digits; 309 integer digits at most.
    std::array<char, 1024> buf;
    auto res =
        std::to_chars(buf.data(), buf.data() + buf.size(), x, std::chars_format::fixed, nDigits);
    std::string out(buf.data(), res.ec == std::errc() ? res.ptr : buf.data());
    if (out.find('.') != std::string::npos) {
        while (!out.empty() && out.back() == '0') out.pop_back();
        if (!out.empty() && out.back() == '.') out.pop_back();
    }
    return out;
}

std::string Float(Bytes b, bool bReplace) {
    return FloatFromDouble(std::bit_cast<double>(UnsignedAt(b, 0, 8)), bReplace);
}

std::string Real(Bytes b, bool bReplace) {
    const double x = std::bit_cast<float>(static_cast<std::uint32_t>(UnsignedAt(b, 0, 4)));
    if (bReplace && !std::isfinite(x)) return "0";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 6);
    std::string out(buf, res.ec == std::errc() ? res.ptr : buf);
    const std::size_t e = out.find('e');
    if (e != std::string::npos && e + 1 < out.size()) {
        // The exponent is written with at least three digits.
        const std::size_t nDigitsAt = e + 2;
        const std::size_t nDigits = out.size() - nDigitsAt;
        if (nDigits < 3) out.insert(nDigitsAt, 3 - nDigits, '0');
    }
    if (bReplace && out.find("e-") != std::string::npos) return "0";
    return out;
}

std::string Decimal(Bytes b, int nPrecision, int nScale) {
    const int nWords = nPrecision <= 9 ? 1 : nPrecision <= 19 ? 2 : nPrecision <= 28 ? 3 : 4;
    unsigned __int128 m = 0;
    for (int i = nWords * 4; i >= 1; --i) m = (m << 8) | ByteAt(b, static_cast<std::size_t>(i));
    const int nSignedScale = static_cast<std::int8_t>(static_cast<std::uint8_t>(nScale));

    // A 128-bit magnitude has at most 39 digits.
    char digits[40];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + static_cast<int>(m % 10));
        m /= 10;
    } while (m != 0 && n < 39);
    std::string text(digits, digits + n);
    std::reverse(text.begin(), text.end());

    if (nSignedScale > 0) {
        const int nCount = n;
        if (static_cast<int>(text.size()) <= nSignedScale)
            text.insert(0, static_cast<std::size_t>(nSignedScale + 1) - text.size(), '0');
        text.insert(text.size() - static_cast<std::size_t>(nSignedScale), 1, '.');
        const int nExcess = nCount - nPrecision;
        if (nExcess > 0) {
            if (nExcess > nSignedScale) return std::string();
            text.resize(text.size() - static_cast<std::size_t>(nExcess));
            if (nExcess == nSignedScale) text.pop_back();
        }
    } else if (nSignedScale < 0) {
        text.append(static_cast<std::size_t>(-nSignedScale), '0');
    }
    if (ByteAt(b, 0) == 0) text.insert(0, 1, '-');
    return text;
}

std::string DateTime(Bytes b) {
    const std::int32_t nTicks = static_cast<std::int32_t>(UnsignedAt(b, 0, 4));
    const std::int32_t nDays = static_cast<std::int32_t>(UnsignedAt(b, 4, 4));
    const auto nSeconds = static_cast<std::int64_t>(nTicks * 0.00333333335);
    const Clock c = ClockFromSeconds(nSeconds);
    const std::int64_t nDay = kDay1900 + nDays;
    if (!ValidDay(nDay) || !ValidClock(c.h, c.m, c.s)) return kInvalidTemporal;
    std::string out;
    out.reserve(19);
    AppendDate(out, nDay, 1753);
    out += ' ';
    AppendClock(out, c.h, c.m, c.s);
    return out;
}

std::string SmallDateTime(Bytes b) {
    const std::int16_t nMinutes = static_cast<std::int16_t>(UnsignedAt(b, 0, 2));
    const std::int64_t nDay = kDay1900 + static_cast<std::int64_t>(UnsignedAt(b, 2, 2));
    const std::int64_t h = nMinutes / 60, m = nMinutes % 60;
    if (!ValidDay(nDay) || !ValidClock(h, m, 0)) return kInvalidTemporal;
    std::string out;
    out.reserve(19);
    AppendDate(out, nDay);
    out += ' ';
    AppendClock(out, h, m, 0);
    return out;
}

std::string Date(Bytes b) {
    const auto nDay = static_cast<std::int64_t>(UnsignedAt(b, 0, 3));
    if (!ValidDay(nDay)) return kInvalidTemporal;
    std::string out;
    AppendDate(out, nDay);
    return out;
}

std::string Time(Bytes b, int nByteCount, int nScale) {
    TimeParts t;
    if (!SplitTime(UnsignedAt(b, 0, nByteCount), nScale, t)) return kInvalidTemporal;
    const Clock c = ClockFromSeconds(t.nSeconds);
    if (!ValidClock(c.h, c.m, c.s)) return kInvalidTemporal;
    std::string out;
    AppendClock(out, c.h, c.m, c.s);
    AppendFraction(out, t.nFraction, nScale);
    return out;
}

std::string DateTime2(Bytes b, int nByteCount, int nScale) {
    if (nByteCount < 6 || nByteCount > 8) return "0001-01-01 00:00:00";
    const int nTimeBytes = nByteCount - 3;
    TimeParts t;
    if (!SplitTime(UnsignedAt(b, 0, nTimeBytes), nScale, t)) return kInvalidTemporal;
    const auto nDay =
        static_cast<std::int64_t>(UnsignedAt(b, static_cast<std::size_t>(nTimeBytes), 3));
    std::string out;
    if (!AppendDateTimeScaled(out, nDay, t, 0, nScale)) return kInvalidTemporal;
    return out;
}

std::string DateTimeOffset(Bytes b, int nByteCount, int nScale) {
    std::uint64_t nTime = 0;
    std::int64_t nDay = 0;
    if (nByteCount >= 8 && nByteCount <= 10) {
        nTime = UnsignedAt(b, 0, nByteCount - 5);
        nDay =
            static_cast<std::int64_t>(UnsignedAt(b, static_cast<std::size_t>(nByteCount - 5), 3));
    }
    std::int16_t nOffset = 0;
    if (nByteCount >= 2)
        nOffset =
            static_cast<std::int16_t>(UnsignedAt(b, static_cast<std::size_t>(nByteCount - 2), 2));
    TimeParts t;
    if (!SplitTime(nTime, nScale, t)) return kInvalidTemporal;
    std::string out;
    if (!AppendDateTimeScaled(out, nDay, t, nOffset, nScale)) return kInvalidTemporal;
    out += nScale > 0 ? "  " : " ";
    out += nOffset >= 0 ? '+' : '-';
    const int nAbs = nOffset >= 0 ? nOffset : -static_cast<int>(nOffset);
    AppendSigned(out, nAbs / 60);
    out += ':';
    AppendSigned(out, nAbs % 60);
    return out;
}

} // namespace render
