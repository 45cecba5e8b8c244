#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "appstate/CDravoltBrevantProjApp.h"
#include "rowdecode/ValueFormat.h"

namespace {

using ByteVec = std::vector<std::uint8_t>;

TableColumn Column(std::int32_t nCode, std::string strType, std::int32_t nMax = 0,
                   bool bVariable = false, std::int32_t nPrecision = 0, std::int32_t nScale = 0) {
    TableColumn c;
    c.m_strName = "c";
    c.m_strType = std::move(strType);
    c.m_nTypeCode = nCode;
    c.m_nMaxLength = nMax;
    c.m_bVariableLength = bVariable;
    c.m_nPrecision = nPrecision;
    c.m_nScale = nScale;
    return c;
}

// Formats one value the way the row reader does: descriptor from the column, length and
// available from the bytes.
std::string Format(const TableColumn& column, const ByteVec& bytes,
                   const CDravoltBrevantProjApp& app) {
    BitCursor cursor;
    ValueDescriptor d = InitValueDescriptor(column, cursor);
    d.m_nLength = static_cast<std::int32_t>(bytes.size());
    d.m_nAvailable = bytes.size();
    return FormatColumnValue(d, bytes.data(), column, app);
}

std::string U8(const char8_t* s) {
    return std::string(reinterpret_cast<const char*>(s));
}

} // namespace

TEST(TypeCodes, FromSystemTypeIds) {
    const std::pair<int, int> cases[] = {
        {34, 26},  {35, 26},  {36, 15},  {40, 5},   {41, 6},   {42, 7},   {43, 8},
        {48, 14},  {52, 13},  {56, 9},   {58, 27},  {59, 28},  {60, 21},  {61, 4},
        {62, 22},  {98, 20},  {99, 19},  {104, 2},  {106, 24}, {108, 23}, {122, 29},
        {127, 0},  {165, 16}, {167, 17}, {173, 1},  {175, 3},  {189, 30}, {231, 11},
        {232, 18}, {239, 10}, {240, 33}, {241, 34}, {0, 3},    {255, 3},
    };
    for (auto [nSystem, nCode] : cases)
        EXPECT_EQ(TypeCodeFromSystemType(static_cast<std::uint8_t>(nSystem)), nCode) << nSystem;
}

TEST(TypeCodes, DeclaredLengthFromTypeText) {
    EXPECT_EQ(DeclaredLength("int(4)"), 4);
    EXPECT_EQ(DeclaredLength("varbinary(-1)"), -1);
    EXPECT_EQ(DeclaredLength("datetime2(8)x(3)"), 8);
    EXPECT_EQ(DeclaredLength("int"), 0);
    EXPECT_EQ(DeclaredLength("char(abc)"), 0);
    EXPECT_EQ(DeclaredLength("odd)(5"), 0);
    EXPECT_EQ(DeclaredLength("big(99999999999)"), std::numeric_limits<std::int32_t>::max());
}

TEST(ValueDescriptor, StorageFactsByTypeCode) {
    struct Case {
        int code;
        bool columnVariable;
        int variable, size, length;
    } cases[] = {
        {0, false, 0, 8, 8},   {1, false, 0, 30, 30},  {3, true, 0, 30, 30},
        {4, false, 0, 8, 8},   {5, false, 0, 3, 3},    {6, false, 0, 5, 5},
        {7, false, 0, 8, 8},   {8, false, 0, 10, 10},  {9, false, 0, 4, 4},
        {10, true, 1, 30, 30}, {11, false, 0, 30, 30}, {13, false, 0, 2, 2},
        {14, false, 0, 1, 1},  {15, false, 0, 16, 16}, {16, false, 1, 0, 30},
        {17, true, 1, 0, 30},  {17, false, 0, 0, 30},  {18, true, 0, 0, 0},
        {20, true, 1, 30, 30}, {23, false, 0, 19, 19}, {24, false, 0, 30, 30},
        {25, false, 1, 0, 30}, {28, false, 0, 4, 4},   {30, false, 0, 8, 8},
        {33, true, 1, 30, 30}, {34, false, 1, 0, 30},  {35, true, 0, 0, 0},
        {-1, true, 0, 0, 0},
    };
    for (const Case& c : cases) {
        BitCursor cursor;
        const ValueDescriptor d =
            InitValueDescriptor(Column(c.code, "t(30)", 30, c.columnVariable), cursor);
        EXPECT_EQ(d.m_bVariable, c.variable) << c.code;
        EXPECT_EQ(d.m_nSize, c.size) << c.code;
        EXPECT_EQ(d.m_nLength, c.length) << c.code;
        EXPECT_EQ(d.m_nTypeCode, c.code);
        EXPECT_EQ(d.m_nAvailable, 0u);
        EXPECT_EQ(d.m_nDeclaredLength, 0);
        EXPECT_EQ(d.m_pBitCursor, nullptr);
    }
}

