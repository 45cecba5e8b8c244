// Which pages a table's listing reads: allocation map chains (loops, interval bases, the
// file's extent count), page chains and their loops, the fallback from maps to chain, and the
// rows those pages give (ghost rows, moved rows, damaged pages).
#include <gtest/gtest.h>

#include <random>

#include "RowsFixture.h"
#include "pagestore/Bytes.h"
#include "pagestore/IamPage.h"

using namespace qw;

namespace {

using Rows = std::vector<std::vector<std::string>>;

TableSpec Numbers(int nRows, std::size_t nPerPage, int nIamPages = 1) {
    TableSpec t = Table(600, "T", {Col("N", ST_INT, 4), Col("S", ST_VARCHAR, 20, kLatin1)});
    for (int i = 1; i <= nRows; ++i)
        t.rows.push_back(TableRow{{Int(i), Text("row" + std::to_string(i))}});
    t.nRowsPerPage = nPerPage;
    t.nIamPages = nIamPages;
    return t;
}

Rows NumberRows(int nRows) {
    Rows out;
    for (int i = 1; i <= nRows; ++i) out.push_back({std::to_string(i), "row" + std::to_string(i)});
    return out;
}

// Rows come in the maps' order; a chain of maps names the pages in turn.
Rows ByNumber(Rows rows) {
    std::sort(rows.begin(), rows.end(),
              [](const auto& a, const auto& b) { return std::stoi(a[0]) < std::stoi(b[0]); });
    return rows;
}

void SetNext(WrittenDatabase& w, PagePointer page, PagePointer next) {
    std::uint8_t* p = w.PageAt(page);
    le::Put32(p + 16, static_cast<std::uint32_t>(next.nPageId));
    le::Put16(p + 20, static_cast<std::uint16_t>(next.nFileId));
}

} // namespace

TEST(Listing, HeapThroughItsMapsOrItsPageChain) {
    struct Case {
        const char* what;
        int nRows, nIamPages;
        std::size_t nPerPage;
        PageSource source;
    };
    for (const Case& c :
         std::initializer_list<Case>{{"one map, single pages", 5, 1, 1, PageSource::IamChain},
                                     {"a chain of three maps", 7, 3, 1, PageSource::IamChain},
                                     {"single pages and extents", 400, 1, 20, PageSource::IamChain},
                                     {"no maps", 5, 0, 1, PageSource::TablePages}}) {
        SCOPED_TRACE(c.what);
        WrittenDatabase w = WriteTables({}, {Numbers(c.nRows, c.nPerPage, c.nIamPages)});
        OpenedDb db(w.file);
        const auto listing = db.Rows("T");
        EXPECT_EQ(listing.pages.source, c.source);
        EXPECT_EQ(ByNumber(listing.rows), NumberRows(c.nRows));
    }
}

TEST(Listing, TableWhoseMapsAreDamagedFollowsItsPageChainFromTheFirstPage) {
    struct Case {
        const char* what;
        bool bClustered;
        bool bPointerPastTheEnd; // else the maps name no pages
    };
    for (const Case& c :
         {Case{"heap, empty maps", false, false}, Case{"clustered, empty maps", true, false},
          Case{"heap, map pointer past the end", false, true},
          Case{"clustered, map pointer past the end", true, true}}) {
        SCOPED_TRACE(c.what);
        TableSpec t = Numbers(5, 1);
        if (c.bClustered) t.object.indexes = {Clustered({1})};
        WrittenDatabase w = WriteTables({}, {t});
        const PagePointer map = w.tables[0].iamPages.front();
        if (c.bPointerPastTheEnd) {
            // The allocation unit's row names the map: make it name a page past the file's end.
            Bytes pointer = Cat({LE32(static_cast<std::uint32_t>(map.nPageId)),
                                 LE16(static_cast<std::uint16_t>(map.nFileId))});
            int nReplaced = 0;
            for (std::size_t page = 0; page < w.file.size() / kPageSize; ++page) {
                if (static_cast<std::int32_t>(page) == map.nPageId) continue;
                std::uint8_t* p = w.file.data() + page * kPageSize;
                for (std::size_t i = kPageHeaderSize; i + pointer.size() < kPageSize; ++i)
                    if (std::equal(pointer.begin(), pointer.end(), p + i)) {
                        le::Put32(p + i, 0x00FFFFFF);
                        ++nReplaced;
                    }
            }
            ASSERT_EQ(nReplaced, 1);
        } else {
            for (const PagePointer& m : w.tables[0].iamPages)
                std::fill(w.PageAt(m) + kPageHeaderSize, w.PageAt(m) + kPageSize - 4, 0);
        }
        OpenedDb db(w.file);
        const auto listing = db.Rows("T");
        EXPECT_EQ(listing.pages.source, PageSource::PageChain);
        EXPECT_EQ(listing.rows, NumberRows(5));
    }
}

