#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>

#include "appstate/CDravoltBrevantProjApp.h"
#include "pagestore/Bytes.h"
#include "pagestore/CMdfReader.h"
#include "pagestore/Compression.h"
#include "pagestore/RecordPage.h"
#include "pagestore/RowLayout.h"
#include "pagestore/TypeCodes.h"
#include "support/DbWriter.h"
#include "support/RecordingNotify.h"
#include "support/TestFiles.h"

using namespace qw;

namespace {

Bytes ValueOf(const VarValue& v) {
    return Bytes(v.Value().begin(), v.Value().end());
}

// The column types of a table being listed, as the row reader publishes them.
struct Layout : IRowLayout, IRowLayoutScales {
    std::vector<RowLayoutColumn> columns;
    std::vector<std::int32_t> scales;
    Layout() = default;
    explicit Layout(const std::vector<CompressedColumnType>& types) {
        for (const CompressedColumnType& t : types) {
            columns.push_back({t.nTypeCode, t.nStorageSize});
            scales.push_back(t.nScale);
        }
    }
    const std::vector<RowLayoutColumn>& LayoutColumns() const override { return columns; }
    std::int32_t ColumnScale(std::size_t i) const override {
        return i < scales.size() ? scales[i] : 0;
    }
};

// A page decoded with an optional published layout.
struct Decoded {
    CDravoltBrevantProjApp app;
    std::unique_ptr<PrimaryRecordPage> page;
    Decoded(const Page& p, const IRowLayout* pLayout, bool bSql2000 = false) {
        app.m_pCurrentRowDecoder = pLayout;
        app.m_bIsSql2000 = bSql2000;
        page = std::make_unique<PrimaryRecordPage>(ToPageBytes(p), app, nullptr);
    }
    const CPrimaryRecord& operator[](std::size_t i) const { return *page->Record(i); }
};

Page PageOf(const std::vector<Bytes>& rows, std::optional<Bytes> ci = std::nullopt) {
    PageBuilder pb(PT_DATA, 500, {20, 1});
    if (ci) {
        pb.Header().nTypeFlagBits = 0x80;
        pb.AddUnslotted(*ci);
    }
    for (const Bytes& r : rows) pb.AddRow(r);
    return pb.Build();
}

Layout VarbinaryLayout(int n) {
    Layout l;
    l.columns.assign(static_cast<std::size_t>(n), {TYPE_VARBINARY, 0});
    return l;
}

} // namespace

TEST(CompressedRow, HeaderDescriptorsShortAndLongData) {
    const Bytes longA(12, 0xAA), longB = Ascii("ninebytes");
    const Bytes row = CdRow({{5, {1, 2, 3, 4}},
                             {CD_NULL, {}},
                             {CD_LONG, longA},
                             {CD_EMPTY, {}},
                             {2, {9}},
                             {CD_LONG, longB, true}});
    Decoded d(PageOf({row}), nullptr);
    const CPrimaryRecord& r = d[0];
    ASSERT_FALSE(r.m_bInvalid);
    EXPECT_TRUE(r.m_bCompressed);
    EXPECT_EQ(r.m_nColumnCount, 6);
    EXPECT_EQ(r.m_columnDescriptors, (std::vector<std::uint8_t>{5, 0, 10, 1, 2, 10}));
    EXPECT_EQ(r.m_fixedData, (Bytes{1, 2, 3, 4, 9}));
    ASSERT_EQ(r.m_varValues.size(), 2u);
    EXPECT_EQ(ValueOf(r.m_varValues[0]), longA);
    EXPECT_EQ(ValueOf(r.m_varValues[1]), longB);
    EXPECT_TRUE(r.m_varValues[1].bComplex);
    ASSERT_EQ(r.m_longEntries.size(), 2u);
    EXPECT_EQ(r.m_longEntries[1].nEnd, 21);
    EXPECT_EQ(r.m_recordBytes, row);
    EXPECT_FALSE(r.m_bCompleted); // nothing published the table's column types
}

