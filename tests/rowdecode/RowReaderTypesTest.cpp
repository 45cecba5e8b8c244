// Rows of every column type read back from written tables: fixed and variable placement, bit
// packing, collations, NULLs, heaps and clustered tables in both catalog layouts.
#include <gtest/gtest.h>

#include "RowsFixture.h"

using namespace qw;

namespace {

using Texts = std::vector<std::string>;

struct TypeCase {
    ColumnSpec column;
    Cell cell;
    std::string text;
};

ColumnSpec Scaled(std::string strName, std::uint8_t nType, std::int16_t nLength,
                  std::uint8_t nPrecision, std::uint8_t nScale) {
    ColumnSpec c = Col(std::move(strName), nType, nLength);
    c.nPrecision = nPrecision;
    c.nScale = nScale;
    return c;
}

std::vector<TypeCase> EveryType() {
    return {
        {Col("Id", ST_INT, 4), Int(1), "1"},
        {Col("Big", ST_BIGINT, 8), BigInt(-5), "-5"},
        {Col("Small", ST_SMALLINT, 2), Val({0xFF, 0xFF}), "-1"},
        {Col("Tiny", ST_TINYINT, 1), Val({0xFF}), "255"},
        {Col("B1", ST_BIT, 1), Bit(true), "True"},
        {Scaled("Dec", ST_DECIMAL, 5, 5, 2), Val({1, 0x39, 0x30, 0, 0}), "123.45"},
        {Scaled("Num", ST_NUMERIC, 5, 5, 2), Val({0, 0x39, 0x30, 0, 0}), "-123.45"},
        {Col("B2", ST_BIT, 1), Bit(false), "False"},
        {Col("M", ST_MONEY, 8), Val({0x39, 0x30, 0, 0, 0, 0, 0, 0}), "1.2345"},
        {Col("Sm", ST_SMALLMONEY, 4), Val({0xFB, 0xFF, 0xFF, 0xFF}), "-0.0005"},
        {Col("F", ST_FLOAT, 8), Val({0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F}), "0.1"},
        {Col("R", ST_REAL, 4), Val({0x38, 0xB4, 0x96, 0x49}), "1.23457e+006"},
        {Col("Dt", ST_DATETIME, 8), Val({0x2C, 0x01, 0, 0, 0, 0, 0, 0}), "1900-01-01 00:00:01"},
        {Col("Sdt", ST_SMALLDATETIME, 4), Val({0x39, 0x03, 0x43, 0xAA}), "2019-05-04 13:45:00"},
        {Col("D", ST_DATE, 3), Val({0, 0, 0}), "0001-01-01"},
        {Scaled("T", ST_TIME, 3, 8, 0), Val({0x66, 0xC1, 0x00}), "13:45:10"},
        {Scaled("D2", ST_DATETIME2, 6, 19, 0), Val({0x66, 0xC1, 0x00, 0x9E, 0x3F, 0x0B}),
         "2019-05-04 13:45:10"},
        {Scaled("Dto", ST_DATETIMEOFFSET, 8, 26, 0),
         Val({0x66, 0xC1, 0x00, 0x9E, 0x3F, 0x0B, 0x4A, 0x01}), "2019-05-04 19:15:10 +5:30"},
        {Col("G", ST_UNIQUEIDENTIFIER, 16),
         Val({0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD,
              0xEE, 0xFF}),
         "00112233-4455-6677-8899-AABBCCDDEEFF"},
        {Col("C", ST_CHAR, 3, kLatin1), Text("xyz"), "xyz"},
        {Col("Nc", ST_NCHAR, 4, kLatin1), NText("ab"), "ab"},
        {Col("Bin", ST_BINARY, 2), Val({0x01, 0xAB}), "0x01AB"},
        {Col("Vc", ST_VARCHAR, 10, kLatin1), Text("abc"), "abc"},
        {Col("Cyr", ST_VARCHAR, 10, 53269), Val({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}),
         "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {Col("Nv", ST_NVARCHAR, 20, kLatin1), NText("ab"), "ab"},
        {Col("Vb", ST_VARBINARY, 10), Val({0x01, 0x02}), "0x0102"},
        {Col("Var", ST_SQL_VARIANT, 8016), Val({0x38, 0x01, 0x2A, 0, 0, 0}), "42"},
        {Col("X", ST_XML, -1),
         Val({0xDF, 0xFF, 0x01, 0xB0, 0x04, 0xF0, 0x01, 0x61, 0x00, 0xEF, 0x00, 0x00, 0x01, 0xF8,
              0x01, 0xF7}),
         "<a/>"},
    };
}

TableSpec TypesTable(std::int32_t nId, const std::string& strName) {
    const std::vector<TypeCase> cases = EveryType();
    TableSpec t = Table(nId, strName, {});
    TableRow full, nulls;
    for (const TypeCase& c : cases) {
        t.object.columns.push_back(c.column);
        full.cells.push_back(c.cell);
        nulls.cells.push_back(nulls.cells.empty() ? Int(2) : Null());
    }
    t.rows = {full, nulls};
    return t;
}

} // namespace

TEST(RowReaderTypes, EveryTypeInAHeapAndAClusteredTableBothLayouts) {
    for (const bool b2000 : {false, true}) {
        SCOPED_TRACE(b2000 ? "2000 layout" : "2005 layout");
        TableSpec heap = TypesTable(600, "Heap");
        TableSpec clustered = TypesTable(601, "Clustered");
        if (b2000) // no xml, date/time types or sql_variant changes there: keep the older types
            for (TableSpec* t : {&heap, &clustered}) {
                std::vector<ColumnSpec> cols;
                std::vector<Cell> full, nulls;
                for (std::size_t i = 0; i < t->object.columns.size(); ++i) {
                    const std::uint8_t s = t->object.columns[i].nSystemType;
                    if (s == ST_XML || (s >= ST_DATE && s <= ST_DATETIMEOFFSET)) continue;
                    cols.push_back(t->object.columns[i]);
                    full.push_back(t->rows[0].cells[i]);
                    nulls.push_back(t->rows[1].cells[i]);
                }
                t->object.columns = cols;
                t->rows[0].cells = full;
                t->rows[1].cells = nulls;
            }
        // The clustered key is a late column, so the row's physical order differs from the
        // column order.
        clustered.object.indexes = {Clustered({13, 1})};
        const WrittenDatabase w = WriteTables(b2000 ? Db2000() : DatabaseSpec{}, {heap, clustered});
        OpenedDb db(w.file, b2000);
        ASSERT_TRUE(db.bOpen);
        for (const char* name : {"Heap", "Clustered"}) {
            SCOPED_TRACE(name);
            // Column collations choose the code page in listing mode.
            const auto listing = db.Rows(name, true);
            ASSERT_EQ(listing.rows.size(), 2u);
            Texts full, nulls;
            for (const TypeCase& c : EveryType()) {
                const std::uint8_t s = c.column.nSystemType;
                if (b2000 && (s == ST_XML || (s >= ST_DATE && s <= ST_DATETIMEOFFSET))) continue;
                full.push_back(c.text);
                nulls.push_back(nulls.empty() ? "2" : "NULL");
            }
            EXPECT_EQ(listing.rows[0], full);
            EXPECT_EQ(listing.rows[1], nulls);
            EXPECT_EQ(listing.nInvalid, 0u);
        }
    }
}