TEST(Listing, PageMapsKeepAUserUnitApartFromASystemTableOfTheSameObjectId) {
    // The unit's pages carry object id 7 in their headers, as sysallocunits' own pages do; only
    // the index id (256 for user data) tells them apart.
    TableSpec t = Numbers(30, 10);
    IndexSpec clustered = Clustered({1});
    clustered.nAllocUnitId = (std::int64_t{256} << 48) | (std::int64_t{7} << 16);
    t.object.indexes = {clustered};
    WrittenDatabase w = WriteTables({}, {t});
    ASSERT_EQ(w.tables[0].nPageObjectId, 7);
    OpenedDb db(w.file);
    for (bool bAdvanced : {false, true}) {
        SCOPED_TRACE(bAdvanced ? "page maps" : "allocation maps");
        const auto listing = db.Rows("T", false, bAdvanced);
        EXPECT_EQ(listing.pages.pages, w.tables[0].dataPages);
        EXPECT_EQ(ByNumber(listing.rows), NumberRows(30));
    }
}

TEST(Listing, LoopingChainsEnd) {
    // Maps whose last one links back to the first, and data pages whose last one links back to
    // the first or to itself: every page is read once.
    WrittenDatabase w = WriteTables({}, {Numbers(6, 1, 3)});
    const WrittenTable& t = w.tables[0];
    SetNext(w, t.iamPages.back(), t.iamPages.front());
    OpenedDb maps(w.file);
    EXPECT_EQ(ByNumber(maps.Rows("T").rows), NumberRows(6));
    EXPECT_EQ(ListByIamChain(maps.c().Reader(), t.iamPages.front(), 0).size(), 6u);

    SetNext(w, t.dataPages.back(), t.dataPages.front());
    SetNext(w, t.dataPages[1], t.dataPages[1]);
    OpenedDb chain(w.file);
    EXPECT_EQ(ListByPageChain(chain.c().Reader(), t.dataPages.front()),
              (std::vector<PagePointer>{t.dataPages[0], t.dataPages[1]}));
    // From the third page: to the end, back to the first, and the second's link to itself.
    EXPECT_EQ(ListLegacyPageChain(chain.c().Reader(), t.dataPages[2]).size(), 6u);
}

TEST(Listing, MapIntervalBaseAndExtentCount) {
    // A map page of the second interval names extents from page 511232 on.
    PageBuilder pb(PT_IAM, 500, PagePointer{511300, 1});
    pb.AddRow(RowBuilder().NullBitmap(false).Fixed(Bytes(90, 0)).Columns(0).Build());
    Bytes bitmap(7988, 0);
    bitmap[0] = 0x04; // extent 2
    pb.AddRow(RowBuilder().NullBitmap(false).Fixed(bitmap).Columns(0).Build());
    const Page page = pb.Build();
    PageBytes bytes = MakePageBuffer();
    std::copy(page.begin(), page.end(), bytes.get());
    CDravoltBrevantProjApp app;
    IamPage iam(std::move(bytes), app, nullptr);
    const auto ranges = iam.ExtentList();
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].m_first, (PagePointer{511232 + 16, 1}));
    EXPECT_EQ(ranges[0].m_last, (PagePointer{511232 + 23, 1}));

    // Extents past the end of the file are not listed, even when the map sets them.
    WrittenDatabase w = WriteTables({}, {Numbers(400, 20)});
    std::uint8_t* map = w.PageAt(w.tables[0].iamPages[0]);
    const std::size_t nExtents = w.file.size() / kPageSize / 8;
    const std::uint16_t nBitmapRow = le::U16(map + kPageSize - 4);
    map[nBitmapRow + 4 + nExtents / 8] |= static_cast<std::uint8_t>(1 << (nExtents % 8));
    map[nBitmapRow + 4 + 7000] = 0xFF;
    OpenedDb db(w.file);
    const auto pages = ListByIamChain(db.c().Reader(), w.tables[0].iamPages[0], 0);
    for (const PagePointer& p : pages)
        EXPECT_LT(static_cast<std::size_t>(p.nPageId), w.file.size() / kPageSize);
    EXPECT_EQ(db.Rows("T").rows, NumberRows(400));
}