// Past 30 columns a cluster byte (and, with long values, a long data cluster byte) follows;
// reading it as data would shift every value after it.
TEST(CompressedRow, ClusterBytesFromThirtyOneColumns) {
    for (int n : {30, 31, 61, 200}) {
        std::vector<CdColumn> cols;
        for (int i = 0; i < n; ++i) cols.push_back({2, {static_cast<std::uint8_t>(i)}});
        cols.back() = {CD_LONG, Bytes(10, 0x5A)};
        const Bytes row = CdRow(cols);
        const std::size_t nCountBytes = n < 128 ? 1 : 2;
        const std::size_t nClusters = static_cast<std::size_t>((n - 1) / 30);
        const std::size_t nShortAt = 1 + nCountBytes + static_cast<std::size_t>(n + 1) / 2;
        EXPECT_EQ(row.size(),
                  nShortAt + 2 * nClusters + static_cast<std::size_t>(n - 1) + 1 + 2 + 2 + 10)
            << n;
        if (nClusters > 0) {
            EXPECT_EQ(row[nShortAt], 30) << n; // short bytes of columns 0..29
        }
        if (n == 200) {
            EXPECT_EQ(row[1], 0x80); // two-byte count, high byte first after the marker bit
            EXPECT_EQ(row[2], 200);
        }
        const Layout layout = VarbinaryLayout(n);
        Decoded d(PageOf({row}), &layout);
        const CPrimaryRecord& r = d[0];
        ASSERT_FALSE(r.m_bInvalid) << n;
        EXPECT_EQ(r.m_nColumnCount, n);
        ASSERT_EQ(r.m_fixedData.size(), static_cast<std::size_t>(n - 1)) << n;
        for (int i = 0; i < n - 1; ++i) EXPECT_EQ(r.m_fixedData[static_cast<std::size_t>(i)], i);
        ASSERT_EQ(r.m_varValues.size(), 1u);
        EXPECT_EQ(ValueOf(r.m_varValues[0]), Bytes(10, 0x5A)) << n;
        ASSERT_TRUE(r.m_bCompleted);
        EXPECT_EQ(r.m_completed[static_cast<std::size_t>(n - 2)].bytes,
                  Bytes{static_cast<std::uint8_t>(n - 2)});
        EXPECT_EQ(r.m_completed.back().bytes, Bytes(10, 0x5A));
    }
}

TEST(CompressedRow, BadHeadersAndDescriptorsClaimingMoreThanTheRow) {
    const Layout layout = VarbinaryLayout(4);
    // Column count 0, and 1025 in the two-byte form: invalid rows.
    Decoded bad(PageOf({Bytes{0x01, 0x00, 0x00}, Bytes{0x01, 0x84, 0x01, 0x22}}), &layout);
    EXPECT_TRUE(bad[0].m_bInvalid);
    EXPECT_TRUE(bad[1].m_bInvalid);

    // Descriptors claim 8 + 8 bytes of short data, more than the page holds after the row: no
    // short data, the columns show empty (not NULL).
    const Bytes shortClaim = {0x01, 0x02, 0x99};
    // A long data region whose entry ends far beyond the row.
    Bytes longClaim = CdRow({{CD_LONG, Bytes(10, 7)}});
    le::Put16(longClaim.data() + 6, 0x7000);
    // The rows with too many descriptors lie at the end of the page.
    PageBuilder pb(PT_DATA, 500, {20, 1});
    pb.AddRow(longClaim);
    pb.Put(kPageSize - 16, shortClaim);
    pb.SetSlot(1, static_cast<std::uint16_t>(kPageSize - 16));
    pb.Put(kPageSize - 12, Bytes{0x01, 0x7F, 0x55, 0x55});
    pb.SetSlot(2, static_cast<std::uint16_t>(kPageSize - 12));
    Decoded d(pb.Build(), &layout);
    const CPrimaryRecord& s = d[1];
    EXPECT_FALSE(s.m_bInvalid);
    EXPECT_FALSE(s.HasFixedData());
    ASSERT_EQ(s.m_completed.size(), 2u);
    for (const auto& c : s.m_completed) {
        EXPECT_FALSE(c.bNull);
        EXPECT_TRUE(c.bytes.empty());
    }
    const CPrimaryRecord& l = d[0];
    ASSERT_EQ(l.m_varValues.size(), 1u);
    EXPECT_FALSE(l.m_varValues[0].HasBytes());
    ASSERT_EQ(l.m_completed.size(), 1u);
    EXPECT_TRUE(l.m_completed[0].bytes.empty());
    // 127 columns but 12 bytes left: the descriptors that would lie outside the page are not read.
    const CPrimaryRecord& t = d[2];
    EXPECT_EQ(t.m_columnDescriptors.size(), 20u);
    EXPECT_FALSE(t.HasFixedData());
}

