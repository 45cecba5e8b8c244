// One table written three times, uncompressed and as ROW and PAGE compressed pages, with the
// same rows of every supported type: the completed values of the compressed rows must be the
// bytes the uncompressed rows store, column by column.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>

#include "appstate/CDravoltBrevantProjApp.h"
#include "pagestore/Compression.h"
#include "pagestore/RecordPage.h"
#include "pagestore/RowLayout.h"
#include "pagestore/TypeCodes.h"
#include "support/DbWriter.h"

using namespace qw;

namespace {

struct Column {
    CompressedColumnType type;
    bool bVariable = false;
};

const std::vector<Column> kColumns = {
    {{TYPE_INT, 4}},
    {{TYPE_BIGINT, 8}},
    {{TYPE_SMALLINT, 2}},
    {{TYPE_TINYINT, 1}},
    {{TYPE_BIT, 1}},
    {{TYPE_BIT, 1}},
    {{TYPE_DECIMAL, 5, 2}},
    {{TYPE_NUMERIC, 9, 4}},
    {{TYPE_MONEY, 8}},
    {{TYPE_SMALLMONEY, 4}},
    {{TYPE_FLOAT, 8}},
    {{TYPE_REAL, 4}},
    {{TYPE_DATETIME, 8}},
    {{TYPE_SMALLDATETIME, 4}},
    {{TYPE_DATE, 3}},
    {{TYPE_TIME, 5}},
    {{TYPE_DATETIME2, 8}},
    {{TYPE_DATETIMEOFFSET, 10}},
    {{TYPE_UNIQUEIDENTIFIER, 16}},
    {{TYPE_CHAR, 10}},
    {{TYPE_VARCHAR, 0}, true},
    {{TYPE_BINARY, 6}},
    {{TYPE_VARBINARY, 0}, true},
    {{TYPE_NCHAR, 16}},
    {{TYPE_NVARCHAR, 0}, true},
    // Past the first 30 columns: cluster bytes in the short and the long data.
    {{TYPE_VARCHAR, 0}, true},
    {{TYPE_INT, 4}},
    {{TYPE_NVARCHAR, 0}, true},
    {{TYPE_DECIMAL, 17, 10}},
    {{TYPE_BIGINT, 8}},
    {{TYPE_VARCHAR, 0}, true},
    {{TYPE_CHAR, 4}},
    {{TYPE_VARBINARY, 0}, true},
};

Bytes Le(unsigned __int128 v, std::size_t n) {
    Bytes b(n);
    for (std::size_t k = 0; k < n; ++k) b[k] = static_cast<std::uint8_t>(v >> (8 * k));
    return b;
}
Bytes I(std::int64_t v, std::size_t n) {
    return Le(static_cast<unsigned __int128>(static_cast<__int128>(v)), n);
}
Bytes Dec(bool bPositive, unsigned __int128 m, std::size_t nSize) {
    return Cat({Bytes{static_cast<std::uint8_t>(bPositive ? 1 : 0)}, Le(m, nSize - 1)});
}
Bytes F64(double d) {
    Bytes b(8);
    std::memcpy(b.data(), &d, 8);
    return b;
}
Bytes F32(float f) {
    Bytes b(4);
    std::memcpy(b.data(), &f, 4);
    return b;
}
Bytes DateTime(std::int32_t nDays, std::uint32_t nTicks) {
    return Cat({LE32(nTicks), LE32(static_cast<std::uint32_t>(nDays))});
}
Bytes SmallDateTime(std::uint16_t nDays, std::uint16_t nMinutes) {
    return Cat({LE16(nMinutes), LE16(nDays)});
}
Bytes Dt2(std::uint64_t nTicks, std::uint32_t nDays) {
    return Cat({Le(nTicks, 5), Le(nDays, 3)});
}
Bytes Dto(std::uint64_t nTicks, std::uint32_t nDays, std::int16_t nOffset) {
    return Cat({Dt2(nTicks, nDays), LE16(static_cast<std::uint16_t>(nOffset))});
}
Bytes Padded(Bytes b, std::size_t n, std::uint8_t fill) {
    b.resize(n, fill);
    return b;
}
Bytes U16(std::u16string_view s) {
    Bytes b;
    for (char16_t u : s) {
        b.push_back(static_cast<std::uint8_t>(u & 0xFF));
        b.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return b;
}
Bytes NChar(std::u16string_view s, std::size_t n) {
    Bytes b = U16(s);
    while (b.size() < n) b.insert(b.end(), {0x20, 0x00});
    return b;
}
unsigned __int128 Pow10(int n) {
    unsigned __int128 v = 1;
    while (n-- > 0) v *= 10;
    return v;
}
Bytes Pattern(std::size_t n, std::uint8_t nSeed) {
    Bytes b(n);
    for (std::size_t k = 0; k < n; ++k) b[k] = static_cast<std::uint8_t>(nSeed + 7 * k);
    return b;
}

std::vector<StoredValue> Zeros() {
    return {I(0, 4),          I(0, 8),
            I(0, 2),          Bytes{0},
            Bytes{0},         Bytes{0},
            Dec(true, 0, 5),  Dec(true, 0, 9),
            I(0, 8),          I(0, 4),
            F64(0),           F32(0),
            DateTime(0, 0),   SmallDateTime(0, 0),
            Le(0, 3),         Le(0, 5),
            Dt2(0, 0),        Dto(0, 0, 0),
            Bytes(16, 0),     Bytes(10, 0x20),
            Bytes{},          Bytes(6, 0),
            Bytes{},          NChar(u"", 16),
            Bytes{},          Bytes{},
            I(0, 4),          Bytes{},
            Dec(true, 0, 17), I(0, 8),
            Bytes{},          Bytes(4, 0x20),
            Bytes{}};
}

std::vector<StoredValue> Negatives() {
    return {I(-1, 4),
            I(-5000000000LL, 8),
            I(-32768, 2),
            Bytes{1},
            Bytes{1},
            Bytes{0},
            Dec(false, 12345, 5),
            Dec(false, 15000, 9),
            I(-123456, 8),
            I(-10000, 4),
            F64(-2.5),
            F32(-0.75f),
            DateTime(-1, 300),
            SmallDateTime(1, 1),
            Le(1, 3),
            Le(1, 5),
            Dt2(1, 1),
            Dto(1, 1, -300),
            Pattern(16, 1),
            Padded(Ascii("ab"), 10, 0x20),
            Ascii("x"),
            Padded({1, 2}, 6, 0),
            Bytes{0},
            NChar(u"\u00e9", 16),
            U16(u"Привет"),
            Ascii("neg"),
            I(INT_MIN, 4),
            U16(u"日本語"),
            Dec(false, Pow10(37) + 1, 17),
            I(INT64_MIN, 8),
            Ascii("z"),
            Padded(Ascii("a"), 4, 0x20),
            Bytes{0xFF}};
}

std::vector<StoredValue> Maxima() {
    return {I(INT_MAX, 4),
            I(INT64_MAX, 8),
            I(32767, 2),
            Bytes{255},
            Bytes{1},
            Bytes{1},
            Dec(true, 999999999, 5),
            Dec(true, Pow10(19) - 1, 9),
            I(INT64_MAX, 8),
            I(INT_MAX, 4),
            F64(DBL_MAX),
            F32(FLT_MAX),
            DateTime(2958463, 25919999),
            SmallDateTime(65535, 1439),
            Le(3652058, 3),
            Le(863999999999ULL, 5),
            Dt2(863999999999ULL, 3652058),
            Dto(863999999999ULL, 3652058, 840),
            Bytes(16, 0xFF),
            Bytes(10, 'z'),
            Bytes(100, 'm'),
            Bytes(6, 0xFF),
            Pattern(300, 3),
            NChar(u"ΩΩΩΩΩΩΩΩ", 16),
            U16(u"Съешь же ещё этих мягких французских булок"),
            Bytes(200, 'q'),
            I(INT_MAX, 4),
            U16(u"Ab Привет мир"),
            Dec(true, Pow10(38) - 1, 17),
            I(INT64_MAX, 8),
            Bytes(150, 'L'),
            Ascii("wxyz"),
            Pattern(100, 9)};
}

// Rows that share prefixes and repeat values, for the anchor values and the dictionary.
std::vector<StoredValue> Similar(int k, bool bSameTail) {
    const auto n = static_cast<std::uint8_t>(k);
    const std::string tail = bSameTail ? "0" : std::to_string(k);
    return {I(1000000 + k, 4),
            I(7000000000LL + k, 8),
            I(1000 + k, 2),
            Bytes{7},
            Bytes{static_cast<std::uint8_t>(k % 2)},
            Bytes{1},
            Dec(true, 10000001 + static_cast<unsigned>(k), 5),
            Dec(true, 123456789, 9),
            I(50000000000LL + k, 8),
            I(2000000 + k, 4),
            F64(1.0 + k / 8.0),
            F32(3.0f),
            DateTime(44000 + k, 1000),
            SmallDateTime(44000, static_cast<std::uint16_t>(k)),
            Le(738000u + n, 3),
            Le(600000000ULL + n, 5),
            Dt2(600000000ULL, 738000),
            Dto(600000000ULL + n, 738000, 60),
            Pattern(16, 0x40),
            Padded(Ascii("Repeat"), 10, 0x20),
            Ascii("Customer number 000123 from the northern region " + tail),
            Bytes{9, 9, 9, n, 0, 0},
            Pattern(20, 0x11),
            NChar(u"Repeat", 16),
            bSameTail ? U16(u"Repeated value Привет") : U16(u"Repeated value Пока"),
            Ascii("Prefix shared string AAAA" + tail),
            I(k, 4),
            U16(u"same"),
            Dec(true, 12345678901234ULL, 17),
            I(k, 8),
            Ascii("Long value repeated across rows, longer than eight"),
            Ascii("ab  "),
            Pattern(12, 0x22)};
}

std::vector<std::vector<StoredValue>> TableRows() {
    std::vector<std::vector<StoredValue>> rows = {
        Zeros(), std::vector<StoredValue>(kColumns.size()), Negatives(), Maxima()};
    for (int k = 1; k <= 3; ++k) rows.push_back(Similar(k, k != 3));
    rows.push_back(Similar(1, true));
    return rows;
}

// The uncompressed row: fixed columns in the fixed part (the two bit columns share a byte),
// variable columns in the variable part, NULLs in the bitmap.
Bytes UncompressedRow(const std::vector<StoredValue>& row) {
    RowBuilder b;
    b.Columns(static_cast<int>(kColumns.size()));
    std::uint8_t nBits = 0;
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        const Column& c = kColumns[i];
        if (!row[i]) b.Null(static_cast<int>(i));
        if (c.type.nTypeCode == TYPE_BIT) {
            if (row[i] && (*row[i])[0]) nBits |= static_cast<std::uint8_t>(1 << (i - 4));
            if (i == 5) b.Fixed({nBits});
        } else if (c.bVariable) {
            b.Var(row[i].value_or(Bytes{}));
        } else {
            b.Fixed(row[i].value_or(Bytes(static_cast<std::size_t>(c.type.nStorageSize), 0)));
        }
    }
    return b.Build();
}

// A column of the uncompressed record as the row reader would take it: NULL, or its bytes.
std::vector<std::optional<Bytes>> StoredColumns(const CPrimaryRecord& r) {
    std::vector<std::optional<Bytes>> out;
    std::size_t nOffset = 0, nVar = 0;
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        const Column& c = kColumns[i];
        std::optional<Bytes> v;
        if (c.type.nTypeCode == TYPE_BIT) {
            v = Bytes{static_cast<std::uint8_t>((r.m_fixedData.at(nOffset) >> (i - 4)) & 1)};
            if (i == 5) ++nOffset;
        } else if (c.bVariable) {
            const VarValue& value = r.m_varValues.at(nVar++);
            v = Bytes(value.Value().begin(), value.Value().end());
        } else {
            const auto n = static_cast<std::size_t>(c.type.nStorageSize);
            v = Bytes(r.m_fixedData.begin() + static_cast<std::ptrdiff_t>(nOffset),
                      r.m_fixedData.begin() + static_cast<std::ptrdiff_t>(nOffset + n));
            nOffset += n;
        }
        out.push_back(r.IsNull(static_cast<int>(i)) ? std::nullopt : v);
    }
    return out;
}

