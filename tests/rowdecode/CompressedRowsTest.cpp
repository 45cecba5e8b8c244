// One table's rows written plainly, as row-compressed and as page-compressed pages: the row
// reader gives the same texts for all three.
#include <gtest/gtest.h>

#include <cstring>

#include "RowsFixture.h"

using namespace qw;

namespace {

Bytes Double(double d) {
    Bytes b(8);
    std::memcpy(b.data(), &d, 8);
    return b;
}
Bytes Decimal(bool bPositive, std::uint32_t nMagnitude) {
    return Cat({Bytes{static_cast<std::uint8_t>(bPositive)}, LE32(nMagnitude)});
}
Bytes Padded(std::string_view s, std::size_t n) {
    Bytes b = Ascii(s);
    b.resize(n, ' ');
    return b;
}

} // namespace

TEST(CompressedRows, PlainRowAndPageCompressionShowTheSameTexts) {
    std::vector<ColumnSpec> cols = {
        Col("i", ST_INT, 4),           Col("big", ST_BIGINT, 8),
        Col("s", ST_SMALLINT, 2),      Col("t", ST_TINYINT, 1),
        Col("b1", ST_BIT, 1),          Col("b2", ST_BIT, 1),
        Col("d", ST_DECIMAL, 5),       Col("m", ST_MONEY, 8),
        Col("f", ST_FLOAT, 8),         Col("dt", ST_DATETIME, 8),
        Col("day", ST_DATE, 3),        Col("g", ST_UNIQUEIDENTIFIER, 16),
        Col("c", ST_CHAR, 6, kLatin1), Col("v", ST_VARCHAR, 60, kLatin1),
        Col("n", ST_NVARCHAR, 80),     Col("bin", ST_VARBINARY, 20)};
    cols[6].nPrecision = 9;
    cols[6].nScale = 2;
    // Rows of stored values: zeros, negatives, maxima, NULLs, empty strings, long strings that
    // share prefixes and values that repeat (for the anchor and the dictionary).
    const std::string longText = "Shared Documents/Finance/Quarterly reports/";
    std::vector<std::vector<StoredValue>> rows;
    for (int k = 0; k < 12; ++k) {
        const bool bNulls = k == 3;
        auto v = [&](Bytes b) -> StoredValue {
            return bNulls ? std::nullopt : StoredValue(std::move(b));
        };
        rows.push_back({
            v(LE32(static_cast<std::uint32_t>(k == 1   ? -2147483647 - 1
                                              : k == 2 ? 2147483647
                                                       : k * 1000 - 5000))),
            v(LE64(static_cast<std::uint64_t>(k == 2 ? INT64_MAX
                                                     : static_cast<std::int64_t>(k) * -123456789))),
            v(LE16(static_cast<std::uint16_t>(k == 0 ? 0 : k * 200 - 1000))),
            v(Bytes{static_cast<std::uint8_t>(k == 2 ? 255 : k)}),
            v(Bytes{static_cast<std::uint8_t>(k % 2)}),
            v(Bytes{static_cast<std::uint8_t>(k % 3 == 0)}),
            v(Decimal(k % 2 == 0, static_cast<std::uint32_t>(k * 12345))),
            v(LE64(static_cast<std::uint64_t>(static_cast<std::int64_t>(k - 6) * 1234500))),
            v(Double(k == 0 ? 0.0 : (k - 5) * 3.25)),
            v(Cat({LE32(static_cast<std::uint32_t>(k * 300)),
                   LE32(static_cast<std::uint32_t>(40000 + k))})),
            v(Bytes{static_cast<std::uint8_t>(k), 0x0B, 0x0B}),
            v(Cat({LE32(0x11223344), LE32(static_cast<std::uint32_t>(k)), LE32(0), LE32(7)})),
            v(Padded(k % 4 ? "abc" : "", 6)),
            v(Ascii(k == 5 ? "" : longText + std::to_string(k % 3))),
            v(Utf16Text(k % 2 ? "Привет, мир" : "same text in every other row")),
            v(Bytes{0x01, 0x02, static_cast<std::uint8_t>(k)}),
        });
    }
    std::vector<TableRow> plain;
    for (const auto& r : rows) {
        TableRow t;
        for (const StoredValue& c : r) t.cells.push_back(c ? Val(*c) : Null());
        plain.push_back(std::move(t));
    }
    WrittenDatabase w = WriteTables({}, {Table(501, "T", cols, plain)});
    OpenedDb db(w.file);
    ASSERT_TRUE(db.bOpen);
    const OpenedDb::Listing expected = db.Rows("T", true);
    ASSERT_EQ(expected.rows.size(), rows.size());
    EXPECT_EQ(expected.rows[1][0], "-2147483648");
    EXPECT_EQ(expected.rows[6][6], "740.70");
    EXPECT_EQ(expected.rows[3][14], "NULL");
    EXPECT_EQ(expected.rows[1][14], "Привет, мир");

    // The same rows on compressed pages, read with the table's own decoder.
    db.c().ResolveObject("T", "U ", {});
    auto decoder = MakeRowDecoder(db.c());
    std::vector<CompressedColumnType> types;
    for (std::size_t i = 0; i < decoder->LayoutColumns().size(); ++i)
        types.push_back({decoder->LayoutColumns()[i].nTypeCode,
                         decoder->LayoutColumns()[i].nStorageSize, decoder->ColumnScale(i)});
    ASSERT_EQ(types.size(), cols.size());
    db.app.m_bListingMode = true;
    db.app.m_pCurrentRowDecoder = decoder.get();
    for (Compression mode : {Compression::Row, Compression::Page}) {
        CompressedPageBuilder pb(types, mode, w.tables[0].nPageObjectId, w.tables[0].dataPages[0]);
        for (const auto& r : rows) pb.AddRow(r);
        if (mode == Compression::Page) {
            EXPECT_GT(pb.Statistics().nPrefixed, 0);
            EXPECT_GT(pb.Statistics().nSymbols, 0);
        }
        const Page p = pb.Build();
        PageBytes bytes = MakePageBuffer();
        std::copy(p.begin(), p.end(), bytes.get());
        const CDataPage page(std::move(bytes), db.app, db.session.m_pReader.get());
        std::vector<std::vector<std::string>> got;
        for (const DecodedRow& row : decoder->ReadRows(page)) got.push_back(row.texts);
        ASSERT_EQ(got.size(), rows.size()) << (mode == Compression::Row ? "ROW" : "PAGE");
        for (std::size_t k = 0; k < rows.size(); ++k)
            EXPECT_EQ(got[k], expected.rows[k])
                << (mode == Compression::Row ? "ROW" : "PAGE") << " row " << k;
    }
    db.app.m_pCurrentRowDecoder = nullptr;
}
