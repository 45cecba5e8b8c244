#include <gtest/gtest.h>

#include <functional>

#include "pagestore/Bytes.h"

#include "pagestore/CMdfReader.h"
#include "pagestore/RecordPage.h"
#include "support/RecordingNotify.h"
#include "support/TestFiles.h"

using namespace qw;

namespace {

PageBytes ToBytes(const Page& p) {
    PageBytes b = MakePageBuffer();
    std::copy(p.begin(), p.end(), b.get());
    return b;
}

// The records of a page holding the given rows, decoded without a reader.
struct Decoded {
    CDravoltBrevantProjApp app;
    std::unique_ptr<PrimaryRecordPage> page;
    Decoded(const std::vector<Bytes>& rows, bool bShowDeleted = false) {
        app.m_bShowDeleted = bShowDeleted;
        PageBuilder pb(PT_DATA, 500, {20, 1});
        for (const Bytes& r : rows) pb.AddRow(r);
        page = std::make_unique<PrimaryRecordPage>(ToBytes(pb.Build()), app, nullptr);
    }
    const CPrimaryRecord& operator[](std::size_t i) const { return *page->Record(i); }
};

} // namespace

TEST(Record, SplitsFixedNullBitmapAndVariableColumns) {
    const Bytes row = RowBuilder()
                          .Fixed(LE32(7))
                          .Fixed(LE16(9))
                          .Var(Ascii("abc"))
                          .Var(Ascii("wxyz"))
                          .Null(1)
                          .Build();
    Decoded d({row});
    const CPrimaryRecord& r = d[0];
    EXPECT_FALSE(r.m_bInvalid);
    EXPECT_EQ(r.m_nRecordType, RECORD_PRIMARY);
    EXPECT_EQ(r.m_fixedData, Cat({LE32(7), LE16(9)}));
    EXPECT_EQ(r.m_nFixedLength, 6);
    EXPECT_EQ(r.m_nColumnCount, 4);
    EXPECT_FALSE(r.IsNull(0));
    EXPECT_TRUE(r.IsNull(1));
    ASSERT_EQ(r.m_nVarColumnCount, 2);
    ASSERT_EQ(r.m_varValues.size(), 2u);
    EXPECT_EQ(Bytes(r.m_varValues[0].Value().begin(), r.m_varValues[0].Value().end()),
              Ascii("abc"));
    EXPECT_EQ(r.m_varValues[1].nLength, 4);
    EXPECT_EQ(r.m_varValues[1].bytes.size(), 6u); // two zero bytes follow every value
    EXPECT_EQ(r.m_recordBytes, row);
    EXPECT_EQ(r.m_nRecordLength, static_cast<int>(row.size()));
}

TEST(Record, EdgeCasesOfTheRowFormat) {
    // Fixed part end 4 and three columns: no fixed data; no bitmap and no fixed data: the
    // variable count is the column count and is not read.
    {
        Decoded d({RowBuilder()
                       .NullBitmap(false)
                       .VarCountStored(false)
                       .Columns(2)
                       .Var(Ascii("ab"))
                       .Var(Ascii("cd"))
                       .Build()});
        EXPECT_FALSE(d[0].HasFixedData());
        EXPECT_EQ(d[0].m_nVarColumnCount, 2);
        EXPECT_EQ(d[0].m_varValues[1].nLength, 2);
    }
    {
        Decoded d({RowBuilder().Columns(3).Build()});
        EXPECT_FALSE(d[0].HasFixedData());
        EXPECT_EQ(d[0].m_nColumnCount, 3);
        EXPECT_TRUE(d[0].HasRecordBytes());
    }
    // More variable columns than columns: no record bytes.
    {
        Decoded d({RowBuilder().Columns(1).Fixed(LE32(1)).Var(Ascii("a")).Var(Ascii("b")).Build()});
        EXPECT_FALSE(d[0].HasRecordBytes());
        EXPECT_EQ(d[0].m_nRecordLength, 0);
        EXPECT_EQ(d[0].m_nVarColumnCount, 0);
    }
    // An end offset below the previous end: an empty value, and the next column starts where
    // this one should have.
    {
        RowBuilder rb;
        rb.Fixed(LE32(1)).Var(Ascii("aaaa")).Var(Ascii("bb")).Var(Ascii("cc"));
        const Bytes good = rb.Build();
        const std::uint16_t nFirstEnd = le::U16(good.data() + 4 + 4 + 2 + 1 + 2);
        rb.VarEnd(1, static_cast<std::uint16_t>(nFirstEnd - 1));
        Decoded d({rb.Build()});
        ASSERT_EQ(d[0].m_varValues.size(), 3u);
        EXPECT_EQ(d[0].m_varValues[0].nLength, 4);
        EXPECT_FALSE(d[0].m_varValues[1].HasBytes());
        EXPECT_EQ(d[0].m_varValues[2].nLength, 4); // "bbcc": from the first end to its own
    }
    // Column count outside 1..1023: decoding ends after the fixed part.
    for (int n : {0, 1024, -1}) {
        Decoded d({RowBuilder().Fixed(LE32(5)).Columns(n).Build()});
        EXPECT_FALSE(d[0].HasRecordBytes()) << n;
        EXPECT_TRUE(d[0].m_nullBitmap.empty()) << n;
        EXPECT_EQ(d[0].m_fixedData, LE32(5)) << n;
    }
}