TEST(Listing, GhostRowsOnlyWhenDeletedRowsAreShown) {
    TableSpec t = Numbers(3, 0);
    t.rows[1].nRecordType = 6;
    const Bytes file = WriteTables({}, {t}).file;
    OpenedDb hidden(file);
    EXPECT_EQ(hidden.Rows("T").rows, (Rows{{"1", "row1"}, {"3", "row3"}}));
    OpenedDb shown(file, false, true);
    EXPECT_EQ(shown.Rows("T").rows, NumberRows(3));
}

TEST(Listing, AMovedRowIsListedOnceWhereItsStubIs) {
    TableSpec t = Numbers(4, 2);
    t.rows[0].bForwarded = true;
    t.rows[3].bForwarded = true;
    const WrittenDatabase w = WriteTables({}, {t});
    ASSERT_EQ(w.tables[0].dataPages.size(), 3u); // two pages and the page of moved rows
    OpenedDb db(w.file);
    const auto listing = db.Rows("T");
    EXPECT_EQ(listing.rows, NumberRows(4));
    EXPECT_EQ(listing.nInvalid, 0u);
}

TEST(Listing, Sql2000TablesThroughSysindexesOrTheirMaps) {
    // A clustered table has its sysindexes entry: its page chain from the first page. A heap
    // has none: the maps the page maps list for it.
    for (const bool bClustered : {true, false}) {
        SCOPED_TRACE(bClustered ? "clustered" : "heap");
        TableSpec t = Numbers(5, 2);
        if (bClustered) t.object.indexes = {Clustered({1})};
        const WrittenDatabase w = WriteTables(Db2000(), {t});
        OpenedDb db(w.file, true);
        const auto listing = db.Rows("T");
        EXPECT_EQ(listing.pages.source,
                  bClustered ? PageSource::LegacyPageChain : PageSource::IamChain);
        EXPECT_EQ(listing.pages.pages, w.tables[0].dataPages);
        EXPECT_EQ(listing.rows, NumberRows(5));
    }
}

TEST(Listing, RandomBytesInTablePagesEndCleanly) {
    // Every table page in turn overwritten with random bytes (its header's object id, type and
    // index id kept, so it is still taken for the table's page): the listing ends, with no more
    // rows than were written.
    TableSpec t = Numbers(6, 2, 2);
    t.object.columns.push_back(Col("Txt", ST_TEXT, 16, kLatin1));
    for (TableRow& r : t.rows) r.cells.push_back(Lob(Ascii("large value"), LobForm::LargeRoot, 4));
    const WrittenDatabase w = WriteTables({}, {t});
    const WrittenTable& wt = w.tables[0];
    std::vector<PagePointer> pages = wt.dataPages;
    pages.insert(pages.end(), wt.iamPages.begin(), wt.iamPages.end());
    pages.insert(pages.end(), wt.textPages.begin(), wt.textPages.end());
    std::mt19937 rng(5);
    for (const PagePointer& p : pages) {
        for (int round = 0; round < 8; ++round) {
            WrittenDatabase d = w;
            std::uint8_t* page = d.PageAt(p);
            const std::size_t nFrom = round < 4 ? 0 : kPageHeaderSize;
            for (std::size_t i = nFrom; i < kPageSize; ++i)
                if (i != 1 && (i < 6 || i > 7) && (i < 24 || i > 27))
                    page[i] = static_cast<std::uint8_t>(rng());
            for (const bool bListing : {false, true}) {
                OpenedDb db(d.file, false, round % 2 == 1);
                const auto listing = db.Rows("T", bListing);
                EXPECT_LE(listing.rows.size(), 6u) << p.nPageId;
            }
        }
    }
}