TEST(CompressedPage, WithoutTypeFlagBit7NoCompressionStep) {
    // The same bytes after the header, once with bit 7 and once without.
    const Bytes anchor = CdRow({{CD_LONG, Ascii("abcdefghij")}});
    const Bytes ci = CompressionInfoRecord(anchor, {Ascii("dictionary")});
    const Bytes row = CdRow({{CD_LONG, Bytes{3, 'X', 'Y'}}});
    const Layout layout = VarbinaryLayout(1);
    Page page = PageOf({row}, ci);
    Decoded with(page, &layout);
    EXPECT_TRUE(with.page->Compression().bPresent);
    EXPECT_EQ(with[0].m_completed[0].bytes, Ascii("abcXY"));

    page[2] = 0; // type flag bits
    Decoded without(page, &layout);
    EXPECT_FALSE(without.page->Compression().bPresent);
    EXPECT_TRUE(without.page->Compression().anchorValues.empty());
    EXPECT_EQ(without[0].m_completed[0].bytes, (Bytes{3, 'X', 'Y'}));

    // An uncompressed page keeps its rows exactly as before.
    const Bytes plain = RowBuilder().Fixed(LE32(7)).Var(Ascii("abc")).Build();
    Decoded p(PageOf({plain}), &layout);
    EXPECT_FALSE(p[0].m_bCompressed);
    EXPECT_FALSE(p[0].m_bCompleted);
    EXPECT_EQ(p[0].m_recordBytes, plain);
}

// Prefix bytes: three bytes of a six-byte anchor value and two stored bytes give five bytes.
// The anchor row is read from offset 103 with a dictionary and from 101 without one.
TEST(CompressedPage, PrefixAgainstTheAnchorValue) {
    const Bytes anchorValue = {'A', 'B', 'C', 'D', 'E', 'F'};
    const Bytes anchor = CdRow({{CD_NULL, {}}, {7, anchorValue}});
    const Layout layout = VarbinaryLayout(2);
    const std::vector<Bytes> rows = {
        CdRow({{CD_LONG, Bytes{3, 'x', 'y'}}, {CD_LONG, Bytes{3, 'x', 'y'}}}),
        CdRow({{CD_EMPTY, {}}, {CD_EMPTY, {}}}),          // the anchor value itself
        CdRow({{CD_NULL, {}}, {CD_LONG, Bytes{7, 'z'}}}), // more than the anchor holds
        CdRow({{CD_NULL, {}}, {CD_LONG, Bytes{0}}}),      // nothing taken, nothing stored
    };
    for (bool bDictionary : {false, true}) {
        const Bytes ci = CompressionInfoRecord(anchor, bDictionary ? std::vector<Bytes>{Ascii("zz")}
                                                                   : std::vector<Bytes>{});
        EXPECT_EQ(ci.size(), (bDictionary ? 7u + 4u + 2u : 5u) + anchor.size());
        Decoded d(PageOf(rows, ci), &layout);
        const CompressionInfo& info = d.page->Compression();
        ASSERT_EQ(info.anchorValues.size(), 2u) << bDictionary;
        EXPECT_EQ(info.anchorValues[0].nLength, -2);
        EXPECT_EQ(info.anchorValues[1].bytes, anchorValue);
        EXPECT_EQ(info.dictionary.size(), bDictionary ? 1u : 0u);
        // Column 0 has no anchor value: the long value is used as stored.
        EXPECT_EQ(d[0].m_completed[0].bytes, (Bytes{3, 'x', 'y'}));
        EXPECT_EQ(d[0].m_completed[1].bytes, (Bytes{'A', 'B', 'C', 'x', 'y'}));
        EXPECT_TRUE(d[1].m_completed[0].bytes.empty());
        EXPECT_EQ(d[1].m_completed[1].bytes, anchorValue);
        EXPECT_TRUE(d[2].m_completed[1].bytes.empty());
        EXPECT_FALSE(d[2].m_completed[1].bNull);
        EXPECT_TRUE(d[3].m_completed[1].bytes.empty());
    }
}