TEST(Record, RecordTypesAndDeletedRows) {
    struct Case {
        int nType;
        bool bShowDeleted, bAccepted, bDeletedFlag;
    };
    const Case cases[] = {
        {0, false, true, false}, {1, false, true, false}, {3, false, false, false},
        {5, false, false, true}, {6, false, false, true}, {7, false, false, true},
        {5, true, false, false}, {6, true, true, false},  {7, true, false, false},
        {4, true, false, false},
    };
    for (const Case& c : cases) {
        Decoded d({RowBuilder().Type(c.nType).Fixed(LE32(1)).Build()}, c.bShowDeleted);
        EXPECT_EQ(!d[0].m_bInvalid, c.bAccepted) << c.nType << " " << c.bShowDeleted;
        EXPECT_EQ(d[0].m_bDeleted, c.bDeletedFlag) << c.nType << " " << c.bShowDeleted;
        EXPECT_EQ(d[0].HasRecordBytes(), c.bAccepted) << c.nType;
    }
    // A row in the compressed format is decoded by its own rules: header byte, one column,
    // descriptor 5 (a 4-byte short value).
    Decoded d({Bytes{0x01, 0x01, 0x05, 1, 2, 3, 4}});
    EXPECT_TRUE(d[0].m_bCompressed);
    EXPECT_FALSE(d[0].m_bInvalid);
    EXPECT_EQ(d[0].m_fixedData, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(d[0].m_nRecordLength, 7);
}

TEST(Record, SparseVectors) {
    const Bytes vec = SparseVectorValue({{12, LE32(77)}, {15, Ascii("hello")}});
    Decoded d({RowBuilder().Fixed(LE32(1)).Var(vec, true).Build(),
               // A complex column of exactly 16 bytes starting with 5 is a pointer, not a vector.
               RowBuilder().Fixed(LE32(1)).Var(Cat({Bytes{5}, Bytes(15, 1)}), true).Build(),
               // Not complex: never a vector.
               RowBuilder().Fixed(LE32(1)).Var(vec, false).Build()});
    ASSERT_TRUE(d[0].m_sparse);
    const SparseVector& s = *d[0].m_sparse;
    ASSERT_EQ(s.entries.size(), 2u);
    EXPECT_EQ(s.entries[0].nColumnId, 12);
    EXPECT_EQ(Bytes(s.entries[0].Value().begin(), s.entries[0].Value().end()), LE32(77));
    EXPECT_EQ(s.entries[1].nColumnId, 15);
    EXPECT_EQ(s.entries[1].nLength, 5);
    EXPECT_FALSE(d[1].m_sparse);
    EXPECT_FALSE(d[2].m_sparse);

    CDravoltBrevantProjApp app;
    // A count that does not fit the value, and end offsets past it, give no entries or empty ones.
    EXPECT_TRUE(DecodeSparseVector(Cat({LE16(5), LE16(400), Bytes(20, 0)}), app).entries.empty());
    const SparseVector bad =
        DecodeSparseVector(Cat({LE16(5), LE16(1), LE16(3), LE16(900), Bytes(4, 0)}), app);
    ASSERT_EQ(bad.entries.size(), 1u);
    EXPECT_FALSE(bad.entries[0].HasBytes());
}

namespace {

// A database whose page 20 holds: slot 0 a stub to 21:0, slot 1 a stub to page 0, slot 2 a
// stub to 22:0 (itself a stub to 21:0), slot 3 a stub to a missing slot, slot 4 a stub with a
// negative slot number. Page 21 slot 0 is the forwarded row.
struct Forwarding {
    TempDir dir;
    CDravoltBrevantProjApp app;
    RecordingNotify notify;
    std::unique_ptr<CMdfReader> reader;
    Bytes forwarded =
        RowBuilder().Type(RECORD_FORWARDED).Fixed(LE32(99)).Var(Ascii("moved")).Build();
    Forwarding() {
        FileBuilder f = SkeletonFile(24);
        f.SetPage(16, SystemTablePage(7, {16, 1}));
        PageBuilder stubs(PT_DATA, 500, {20, 1});
        stubs.AddRow(ForwardingStub({21, 1}, 0));
        stubs.AddRow(ForwardingStub({0, 1}, 0));
        stubs.AddRow(ForwardingStub({22, 1}, 0));
        stubs.AddRow(ForwardingStub({21, 1}, 5));
        stubs.AddRow(ForwardingStub({21, 1}, 0xFFFF));
        f.SetPage(20, stubs);
        PageBuilder target(PT_DATA, 500, {21, 1});
        target.AddRow(forwarded);
        f.SetPage(21, target);
        PageBuilder chained(PT_DATA, 500, {22, 1});
        chained.AddRow(ForwardingStub({21, 1}, 0));
        f.SetPage(22, chained);
        reader = std::make_unique<CMdfReader>(dir.Write("fwd.mdf", f), app, notify);
    }
};

} // namespace

TEST(Record, ForwardingStubsAreFollowedOnce) {
    Forwarding fx;
    ASSERT_TRUE(fx.reader->IsOpen());
    auto page = fx.reader->ReadDataPage({20, 1});
    ASSERT_EQ(page->RecordCount(), 5u);
    const CPrimaryRecord& r = *page->Record(0);
    EXPECT_EQ(r.m_nRecordType, RECORD_FORWARDING_STUB); // users can tell it came through a stub
    EXPECT_EQ(r.m_fixedData, LE32(99));
    EXPECT_EQ(r.m_recordBytes, fx.forwarded);
    EXPECT_EQ(r.m_forwardedTo, (PagePointer{21, 1}));
    EXPECT_EQ(r.m_nForwardedSlot, 0);
    for (std::size_t i = 1; i < 5; ++i) {
        const CPrimaryRecord& u = *page->Record(i);
        EXPECT_EQ(u.m_nFixedLength, kUnresolvedStub) << i;
        EXPECT_FALSE(u.HasFixedData()) << i;
        EXPECT_FALSE(u.HasRecordBytes()) << i;
    }
    // The forwarded row is listed where it lies, too.
    auto target = fx.reader->ReadDataPage({21, 1});
    EXPECT_EQ(target->Record(0)->m_nRecordType, RECORD_FORWARDED);
    EXPECT_FALSE(target->Record(0)->m_bInvalid);
}

TEST(RecordPage, SlotArrayAndPageFilters) {
    CDravoltBrevantProjApp app;
    auto build = [](auto&& edit) {
        PageBuilder pb(PT_DATA, 500, {20, 1});
        pb.AddRow(RowBuilder().Fixed(LE32(1)).Build());
        pb.AddRow(RowBuilder().Fixed(LE32(2)).Build());
        edit(pb);
        return pb.Build();
    };
    struct Case {
        const char* name;
        std::function<void(PageBuilder&)> edit;
        std::size_t nRecords;
        std::vector<bool> present; // which entries are records
    };
    const Case cases[] = {
        {"plain", [](PageBuilder&) {}, 2, {true, true}},
        {"slot count 0", [](PageBuilder& p) { p.SlotCount(0); }, 0, {}},
        {"slot count 4000", [](PageBuilder& p) { p.SlotCount(4000); }, 0, {}},
        {"slot count negative", [](PageBuilder& p) { p.SlotCount(-2); }, 0, {}},
        {"slot inside the header", [](PageBuilder& p) { p.SetSlot(1, 50); }, 2, {true, false}},
        {"slot 0", [](PageBuilder& p) { p.SetSlot(0, 0); }, 2, {false, true}},
        {"slot past the page", [](PageBuilder& p) { p.SetSlot(0, 9000); }, 2, {false, true}},
        {"slot at the last byte", [](PageBuilder& p) { p.SetSlot(0, 8191); }, 2, {true, true}},
        {"all rows ghosts",
         [](PageBuilder& p) { p.Header().nGhostRecordCount = 2; },
         2,
         {false, false}},
        {"some rows ghosts",
         [](PageBuilder& p) { p.Header().nGhostRecordCount = 1; },
         2,
         {true, true}},
        {"index level 1",
         [](PageBuilder& p) {
             p.Header().nType = PT_INDEX;
             p.Header().nLevel = 1;
         },
         2,
         {false, false}},
        {"index level 0", [](PageBuilder& p) { p.Header().nType = PT_INDEX; }, 2, {true, true}},
        {"negative next page",
         [](PageBuilder& p) {
             p.Header().next = {-1, 1};
         },
         0,
         {}},
        {"negative previous file",
         [](PageBuilder& p) {
             p.Header().prev = {3, -1};
         },
         0,
         {}},
        {"negative free bytes", [](PageBuilder& p) { p.FreeByteCount(-1); }, 0, {}},
        {"negative ghost count", [](PageBuilder& p) { p.Header().nGhostRecordCount = -1; }, 0, {}},
        {"negative own page id",
         [](PageBuilder& p) {
             p.Header().self = {-7, 1};
         },
         0,
         {}},
    };
    for (const Case& c : cases) {
        PrimaryRecordPage page(ToBytes(build(c.edit)), app, nullptr);
        ASSERT_EQ(page.RecordCount(), c.nRecords) << c.name;
        for (std::size_t i = 0; i < c.present.size(); ++i)
            EXPECT_EQ(page.Record(i) != nullptr, c.present[i]) << c.name << " slot " << i;
    }
    // Ghost rows come back with "Show deleted records".
    app.m_bShowDeleted = true;
    PrimaryRecordPage ghosts(
        ToBytes(build([](PageBuilder& p) { p.Header().nGhostRecordCount = 2; })), app, nullptr);
    EXPECT_NE(ghosts.Record(0), nullptr);
    // An index page of level 0 decodes its rows, which the row decoder then rejects.
    app.m_bShowDeleted = false;
    PageBuilder ib(PT_INDEX, 500, {20, 1});
    ib.AddRow(RowBuilder().Type(RECORD_INDEX).Fixed(LE32(1)).Build());
    PrimaryRecordPage indexPage(ToBytes(ib.Build()), app, nullptr);
    ASSERT_NE(indexPage.Record(0), nullptr);
    EXPECT_TRUE(indexPage.Record(0)->m_bInvalid);
}

TEST(RecordPage, SingleSlotDecode) {
    CDravoltBrevantProjApp app;
    PageBuilder pb(PT_DATA, 500, {20, 1});
    pb.AddRow(RowBuilder().Fixed(LE32(1)).Build());
    pb.AddRow(RowBuilder().Fixed(LE32(2)).Build());
    pb.SetSlot(2, 50);
    pb.Header().nGhostRecordCount = 3; // page-level filters do not apply
    const Page p = pb.Build();
    EXPECT_EQ(PrimaryRecordPage(ToBytes(p), app, nullptr, 1, true).Record(0)->m_fixedData, LE32(2));
    const PrimaryRecordPage bad(ToBytes(p), app, nullptr, 2, true);
    ASSERT_EQ(bad.RecordCount(), 1u);
    EXPECT_EQ(bad.Record(0), nullptr);
    EXPECT_EQ(PrimaryRecordPage(ToBytes(p), app, nullptr, 3, true).RecordCount(), 0u);
    EXPECT_EQ(PrimaryRecordPage(ToBytes(p), app, nullptr, -1, true).RecordCount(), 0u);
}

TEST(RecordPage, AdvancedSearchFindsRowsNoSlotPointsTo) {
    // Rows whose fixed part ends at 132 carry the row markers the search looks for.
    auto markedRow = [](std::uint32_t nId, int nType) {
        return RowBuilder()
            .Type(nType)
            .Fixed(Cat({LE32(nId), Bytes(124, 0x11)}))
            .Var(Ascii("doc"))
            .Build();
    };
    PageBuilder pb(PT_DATA, 500, {20, 1});
    pb.AddRow(markedRow(1, 0));
    const std::uint16_t nLost = pb.AddUnslotted(markedRow(2, 0));
    pb.AddUnslotted(Bytes(13, 0xFF)); // garbage between rows
    const std::uint16_t nDeleted = pb.AddUnslotted(markedRow(3, RECORD_DELETED_DATA));
    pb.AddRow(markedRow(4, 0));
    pb.AddUnslotted(RowBuilder().Fixed(LE32(5)).Build()); // no marker after garbage: not found
    const Page p = pb.Build();

    CDravoltBrevantProjApp app;
    app.m_bShowDeleted = true;
    PrimaryRecordPage plain(ToBytes(p), app, nullptr);
    EXPECT_EQ(plain.RecordCount(), 2u);

    app.m_bShowAdvancedDeleted = true;
    PrimaryRecordPage page(ToBytes(p), app, nullptr);
    ASSERT_EQ(page.RecordCount(), 4u);
    EXPECT_EQ(page.Header().m_nSlotCount, 4);
    std::vector<std::uint32_t> ids;
    for (std::size_t i = 0; i < page.RecordCount(); ++i)
        ids.push_back(le::U32(page.Record(i)->m_fixedData.data()));
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{1, 4, 2, 3})); // the page's own rows first
    EXPECT_EQ(page.FoundRowOffsets()[2], nLost);
    EXPECT_EQ(page.FoundRowOffsets()[3], nDeleted);
    EXPECT_EQ(page.Record(3)->m_nRecordType, RECORD_DELETED_DATA);
}