TEST(FormatColumnValue, TableOfCases) {
    CDravoltBrevantProjApp app;
    struct Case {
        TableColumn column;
        ByteVec bytes;
        std::string text;
    } cases[] = {
        {Column(0, "bigint(8)"), {0x2A, 0, 0, 0, 0, 0, 0, 0}, "42"},
        {Column(0, "bigint(8)"), {0, 0, 0, 0, 0, 0, 0, 0x80}, "-9223372036854775808"},
        {Column(9, "int(4)"), {0xFF, 0xFF, 0xFF, 0xFF}, "-1"},
        {Column(14, "tinyint(1)"), {0xFF}, "255"},
        {Column(13, "smallint(2)"), {0xFF, 0xFF}, "-1"},
        {Column(1, "binary(2)", 2), {0x01, 0xAB}, "0x01AB"},
        {Column(16, "varbinary(10)"), {0x01, 0xAB}, "01AB"},
        {Column(32, "geometry(-1)"), {0x01, 0xAB}, "01AB"},
        {Column(31, "hierarchyid(892)"), {0x58}, "0x58"},
        {Column(33, "geography(-1)"), {0x01, 0xAB}, "0x01AB"},
        {Column(30, "timestamp(8)"), {0, 0, 0, 0, 0, 0, 0x0F, 0xA1}, "0x0000000000000FA1"},
        {Column(17, "varchar(10)", 10, true), {'a', 'b', 'c', 0, 'd', 'e', 'f'}, "abc"},
        {Column(3, "char(3)", 3), {'x', 'y', 'z'}, "xyz"},
        {Column(26, "text(16)"), {'t', 'x', 't'}, "txt"},
        {Column(11, "nvarchar(10)", 10, true), {0x61, 0, 0x62, 0}, "ab"},
        {Column(10, "nchar(4)", 4), {0x61, 0, 0x62, 0}, "ab"},
        {Column(11, "nvarchar(10)", 10, true), {0x3D, 0xD8, 0x00, 0xDE}, U8(u8"\U0001F600")},
        {Column(11, "nvarchar(10)", 10, true), {0x00, 0xD8, 0x61}, U8(u8"\uFFFDa")},
        {Column(19, "ntext(16)", 16, true), {0x61, 0, 0x62, 0, 0x63, 0}, "abc"},
        {Column(19, "ntext(16)", 16, true), {0x61, 0x62, 0x63, 0}, "abc"},
        {Column(15, "uniqueidentifier(16)"),
         {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE,
          0xFF},
         "00112233-4455-6677-8899-AABBCCDDEEFF"},
        {Column(21, "money(8)"), {0x39, 0x30, 0, 0, 0, 0, 0, 0}, "1.2345"},
        {Column(29, "smallmoney(4)"), {0xFB, 0xFF, 0xFF, 0xFF}, "-0.0005"},
        {Column(22, "float(8)"), {0, 0, 0, 0, 0, 0, 0xF0, 0x7F}, "0"}, // infinity
        {Column(22, "float(8)"), {0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F}, "0.1"},
        {Column(28, "real(4)"), {0xAC, 0xC5, 0x27, 0x37}, "0"}, // 0.00001
        {Column(28, "real(4)"), {0x38, 0xB4, 0x96, 0x49}, "1.23457e+006"},
        {Column(24, "decimal(5)", 5, false, 5, 2), {1, 0x39, 0x30, 0, 0}, "123.45"},
        {Column(23, "numeric(5)", 5, false, 5, 2), {0, 0x39, 0x30, 0, 0}, "-123.45"},
        {Column(4, "datetime(8)"), {0x2C, 0x01, 0, 0, 0, 0, 0, 0}, "1900-01-01 00:00:01"},
        {Column(27, "smalldatetime(4)"), {0x39, 0x03, 0x43, 0xAA}, "2019-05-04 13:45:00"},
        {Column(5, "date(3)"), {0, 0, 0}, "0001-01-01"},
        {Column(5, "date(3)"), {0xFF, 0xFF, 0xFF}, " "},
        {Column(6, "time(3)", 0, false, 0, 0), {0x66, 0xC1, 0x00}, "13:45:10"},
        {Column(7, "datetime2(6)", 0, false, 0, 0),
         {0x66, 0xC1, 0x00, 0x9E, 0x3F, 0x0B},
         "2019-05-04 13:45:10"},
        {Column(8, "datetimeoffset(8)", 0, false, 0, 0),
         {0x66, 0xC1, 0x00, 0x9E, 0x3F, 0x0B, 0x4A, 0x01},
         "2019-05-04 19:15:10 +5:30"},
        {Column(25, "image(16)"), {1, 2, 3}, ""},
        {Column(18, "x(4)"), {1, 2, 3}, ""},
        {Column(12, "x(4)"), {1, 2, 3}, ""},
        {Column(35, "x(4)"), {1, 2, 3}, ""},
        {Column(34, "xml(-1)"), {1, 2, 3}, " "},
        {Column(34, "xml(-1)"),
         {0xDF, 0xFF, 0x01, 0xB0, 0x04, 0xF0, 0x01, 0x61, 0x00, 0xEF, 0x00, 0x00, 0x01, 0xF8, 0x01,
          0xF7},
         "<a/>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Format(c.column, c.bytes, app), c.text)
            << "type code " << c.column.m_nTypeCode << ", " << c.column.m_strType;
}

TEST(FormatColumnValue, NullDataAndBoundsChecks) {
    CDravoltBrevantProjApp app;
    const TableColumn intColumn = Column(9, "int(4)");
    BitCursor cursor;
    for (int code = -1; code <= 36; ++code) {
        const TableColumn c = Column(code, "t(8)", 8, true);
        ValueDescriptor d = InitValueDescriptor(c, cursor);
        d.m_nLength = 8;
        d.m_nAvailable = 8;
        EXPECT_EQ(FormatColumnValue(d, nullptr, c, app), "") << code;
        EXPECT_EQ(FormatVariantValue(d, nullptr, 8, c, app), "") << code;
    }
    const ByteVec four{1, 0, 0, 0};
    ValueDescriptor d = InitValueDescriptor(intColumn, cursor);
    d.m_nLength = 4;
    d.m_nAvailable = 3; // the value would run past the record
    EXPECT_EQ(FormatColumnValue(d, four.data(), intColumn, app), "");
    d.m_nLength = 0;
    d.m_nAvailable = 4;
    EXPECT_EQ(FormatColumnValue(d, four.data(), intColumn, app), "");

    // Fixed-size rules check the available bytes and take the declared length either way.
    const TableColumn dt = Column(4, "datetime(8)");
    const ByteVec eight(8, 0);
    d = InitValueDescriptor(dt, cursor);
    d.m_nLength = 3;
    d.m_nAvailable = 7;
    EXPECT_EQ(FormatColumnValue(d, eight.data(), dt, app), "");
    EXPECT_EQ(d.m_nLength, 8);
    EXPECT_EQ(d.m_nDeclaredLength, 8);

    const TableColumn guid = Column(15, "uniqueidentifier(16)");
    d = InitValueDescriptor(guid, cursor);
    d.m_nLength = 20;
    d.m_nAvailable = 16;
    EXPECT_EQ(FormatColumnValue(d, eight.data(), guid, app), "");
    EXPECT_EQ(d.m_nLength, 16);

    // A variable value's available becomes its length; the copy never goes past it.
    const TableColumn vb = Column(16, "varbinary(10)");
    const ByteVec three{0xAA, 0xBB, 0xCC};
    d = InitValueDescriptor(vb, cursor);
    d.m_nLength = 2;
    d.m_nAvailable = 100;
    EXPECT_EQ(FormatColumnValue(d, three.data(), vb, app), "AABB");
    EXPECT_EQ(d.m_nAvailable, 2u);
}

TEST(FormatColumnValue, BitColumnsShareBytes) {
    CDravoltBrevantProjApp app;
    const TableColumn bit = Column(2, "bit(1)");
    BitCursor cursor; // a new row
    const ByteVec first{0x05};
    const ByteVec second{0x01};
    std::vector<std::string> texts;
    std::vector<int> sizes;
    for (int i = 0; i < 9; ++i) {
        ValueDescriptor d = InitValueDescriptor(bit, cursor);
        EXPECT_EQ(d.m_nSize, i % 8 == 0 ? 1 : 0) << i;
        d.m_nLength = 1;
        d.m_nAvailable = 1;
        texts.push_back(FormatColumnValue(d, (i < 8 ? first : second).data(), bit, app));
        sizes.push_back(d.m_nSize);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"True", "False", "True", "False", "False", "False",
                                               "False", "False", "True"}));
    EXPECT_EQ(sizes, (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0, 1}));

    ValueDescriptor d = InitValueDescriptor(bit, cursor);
    d.m_nLength = 0;
    EXPECT_EQ(FormatColumnValue(d, first.data(), bit, app), "False");
    d.m_nLength = 2;
    EXPECT_EQ(FormatColumnValue(d, first.data(), bit, app), "");
    d.m_nLength = 1;
    d.m_pBitCursor = nullptr;
    EXPECT_EQ(FormatColumnValue(d, first.data(), bit, app), "");
}