TEST(CompressedPage, DictionarySymbols) {
    const Bytes anchor = CdRow({{CD_NULL, {}}, {5, {'p', 'q', 'r', 's'}}});
    const std::vector<Bytes> dict = {Ascii("first"), Bytes{2, 'Z'},
                                     Ascii("a long dictionary entry")};
    const Layout layout = VarbinaryLayout(2);
    const Bytes row = CdRow({{CD_SYMBOL, {0}}, {CD_SYMBOL, {1}}});
    const Bytes row2 = CdRow({{CD_SYMBOL, {2}}, {CD_SYMBOL, {3}}}); // 3: no such entry
    Decoded d(PageOf({row, row2}, CompressionInfoRecord(anchor, dict)), &layout);
    EXPECT_EQ(d[0].m_completed[0].bytes, Ascii("first"));
    // In a column with an anchor value, entries hold the prefix form.
    EXPECT_EQ(d[0].m_completed[1].bytes, Ascii("pqZ"));
    EXPECT_EQ(d[1].m_completed[0].bytes, Ascii("a long dictionary entry"));
    EXPECT_TRUE(d[1].m_completed[1].bytes.empty());
    EXPECT_FALSE(d[1].m_completed[1].bNull);
}

TEST(CompressedPage, LegacyCatalogAndUnpublishedLayoutLeaveRowsUncompleted) {
    const Bytes anchor = CdRow({{7, Ascii("ABCDEF")}});
    const Page page =
        PageOf({CdRow({{CD_LONG, Bytes{3, 'x', 'y'}}})}, CompressionInfoRecord(anchor, {}));
    const Layout layout = VarbinaryLayout(1);
    Decoded legacy(page, &layout, true);
    EXPECT_FALSE(legacy.page->Compression().bPresent);
    EXPECT_FALSE(legacy[0].m_bCompleted);
    EXPECT_TRUE(legacy[0].m_completed.empty());
    EXPECT_EQ(ValueOf(legacy[0].m_varValues[0]), (Bytes{3, 'x', 'y'}));

    Decoded unpublished(page, nullptr);
    EXPECT_TRUE(unpublished.page->Compression().bPresent);
    EXPECT_FALSE(unpublished[0].m_bCompleted);
    EXPECT_TRUE(unpublished[0].m_completed.empty());

    // The single-slot decode (for forwarding stubs) completes nothing either.
    CDravoltBrevantProjApp app;
    app.m_pCurrentRowDecoder = &layout;
    PrimaryRecordPage single(ToPageBytes(page), app, nullptr, 0, false);
    EXPECT_FALSE(single.Record(0)->m_bCompleted);
}

