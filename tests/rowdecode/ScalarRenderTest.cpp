#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "pagestore/Bytes.h"
#include "rowdecode/ScalarRender.h"

namespace {

using ByteVec = std::vector<std::uint8_t>;

ByteVec LE(std::uint64_t v, int n) {
    ByteVec b;
    for (int i = 0; i < n; ++i) b.push_back(i < 8 ? static_cast<std::uint8_t>(v >> (8 * i)) : 0);
    return b;
}
ByteVec Cat(ByteVec a, const ByteVec& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
ByteVec F64(double d) {
    return LE(std::bit_cast<std::uint64_t>(d), 8);
}
ByteVec F32(float f) {
    return LE(std::bit_cast<std::uint32_t>(f), 4);
}

constexpr std::int64_t kDay20190504 = render::kDay1900 + 43587;

} // namespace

TEST(Calendar, DayNumbersRoundTripAcrossTheWholeRange) {
    EXPECT_EQ(render::DaysFromCivil(1, 1, 1), 0);
    EXPECT_EQ(render::DaysFromCivil(1900, 1, 1), render::kDay1900);
    EXPECT_EQ(render::DaysFromCivil(2019, 5, 4), kDay20190504);
    EXPECT_EQ(render::DaysFromCivil(9999, 12, 31), 3652058);
    for (std::int64_t d = 0; d <= 3652058; d += 997) {
        const render::CivilDate c = render::CivilFromDays(d);
        ASSERT_EQ(render::DaysFromCivil(c.nYear, c.nMonth, c.nDay), d);
    }
    const render::CivilDate leap = render::CivilFromDays(render::DaysFromCivil(2000, 2, 29));
    EXPECT_EQ(leap.nMonth, 2);
    EXPECT_EQ(leap.nDay, 29);
    // 1900 is not a leap year: the day after 02-28 is 03-01.
    const render::CivilDate c = render::CivilFromDays(render::DaysFromCivil(1900, 2, 28) + 1);
    EXPECT_EQ(c.nMonth, 3);
    EXPECT_EQ(c.nDay, 1);
}

TEST(ScalarRender, GuidGroupsAndByteOrder) {
    EXPECT_EQ(render::Guid(ByteVec{0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA,
                                   0xBB, 0xCC, 0xDD, 0xEE, 0xFF}),
              "00112233-4455-6677-8899-AABBCCDDEEFF");
}

TEST(ScalarRender, Money) {
    struct Case {
        std::int64_t v;
        int n;
        const char* text;
    } cases[] = {
        {0, 8, "0.0000"},
        {12345678, 8, "1234.5678"},
        {5, 8, "0.0005"},
        {-1234, 8, "-0.1234"},
        {-12345, 8, "-1.2345"},
        {-5, 4, "-0.0005"},
        {214748, 4, "21.4748"},
        {std::numeric_limits<std::int64_t>::min(), 8, "-922337203685477.5808"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(render::Money(LE(static_cast<std::uint64_t>(c.v), c.n), c.n), c.text) << c.v;
}

TEST(ScalarRender, FloatFixedDigitsWithTrailingZerosRemoved) {
    struct Case {
        double x;
        const char* text;
    } cases[] = {
        {0.1, "0.1"},
        {123.456, "123.456"},
        {-2.5, "-2.5"},
        {1e20, "100000000000000000000"},
        {5e14, "500000000000000"},
        {1e15, "1000000000000000"},
        {0.0, "0"},
        {-1e-7, "-0.0000001"},
        {-123.456, "-123.456"},
        {-1e20, "-100000000000000000000"},
        {1.0 / 3, "0.333333333333333"},
    };
    for (const Case& c : cases) EXPECT_EQ(render::Float(F64(c.x), true), c.text) << c.x;
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(render::Float(F64(inf), true), "0");
    EXPECT_EQ(render::Float(F64(-inf), true), "0");
    EXPECT_EQ(render::Float(F64(std::numeric_limits<double>::quiet_NaN()), true), "0");
    EXPECT_EQ(render::Float(F64(inf), false), "inf");
    // The smallest denormal still renders completely.
    EXPECT_EQ(render::Float(F64(std::numeric_limits<double>::denorm_min()), true).substr(0, 4),
              "0.00");
    EXPECT_EQ(render::Float(F64(1.7976931348623157e308), true).size(), 309u);
}

TEST(ScalarRender, RealSixDigitsAndThreeDigitExponent) {
    EXPECT_EQ(render::Real(F32(3.1415927f), true), "3.14159");
    EXPECT_EQ(render::Real(F32(1.234567e6f), true), "1.23457e+006");
    EXPECT_EQ(render::Real(F32(100.0f), true), "100");
    EXPECT_EQ(render::Real(F32(0.0001f), true), "0.0001");
    EXPECT_EQ(render::Real(F32(0.00001f), true), "0");
    EXPECT_EQ(render::Real(F32(0.00001f), false), "1e-005");
    EXPECT_EQ(render::Real(F32(std::numeric_limits<float>::infinity()), true), "0");
    EXPECT_EQ(render::Real(F32(std::numeric_limits<float>::quiet_NaN()), true), "0");
    EXPECT_EQ(render::Real(F32(-std::numeric_limits<float>::infinity()), false), "-inf");
}

TEST(ScalarRender, Decimal) {
    struct Case {
        int sign;
        std::uint64_t magnitude;
        int precision, scale;
        const char* text;
    } cases[] = {
        {1, 12345, 5, 2, "123.45"}, {0, 12345, 5, 2, "-123.45"}, {1, 12345, 5, 5, "0.12345"},
        {1, 0, 3, 1, "0.0"},        {1, 0, 5, 0, "0"},           {1, 12345, 3, 1, ""},
        {1, 12345, 4, 2, "123.4"},  {1, 5, 5, 3, "0.005"},       {1, 0, 2, 2, "0.00"},
        {1, 12345, 3, 2, "123"},    {1, 12345, 2, 0, "12345"},   {1, 12, 5, 0xFE, "1200"},
        {1, 99999, 9, 0, "99999"},
    };
    for (const Case& c : cases) {
        const ByteVec b = Cat({static_cast<std::uint8_t>(c.sign)}, LE(c.magnitude, 16));
        EXPECT_EQ(render::Decimal(b, c.precision, c.scale), c.text)
            << c.magnitude << " (" << c.precision << "," << c.scale << ")";
    }
    // Precision chooses how many magnitude bytes count: 4 for 1..9, 8 for 10..19.
    const ByteVec wide = Cat({1}, LE(0x100000001ull, 8));
    EXPECT_EQ(render::Decimal(wide, 9, 0), "1");
    EXPECT_EQ(render::Decimal(wide, 10, 0), "4294967297");
    ByteVec max(17, 0xFF);
    max[0] = 1;
    EXPECT_EQ(render::Decimal(max, 38, 0), "340282366920938463463374607431768211455");
    // Bytes beyond the span read as zero.
    EXPECT_EQ(render::Decimal(ByteVec{1, 0x39, 0x30}, 38, 2), "123.45");
}

TEST(ScalarRender, DateTimeAndSmallDateTime) {
    auto dt = [](std::int32_t days, std::int32_t ticks) {
        return render::DateTime(
            Cat(LE(static_cast<std::uint32_t>(ticks), 4), LE(static_cast<std::uint32_t>(days), 4)));
    };
    EXPECT_EQ(dt(0, 300), "1900-01-01 00:00:01");
    EXPECT_EQ(dt(43587, 14853150), "2019-05-04 13:45:10");
    EXPECT_EQ(dt(0, 25920000), " ");                 // 24:00:00
    EXPECT_EQ(dt(-53691, 0), "1753-12-31 00:00:00"); // 1752-12-31: the year becomes 1753
    EXPECT_EQ(dt(0, -300), " ");                     // negative second
    EXPECT_EQ(dt(2958463, 0), "9999-12-31 00:00:00");
    EXPECT_EQ(dt(2958464, 0), " ");
    EXPECT_EQ(dt(-693596, 0), " ");
    auto sdt = [](std::int16_t minutes, std::uint16_t days) {
        return render::SmallDateTime(Cat(LE(static_cast<std::uint16_t>(minutes), 2), LE(days, 2)));
    };
    EXPECT_EQ(sdt(825, 43587), "2019-05-04 13:45:00");
    EXPECT_EQ(sdt(1440, 0), " ");
    EXPECT_EQ(sdt(-1, 0), " ");
    EXPECT_EQ(sdt(0, 65535), "2079-06-06 00:00:00");
}

TEST(ScalarRender, DateAndTime) {
    EXPECT_EQ(render::Date(ByteVec{0, 0, 0}), "0001-01-01");
    EXPECT_EQ(render::Date(ByteVec{0xFF, 0xFF, 0xFF}), " ");
    EXPECT_EQ(render::Date(LE(3652058, 3)), "9999-12-31");
    EXPECT_EQ(render::Date(LE(kDay20190504, 3)), "2019-05-04");
    EXPECT_EQ(render::Time(LE(49510, 3), 3, 0), "13:45:10");
    EXPECT_EQ(render::Time(LE(49510005, 4), 4, 3), "13:45:10.005");
    EXPECT_EQ(render::Time(LE(495100012345ull, 5), 5, 7), "13:45:10.0012345");
    EXPECT_EQ(render::Time(LE(86400, 3), 3, 0), " ");
    EXPECT_EQ(render::Time(LE(1, 5), 5, 200), " "); // no time carries such a scale
}

TEST(ScalarRender, DateTime2AndOffsets) {
    EXPECT_EQ(render::DateTime2(Cat(LE(495100012345ull, 5), LE(kDay20190504, 3)), 8, 7),
              "2019-05-04 13:45:10.0012345");
    EXPECT_EQ(render::DateTime2(Cat(LE(49510, 3), LE(kDay20190504, 3)), 6, 0),
              "2019-05-04 13:45:10");
    EXPECT_EQ(render::DateTime2(ByteVec(5, 0xFF), 5, 0), "0001-01-01 00:00:00");
    EXPECT_EQ(render::DateTime2(Cat(LE(49510, 3), LE(0xFFFFFF, 3)), 6, 0), " ");

    auto dto = [](std::uint64_t time, int timeBytes, int scale, std::int16_t offset) {
        const ByteVec b = Cat(Cat(LE(time, timeBytes), LE(kDay20190504, 3)),
                              LE(static_cast<std::uint16_t>(offset), 2));
        return render::DateTimeOffset(b, static_cast<int>(b.size()), scale);
    };
    EXPECT_EQ(dto(49510, 3, 0, 330), "2019-05-04 19:15:10 +5:30");
    EXPECT_EQ(dto(49510500, 4, 3, 330), "2019-05-04 19:15:10.500  +5:30");
    EXPECT_EQ(dto(10 * 3600 + 600, 3, 0, -30), "2019-05-04 09:40:00 -0:30");
    // Local time across midnight moves the date.
    EXPECT_EQ(dto(2 * 3600, 3, 0, -300), "2019-05-03 21:00:00 -5:0");
    EXPECT_EQ(dto(23 * 3600 + 30 * 60, 3, 0, 60), "2019-05-05 00:30:00 +1:0");
    EXPECT_EQ(dto(86400, 3, 0, -60), " "); // the stored UTC time itself is out of range
    EXPECT_EQ(render::DateTimeOffset(ByteVec{0, 0, 0, 0, 0, 0, 0xC4, 0xFF}, 8, 0), " ");
    EXPECT_EQ(dto(0, 3, 0, 0), "2019-05-04 00:00:00 +0:0");
    // Other byte counts: time 0 on day 0, offset from the last two bytes.
    EXPECT_EQ(render::DateTimeOffset(ByteVec{0, 0, 0, 0x3C, 0x00}, 5, 0),
              "0001-01-01 01:00:00 +1:0");
}