struct TableLayout : IRowLayout, IRowLayoutScales {
    std::vector<RowLayoutColumn> columns;
    TableLayout() {
        for (const Column& c : kColumns)
            columns.push_back({c.type.nTypeCode, c.bVariable ? 0 : c.type.nStorageSize});
    }
    const std::vector<RowLayoutColumn>& LayoutColumns() const override { return columns; }
    std::int32_t ColumnScale(std::size_t i) const override { return kColumns.at(i).type.nScale; }
};

} // namespace

TEST(CompressedTable, RowAndPageCompressionGiveTheUncompressedBytes) {
    const auto rows = TableRows();
    std::vector<CompressedColumnType> types;
    for (const Column& c : kColumns) types.push_back(c.type);

    PageBuilder plain(PT_DATA, 500, {20, 1});
    for (const auto& row : rows) plain.AddRow(UncompressedRow(row));
    CompressedPageBuilder rowPage(types, Compression::Row);
    CompressedPageBuilder pagePage(types, Compression::Page);
    for (const auto& row : rows) {
        rowPage.AddRow(row);
        pagePage.AddRow(row);
    }
    // Page compression really used its anchor values, prefixes and dictionary here.
    const auto stats = pagePage.Statistics();
    EXPECT_GT(stats.nAnchors, 10);
    EXPECT_GT(stats.nPrefixed, 20);
    EXPECT_GT(stats.nSymbols, 5);
    EXPECT_GT(stats.nSameAsAnchor, 5);

    const TableLayout layout;
    CDravoltBrevantProjApp app;
    app.m_pCurrentRowDecoder = &layout;
    const PrimaryRecordPage expected(ToPageBytes(plain.Build()), app, nullptr);
    const PrimaryRecordPage rowCompressed(ToPageBytes(rowPage.Build()), app, nullptr);
    const PrimaryRecordPage pageCompressed(ToPageBytes(pagePage.Build()), app, nullptr);
    EXPECT_FALSE(rowCompressed.Compression().bPresent);
    EXPECT_TRUE(pageCompressed.Compression().bPresent);
    ASSERT_EQ(expected.RecordCount(), rows.size());

    for (const PrimaryRecordPage* page : {&rowCompressed, &pageCompressed}) {
        const char* name = page == &rowCompressed ? "ROW" : "PAGE";
        ASSERT_EQ(page->RecordCount(), rows.size()) << name;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const auto stored = StoredColumns(*expected.Record(r));
            const CPrimaryRecord& c = *page->Record(r);
            ASSERT_FALSE(c.m_bInvalid) << name << " row " << r;
            ASSERT_TRUE(c.m_bCompleted) << name << " row " << r;
            ASSERT_EQ(c.m_completed.size(), kColumns.size()) << name << " row " << r;
            for (std::size_t i = 0; i < kColumns.size(); ++i) {
                const auto& col = c.m_completed[i];
                EXPECT_EQ(col.bNull, !stored[i].has_value())
                    << name << " row " << r << " column " << i;
                if (stored[i] && !col.bNull) {
                    EXPECT_EQ(col.bytes, *stored[i]) << name << " row " << r << " column " << i;
                }
            }
        }
    }
}