// Damaged compression records: offsets, sizes and counts out of range never lead outside the
// page; whatever fails its bounds is left out.
TEST(CompressedPage, DamagedCompressionRecords) {
    const Bytes anchor = CdRow({{CD_NULL, {}}, {7, Ascii("ABCDEF")}});
    const Bytes good = CompressionInfoRecord(anchor, {Ascii("one"), Ascii("two")});
    const std::size_t nDictAt = 7 + anchor.size();
    struct Case {
        const char* name;
        std::size_t nAt;
        Bytes bytes;
        bool bPresent, bAnchor;
        std::size_t nEntries;
    };
    const Case cases[] = {
        {"intact", 0, {}, true, true, 2},
        {"record size 0", 5, LE16(0), false, false, 0},
        {"dictionary offset 0", 3, LE16(0), true, true, 0},
        {"dictionary offset past the record", 3, LE16(0x0900), true, true, 0},
        {"record size 4096", 5, LE16(4096), true, true, 0},
        {"record size 0xFFFF", 5, LE16(0xFFFF), true, true, 0},
        {"entry count 0xFFFF", nDictAt, LE16(0xFFFF), true, true, 2},
        {"end offset above 4096", nDictAt + 2, LE16(5000), true, true, 0},
        {"second entry ends before the first", nDictAt + 4, LE16(3), true, true, 2},
        {"second entry ends past the record", nDictAt + 4, LE16(200), true, true, 2},
        {"anchor with column count 0", 8, Bytes{0}, true, false, 0},
        {"anchor not in the compressed format", 7, Bytes{0x10}, true, false, 0},
        {"anchor descriptor claims a long value", 9, Bytes{0xAA}, true, true, 2},
    };
    const Layout layout = VarbinaryLayout(2);
    const Bytes row = CdRow({{CD_SYMBOL, {1}}, {CD_EMPTY, {}}});
    for (const Case& c : cases) {
        Bytes ci = good;
        std::copy(c.bytes.begin(), c.bytes.end(), ci.begin() + static_cast<std::ptrdiff_t>(c.nAt));
        Decoded d(PageOf({row}, ci), &layout);
        const CompressionInfo& info = d.page->Compression();
        EXPECT_EQ(info.bPresent, c.bPresent) << c.name;
        EXPECT_EQ(info.anchorValues.size() == 2, c.bAnchor) << c.name;
        EXPECT_EQ(info.dictionary.size(), c.nEntries) << c.name;
        const auto& completed = d[0].m_completed;
        ASSERT_EQ(completed.size(), 2u) << c.name;
        // Symbol 1 is "two" while entry 1 passed its bounds, and empty otherwise.
        const bool bEntry1 = info.dictionary.size() > 1 && info.dictionary[1].bValid;
        EXPECT_EQ(completed[0].bytes, bEntry1 ? Ascii("two") : Bytes{}) << c.name;
        EXPECT_EQ(completed[1].bytes, c.bAnchor && c.nAt != 9 ? Ascii("ABCDEF") : Bytes{})
            << c.name;
    }
    // The record at the very end of the page: an anchor row claiming the rest of the page.
    PageBuilder pb(PT_DATA, 500, {20, 1});
    pb.Header().nTypeFlagBits = 0x80;
    Bytes huge = {CI_HAS_ANCHOR, 0, 0, 0xFF, 0xFF, 0x01, 0x7F};
    huge.resize(kPageSize - kPageHeaderSize - 16, 0x99);
    pb.AddUnslotted(huge);
    pb.AddRow(Bytes{0x01, 0x01, 0x00});
    Decoded d(pb.Build(), &layout);
    EXPECT_TRUE(d.page->Compression().bPresent);
    ASSERT_EQ(d.page->Compression().anchorValues.size(), 127u);
    EXPECT_EQ(d.page->Compression().anchorValues[0].bytes, Bytes(8, 0x99));
}