TEST(FormatColumnValue, SingleByteTextFollowsCollationInListingMode) {
    CDravoltBrevantProjApp app;
    app.m_collations[1251001] = {"Cyrillic_General_CI_AS", 1251};
    app.m_collations[-1] = {"Minus", 1251};
    app.m_collations[0] = {"Zero", 1251};
    app.m_collations[777] = {"Broken", 4242};
    app.m_collations[932] = {"Japanese_CI_AS", 932};
    app.m_collations[65001] = {"Latin1_General_100_CI_AS_SC_UTF8", 65001};
    app.m_collations[1] = {"Unicode_Only", 0};
    auto varchar = [&](std::int32_t nId, const ByteVec& b) {
        TableColumn c = Column(17, "varchar(10)", 10, true);
        c.m_nCollationId = nId;
        return Format(c, b, app);
    };
    const std::string a = U8(u8"\u0430"), aGrave = U8(u8"\u00E0");

    EXPECT_EQ(varchar(1251001, {0xE0}), aGrave); // not listing: the default page
    app.m_bListingMode = true;
    EXPECT_EQ(varchar(1251001, {0xE0}), a);
    EXPECT_EQ(varchar(-1, {0xE0}), aGrave);
    EXPECT_EQ(varchar(0, {0xE0}), aGrave);
    EXPECT_EQ(varchar(555, {0xE0}), aGrave);                     // no entry: the default page
    EXPECT_EQ(varchar(777, {0xE0, 0x80}), U8(u8"\u00E0\u0080")); // no such page: widened
    EXPECT_EQ(varchar(1, {0xE0}), aGrave);                       // code page 0: the default page
    EXPECT_EQ(varchar(932, {0x82, 0xA0, 'x'}), U8(u8"\u3042x"));
    EXPECT_EQ(varchar(65001, {0xC3, 0xA9, 0}), U8(u8"\u00E9"));
    EXPECT_EQ(varchar(65001, {0xC3}), U8(u8"\uFFFD"));

    // The database's own collation takes its recorded code page.
    app.m_bCollationFound = true;
    app.m_nCollationId = 555;
    app.m_nCollationCodePage = 1251;
    EXPECT_EQ(varchar(555, {0xE0}), a);
    app.m_bListingMode = false;
    EXPECT_EQ(varchar(555, {0xE0}), aGrave);

    // The default page is a setting.
    app.m_nDefaultCodePage = 1251;
    EXPECT_EQ(varchar(0, {0xE0}), a);
}

