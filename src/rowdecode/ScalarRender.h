// Text renderings of the scalar encodings SQL Server uses for GUIDs, money, floating-point,
// decimal and date/time values. Each one is a pure function of its bytes (little-endian) and
// the stated extra inputs; none keeps state or reads a setting, so they may run on several
// threads at once. Every rendering reads only the bytes of the span it is given: a field that
// lies beyond the span reads as zero bytes.
//
// Out-of-range temporal values render as " " (one space).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace render {

using Bytes = std::span<const std::uint8_t>;

// The text shown for a temporal value that does not denote a valid date and time.
inline constexpr const char* kInvalidTemporal = " ";

// 16 bytes, written as 8-4-4-4-12 upper-case hex digits; the first three groups are
// little-endian, the last two in storage order. No braces.
std::string Guid(Bytes b);

// A signed count of ten-thousandths in nByteCount (8 or 4) bytes: "-1.2345", "0.0005".
std::string Money(Bytes b, int nByteCount);

// An IEEE double as fixed-point text with trailing zeros removed. With bReplace, an infinity
// or a not-a-number becomes "0".
std::string Float(Bytes b, bool bReplace);
std::string FloatFromDouble(double x, bool bReplace);

// An IEEE single as six significant digits in the shorter of fixed and exponent notation, the
// exponent with at least three digits ("1.23457e+006"). With bReplace, magnitudes whose text
// has a negative exponent, infinities and not-a-numbers become "0".
std::string Real(Bytes b, bool bReplace);

// A sign byte (0 = negative) and a little-endian magnitude of 4, 8, 12 or 16 bytes chosen by
// the precision; the scale is a signed byte (negative scales append zeros). Empty when the
// magnitude has more digits than precision and scale allow.
std::string Decimal(Bytes b, int nPrecision, int nScale);

// datetime: 1/300-second ticks since midnight, then days since 1900-01-01 (both signed 32-bit).
std::string DateTime(Bytes b);
// smalldatetime: signed 16-bit minutes since midnight, then unsigned 16-bit days since 1900.
std::string SmallDateTime(Bytes b);
// date: unsigned 24-bit days since 0001-01-01.
std::string Date(Bytes b);
// time: an unsigned integer of nByteCount bytes counting 10^-scale seconds since midnight.
std::string Time(Bytes b, int nByteCount, int nScale);
// datetime2: time (nByteCount - 3 bytes) then the 3-byte date.
std::string DateTime2(Bytes b, int nByteCount, int nScale);
// datetimeoffset: UTC time, 3-byte date, then a signed 16-bit offset in minutes; shown as
// local time with the offset.
std::string DateTimeOffset(Bytes b, int nByteCount, int nScale);

// Proleptic Gregorian calendar: days since 0001-01-01 (day 0) and back.
struct CivilDate {
    std::int64_t nYear = 1;
    int nMonth = 1;
    int nDay = 1;
};
CivilDate CivilFromDays(std::int64_t nDays);
std::int64_t DaysFromCivil(std::int64_t nYear, int nMonth, int nDay);

// Day number of 1900-01-01 counted from 0001-01-01.
inline constexpr std::int64_t kDay1900 = 693595;

} // namespace render