// Short values and the compressed forms of every type, rebuilt into the bytes an uncompressed
// row stores.
TEST(RebuildStoredValue, PerType) {
    struct Case {
        std::int32_t nType, nSize, nScale;
        Bytes compressed;
        std::optional<Bytes> stored; // nullopt: not rebuilt
        bool bBitOne = false;
    };
    const Bytes utf16Hello = Utf16("Hello");
    const Case cases[] = {
        // Integers: big-endian, top bit flipped, sign-extended to the full width.
        {TYPE_SMALLINT, 2, 0, {0x7E}, LE16(0xFFFE)},
        {TYPE_SMALLINT, 2, 0, {0x81}, LE16(1)},
        {TYPE_SMALLINT, 2, 0, {0x80, 0xC8}, LE16(200)},
        {TYPE_SMALLINT, 2, 0, {}, LE16(0)},
        {TYPE_SMALLINT, 2, 0, {1, 2, 3}, std::nullopt},
        {TYPE_INT, 4, 0, {0xFF, 0xFF, 0xFF, 0xFF}, LE32(INT_MAX)},
        {TYPE_INT, 4, 0, {0x00, 0x00, 0x00, 0x00}, LE32(0x80000000u)},
        {TYPE_INT, 4, 0, {0x7F, 0xFF}, LE32(0xFFFFFFFFu)}, // not the fewest bytes: still -1
        {TYPE_BIGINT, 8, 0, Bytes(8, 0xFF), LE64(0x7FFFFFFFFFFFFFFFull)},
        {TYPE_BIGINT, 8, 0, {0x7F}, LE64(~0ull)},
        {TYPE_TINYINT, 1, 0, {0xFF}, Bytes{0xFF}},
        {TYPE_TINYINT, 1, 0, {}, Bytes{0}},
        {TYPE_BIT, 1, 0, {}, Bytes{0}},
        {TYPE_BIT, 1, 0, {}, Bytes{1}, true},
        {TYPE_MONEY, 8, 0, {0x7F, 0xFE, 0x1D, 0xC0}, LE64(static_cast<std::uint64_t>(-123456))},
        {TYPE_SMALLMONEY, 4, 0, {0x82, 0x49, 0xF0}, LE32(10000 * 15)},
        {TYPE_DATETIME,
         8,
         0,
         {0x80, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x2C},
         Cat({LE32(300), LE32(1)})},
        // Floating point: big-endian, trailing zero bytes left out.
        {TYPE_FLOAT, 8, 0, {0x3F, 0xF0}, LE64(0x3FF0000000000000ull)},
        {TYPE_REAL, 4, 0, {0xBF, 0x40}, LE32(0xBF400000u)},
        {TYPE_FLOAT, 8, 0, {}, LE64(0)},
        // Dates and times: big-endian, leading zero bytes left out.
        {TYPE_DATE, 3, 0, {0x37, 0xB9, 0xDA}, Bytes{0xDA, 0xB9, 0x37}},
        {TYPE_SMALLDATETIME, 4, 0, {0x01, 0x00, 0x05}, Bytes{0x05, 0x00, 0x01, 0x00}},
        {TYPE_TIME, 5, 0, {0x01}, Bytes{1, 0, 0, 0, 0}},
        {TYPE_DATETIME2,
         8,
         0,
         {0x0B, 0x73, 0x00, 0x00, 0x00, 0x00, 0x00},
         Bytes{0, 0, 0, 0, 0, 0x73, 0x0B, 0}},
        {TYPE_DATETIMEOFFSET, 10, 0, Bytes(10, 0xEE), Bytes(10, 0xEE)},
        {TYPE_DATE, 3, 0, {1, 2, 3, 4}, std::nullopt},
        // Decimal: 123.45 as decimal(5,2) is stored as sign 1 and 12345.
        {TYPE_DECIMAL, 5, 2, {0xC2, 0x1E, 0xDC, 0x20}, Cat({Bytes{1}, LE32(12345)})},
        {TYPE_DECIMAL, 5, 2, {0x42, 0x1E, 0xDC, 0x20}, Cat({Bytes{0}, LE32(12345)})},
        {TYPE_NUMERIC, 9, 4, {0xC2, 0x1E, 0xDC, 0x20}, Cat({Bytes{1}, LE64(1234500)})},
        {TYPE_DECIMAL, 5, 0, {}, Cat({Bytes{1}, LE32(0)})},
        // 1.00512: groups 100 and 512 (1000000000b), whose trailing zero byte is left out.
        {TYPE_DECIMAL, 5, 5, {0xC0, 0x19, 0x20}, Cat({Bytes{1}, LE32(100512)})},
        {TYPE_DECIMAL, 5, 5, {0xC0, 0xFF, 0xC0}, std::nullopt},        // a group of 1023
        {TYPE_DECIMAL, 5, -1, {0xC2, 0x1E, 0xDC, 0x20}, std::nullopt}, // scale unknown
        {TYPE_DECIMAL, 7, 2, {0xC2, 0x1E, 0xDC, 0x20}, std::nullopt},  // no such size
        {TYPE_UNIQUEIDENTIFIER, 16, 0, {}, Bytes(16, 0)},
        {TYPE_UNIQUEIDENTIFIER, 16, 0, Bytes(16, 0x42), Bytes(16, 0x42)},
        {TYPE_UNIQUEIDENTIFIER, 16, 0, Bytes(15, 0x42), std::nullopt},
        // Character and binary: fixed lengths padded back.
        {TYPE_CHAR, 6, 0, Ascii("ab"), Ascii("ab    ")},
        {TYPE_CHAR, 3, 0, {}, Ascii("   ")},
        {TYPE_VARCHAR, 0, 0, Ascii("ab "), Ascii("ab ")},
        {TYPE_BINARY, 4, 0, {1, 2}, Bytes{1, 2, 0, 0}},
        {TYPE_VARBINARY, 0, 0, {1, 0}, Bytes{1, 0}},
        // Unicode: odd lengths are SCSU, even lengths UTF-16 as stored.
        {TYPE_NVARCHAR, 0, 0, Ascii("Hello"), utf16Hello},
        {TYPE_NVARCHAR, 0, 0, Utf16("ab"), Utf16("ab")},
        {TYPE_NCHAR, 8, 0, Ascii("abc"), Utf16("abc ")},
        {TYPE_NCHAR, 4, 0, {}, Utf16("  ")},
        {TYPE_NVARCHAR,
         0,
         0,
         {0x12, 0x9F, 0xC0, 0xB8, 0xB2, 0xB5, 0xC2},
         Bytes{0x1F, 0x04, 0x40, 0x04, 0x38, 0x04, 0x32, 0x04, 0x35, 0x04, 0x42, 0x04}},
    };
    for (const Case& c : cases) {
        Bytes out;
        const bool bOk =
            RebuildStoredValue(c.nType, c.nSize, c.nScale, c.compressed, c.bBitOne, out);
        EXPECT_EQ(bOk, c.stored.has_value()) << "type " << c.nType;
        if (c.stored && bOk) {
            EXPECT_EQ(out, *c.stored) << "type " << c.nType;
        }
    }
}