TEST(FormatColumnValue, CharPaddedConversion) {
    CDravoltBrevantProjApp app;
    app.m_collations[53256] = {"Latin1_General_CI_AS", 1252};
    app.m_collations[1251001] = {"Cyrillic_General_CI_AS", 1251};
    app.m_collations[932] = {"Japanese_CI_AS", 932};
    app.m_bListingMode = true;
    auto chr = [&](std::int32_t nId, const ByteVec& b) {
        TableColumn c = Column(3, "char(6)", static_cast<std::int32_t>(b.size()));
        c.m_nCollationId = nId;
        return Format(c, b, app);
    };
    const ByteVec zeros{'a', 'b', 0, 'c', 0, 0};
    EXPECT_EQ(chr(53256, zeros), "ab"); // collation not found: plain code-page conversion
    app.m_bCollationFound = true;
    EXPECT_EQ(chr(53256, zeros), "ab_c__");
    EXPECT_EQ(chr(932, {0x82, 0xA0, 0, 0xE0}), U8(u8"\u3042_\u00E0"));
    EXPECT_EQ(chr(1251001, {0xE0, 0x20}), U8(u8"\u0430 "));
    EXPECT_EQ(chr(-1, zeros), "ab"); // no collation: default conversion
    app.m_bListingMode = false;
    EXPECT_EQ(chr(53256, zeros), "ab");
}