// SCSU through the writer's encoder and the decoder; the odd/even rule tells SCSU from UTF-16.
TEST(Scsu, RoundTripsAndTheLengthRule) {
    const std::u16string texts[] = {u"a",
                                    u"abc",
                                    u"Hello",
                                    u"Привет",
                                    u"日本語",
                                    u"\U0001F600x",
                                    u"\U0001F600\U0001F601\U0001F602\U0001F603 ok",
                                    u"Ab Привет мир"};
    for (const std::u16string& t : texts) {
        Bytes utf16;
        for (char16_t u : t) {
            utf16.push_back(static_cast<std::uint8_t>(u & 0xFF));
            utf16.push_back(static_cast<std::uint8_t>(u >> 8));
        }
        const Bytes scsu = Utf16ToScsu(utf16);
        ASSERT_FALSE(scsu.empty());
        EXPECT_EQ(ScsuToUtf16(scsu), utf16);
        // Stored as the writer stores it, rebuilt as a compressed row's value.
        const Bytes stored = CompressValue({TYPE_NVARCHAR, 0, 0}, utf16);
        Bytes out;
        ASSERT_TRUE(RebuildStoredValue(TYPE_NVARCHAR, 0, 0, stored, false, out));
        EXPECT_EQ(out, utf16);
        EXPECT_EQ(stored.size() % 2 == 1, stored == scsu);
    }
    // The rule's limit: an even-length SCSU form ("ab" is 61 62) reads as one UTF-16 unit, so
    // such values must be stored as UTF-16.
    EXPECT_EQ(Utf16ToScsu(Utf16("ab")), Ascii("ab"));
    EXPECT_EQ(CompressValue({TYPE_NVARCHAR, 0, 0}, Utf16("ab")), Utf16("ab"));
}

// A forwarding stub to a compressed row on a page-compressed page: the row is completed
// against the anchor values of the page it lies on, not those of the stub's page.
TEST(CompressedPage, ForwardedRowUsesItsOwnPage) {
    TempDir dir;
    CDravoltBrevantProjApp app;
    RecordingNotify notify;
    const Layout layout = VarbinaryLayout(1);
    app.m_pCurrentRowDecoder = &layout;
    FileBuilder f = SkeletonFile(24);
    f.SetPage(16, SystemTablePage(7, {16, 1}));
    PageBuilder stubs(PT_DATA, 500, {20, 1});
    stubs.Header().nTypeFlagBits = 0x80;
    stubs.AddUnslotted(CompressionInfoRecord(CdRow({{7, Ascii("STUBPG")}}), {}));
    stubs.AddRow(ForwardingStub({21, 1}, 0));
    f.SetPage(20, stubs);
    PageBuilder target(PT_DATA, 500, {21, 1});
    target.Header().nTypeFlagBits = 0x80;
    target.AddUnslotted(CompressionInfoRecord(CdRow({{7, Ascii("TARGET")}}), {}));
    target.AddRow(CdRow({{CD_LONG, Bytes{2, 'x', 'y'}}}, RECORD_FORWARDED));
    f.SetPage(21, target);
    CMdfReader reader(dir.Write("fwd.mdf", f), app, notify);
    auto page = reader.ReadDataPage({20, 1});
    ASSERT_EQ(page->RecordCount(), 1u);
    const CPrimaryRecord& r = *page->Record(0);
    EXPECT_EQ(r.m_nRecordType, RECORD_FORWARDING_STUB);
    EXPECT_TRUE(r.m_bCompressed);
    ASSERT_TRUE(r.m_bCompleted);
    EXPECT_EQ(r.m_completed[0].bytes, Ascii("TAxy"));
}