TEST(FormatVariantValue, BaseTypes) {
    CDravoltBrevantProjApp app;
    const TableColumn v = Column(20, "sql_variant(8016)", 8016, true);
    struct Case {
        ByteVec bytes;
        std::string text;
    } cases[] = {
        {{0x38, 0x01, 0x2A, 0, 0, 0}, "42"},
        {{0x6A, 0x01, 0x05, 0x02, 0x01, 0x39, 0x30, 0x00, 0x00}, "123.45"},
        {{0x6C, 0x01, 0x05, 0x02, 0x00, 0x39, 0x30, 0x00, 0x00}, "-123.45"},
        {{0x7F, 0x01, 0x2A, 0, 0, 0, 0, 0, 0, 0}, "42"},
        {{0x7F, 0x01, 0x2A, 0, 0}, ""}, // bad total length
        {{0x34, 0x01, 0xFF, 0xFF}, "-1"},
        {{0x30, 0x01, 0xFF}, "255"},
        {{0x68, 0x01, 0x02}, "True"},
        {{0x68, 0x01, 0x00}, "False"},
        {{0x3E, 0x01, 0, 0, 0, 0, 0, 0, 0xF0, 0x7F}, "inf"}, // no replacement here
        {{0x3B, 0x01, 0xAC, 0xC5, 0x27, 0x37}, "1e-005"},
        {{0x3C, 0x01, 0x39, 0x30, 0, 0, 0, 0, 0, 0}, "1.2345"},
        {{0x7A, 0x01, 0x39, 0x30, 0, 0}, "1.2345"},
        {{0x3D, 0x01, 0x2C, 0x01, 0, 0, 0, 0, 0, 0}, "1900-01-01 00:00:01"},
        {{0x3A, 0x01, 0x39, 0x03, 0x43, 0xAA}, "2019-05-04 13:45:00"},
        {{0x28, 0x01, 0, 0, 0}, "0001-01-01"},
        {{0x29, 0x01, 0x00, 0x66, 0xC1, 0x00}, "13:45:10"},
        {{0x2A, 0x01, 0x00, 0x66, 0xC1, 0x00, 0x9E, 0x3F, 0x0B}, "2019-05-04 13:45:10"},
        {{0x2B, 0x01, 0x00, 0x66, 0xC1, 0x00, 0x9E, 0x3F, 0x0B, 0x4A, 0x01},
         "2019-05-04 19:15:10 +5:30"},
        {{0x24, 0x01, 0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC,
          0xDD, 0xEE, 0xFF},
         "00112233-4455-6677-8899-AABBCCDDEEFF"},
        {{0xA5, 0x01, 0x08, 0x00, 'h', 'i', 0, 'x'}, "0x68690078"},
        {{0xAD, 0x01, 0x02, 0x00, 0x00, 0xFF}, "0x00FF"},
        {{0xAF, 0x01, 0x0A, 0x00, 0x08, 0xD0, 0x00, 0x00, 'a', 0xE0}, U8(u8"a\u00E0")},
        {{0xA7, 0x01, 0x0A, 0x00, 0x08, 0xD0, 0x00, 0x00, 0xE0, 0x80}, U8(u8"\u00E0\u0080")},
        {{0xE7, 0x01, 0x0A, 0x00, 0x08, 0xD0, 0x00, 0x00, 0x61, 0x00, 0x62, 0x00}, "ab"},
        {{0xEF, 0x01, 0x0A, 0x00, 0x08, 0xD0, 0x00, 0x00}, ""}, // no characters
        {{0xF0, 0x01, 0x58}, "0x58"},
        {{0x22, 0x01, 0xDF, 0xFF}, ""}, // base type 34
        {{0x38}, ""},
    };
    for (const Case& c : cases) {
        BitCursor cursor;
        ValueDescriptor d = InitValueDescriptor(v, cursor);
        d.m_nDeclaredLength = 99;
        EXPECT_EQ(FormatVariantValue(d, c.bytes.data(), static_cast<int>(c.bytes.size()), v, app),
                  c.text)
            << "base type " << int(c.bytes[0]) << ", " << c.bytes.size() << " bytes";
        EXPECT_EQ(d.m_nDeclaredLength, c.bytes[0] == 108 ? int(c.bytes.size()) - 4 : 0);
    }
}

TEST(FormatColumnValue, VariantCodeReadsTheTextPart) {
    CDravoltBrevantProjApp app;
    const TableColumn v = Column(20, "sql_variant(8016)", 8016, true);
    const ByteVec wide{0x61, 0, 0x62, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    const ByteVec narrow{'a', 'b', 'c', 'd', 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(Format(v, wide, app), "ab");
    EXPECT_EQ(Format(v, narrow, app), "abcd");
    EXPECT_EQ(Format(v, ByteVec(8, 'x'), app), "");
}

TEST(LooksLikeUtf16, CountsZeroBytes) {
    const ByteVec wide{0x61, 0, 0x62, 0, 0x63, 0};
    const ByteVec narrow{0x61, 0x62, 0x63, 0};
    const ByteVec odd{0x61, 0, 0x62};
    EXPECT_TRUE(LooksLikeUtf16(wide.data(), wide.size()));
    EXPECT_FALSE(LooksLikeUtf16(narrow.data(), narrow.size()));
    EXPECT_TRUE(LooksLikeUtf16(odd.data(), odd.size()));
    EXPECT_TRUE(LooksLikeUtf16(wide.data(), 0));
}
