// Table layout resolution over written databases: which rowset and pages a table gets, type
// codes of the odd types, columns that are not stored, module objects and duplicate pages.
#include <gtest/gtest.h>

#include "RowsFixture.h"
#include "pagestore/Bytes.h"
#include "pagestore/TypeCodes.h"

using namespace qw;

namespace {

TableSpec TwoRowTable(std::int32_t nId, const std::string& strName) {
    return Table(nId, strName, {Col("A", ST_INT, 4), Col("B", ST_VARCHAR, 10, kLatin1)},
                 {TableRow{{Int(1), Text("one")}}, TableRow{{Int(2), Text("two")}}});
}

// Renames the rowset column row of a column, so no column matches it any more (a computed
// column that is not persisted has no such row).
void DropRowsetColumn(WrittenDatabase& w, std::int64_t nRowsetId, std::int32_t nColumnId) {
    const Bytes key = Cat(
        {LE64(static_cast<std::uint64_t>(nRowsetId)), LE32(static_cast<std::uint32_t>(nColumnId))});
    for (std::size_t p = 16; p < w.file.size() / kPageSize; ++p) {
        std::uint8_t* page = w.file.data() + p * kPageSize;
        if (page[1] != PT_DATA || le::I32(page + 24) != 3) continue;
        auto at = std::search(page + kPageHeaderSize, page + kPageSize, key.begin(), key.end());
        if (at != page + kPageSize) le::Put32(&*(at + 8), 99);
    }
}

} // namespace

TEST(LayoutResolve, RowsetChoice) {
    struct Case {
        const char* what;
        std::vector<IndexSpec> indexes;
        std::int32_t nIndexId;
        std::size_t nChosen; // which of the indexes' rowsets, in spec order of the writer
    };
    const std::int64_t nPartition = (std::int64_t{256} << 48) | (0x5000LL << 16);
    IndexSpec second = Clustered({1});
    second.nRowsetId = nPartition;
    second.nAllocUnitId = nPartition + (1 << 16);
    IndexSpec nonclustered{"IX", 2, 2, false, false, false, {2}};
    for (const Case& c : std::initializer_list<Case>{
             {"partitioned clustered index: the last rowset of index 1",
              {Clustered({1}), second},
              1,
              1},
             {"heap and a nonclustered index: the heap", {nonclustered}, 0, 0}}) {
        SCOPED_TRACE(c.what);
        TableSpec t = TwoRowTable(600, "T");
        t.object.indexes = c.indexes;
        const WrittenDatabase w = WriteTables({}, {t});
        OpenedDb db(w.file);
        const auto listing = db.Rows("T");
        EXPECT_EQ(db.c().m_currentRowset.m_nIndexId, c.nIndexId);
        if (c.nChosen == 1) {
            EXPECT_EQ(db.c().m_currentRowset.m_nRowsetId, nPartition);
        }
        if (c.nIndexId == 0) { // the heap's pages are the written ones
            EXPECT_EQ(db.c().m_currentRowset.m_nRowsetId, w.tables[0].ids.nRowsetId);
            EXPECT_EQ(listing.rows,
                      (std::vector<std::vector<std::string>>{{"1", "one"}, {"2", "two"}}));
        }
    }
}

TEST(LayoutResolve, TypeCodesOfGeometryAndImage) {
    ColumnSpec geometry = Col("Shape", ST_GEOMETRY, -1);
    geometry.nUserType = 129;
    ColumnSpec hierarchy = Col("Node", ST_HIERARCHYID, 892);
    hierarchy.nUserType = 128;
    TableSpec t =
        Table(600, "T", {geometry, hierarchy, Col("Pic", ST_IMAGE, 16), Col("Txt", ST_TEXT, 16)});
    OpenedDb db(WriteTables({}, {t}).file);
    const auto cols = db.c().ResolveObject("T", "U ", {});
    ASSERT_EQ(cols.size(), 4u);
    EXPECT_EQ(cols[0].m_nTypeCode, TYPE_GEOMETRY);
    EXPECT_EQ(cols[1].m_nTypeCode, TYPE_HIERARCHYID);
    EXPECT_EQ(cols[2].m_nTypeCode, TYPE_IMAGE);
    EXPECT_EQ(cols[3].m_nTypeCode, TYPE_TEXT);
}

TEST(LayoutResolve, ComputedColumnNotStoredTakesItsDefinitionAndIsNotShown) {
    // Column 1 is computed: no rowset column row, a definition in the value triples. Rows hold
    // only the stored columns.
    TableSpec t = Table(
        600, "T", {Col("Calc", ST_INT, 4), Col("A", ST_INT, 4), Col("B", ST_VARCHAR, 10, kLatin1)},
        {TableRow{{Null(), Int(7), Text("x")}}});
    WrittenDatabase w = WriteTables({}, {t});
    DropRowsetColumn(w, w.tables[0].ids.nRowsetId, 1);
    OpenedDb db(w.file);
    const std::vector<ValueTriple> triples{
        {"600", "1", "0x5b0061005d00"}, // an older text; the last one counts
        {"600", "1", "0x28005b0061005d002b0031002900"},
        {"601", "1", "0x7800"},
    };
    const auto cols = db.c().ResolveObject("T", "U ", triples);
    ASSERT_EQ(cols.size(), 3u);
    EXPECT_EQ(cols[0].m_nStorageColumnId, kNotStored);
    EXPECT_EQ(cols[0].m_strDefinition, "([a]+1)");
    EXPECT_EQ(db.c().m_nFirstStoredColumn, 1);
    EXPECT_TRUE(db.c().m_bResolved);
    // The computed column takes no place in the row: the stored columns still read right.
    const auto listing = db.Rows("T");
    EXPECT_EQ(listing.rows, (std::vector<std::vector<std::string>>{{"7", "x"}}));
}

TEST(LayoutResolve, AViewGivesThreePseudoColumnsAndStaysUnresolved) {
    DatabaseSpec spec;
    ObjectSpec view;
    view.nId = 700;
    view.strName = "Vw";
    view.strType = "V ";
    spec.objects = {view};
    OpenedDb db(WriteTables(spec, {TwoRowTable(600, "T")}).file);
    db.c().ResolveObject("T", "U ", {});
    ASSERT_TRUE(db.c().m_bResolved);
    const auto cols = db.c().ResolveObject("Vw", "V ", {});
    ASSERT_EQ(cols.size(), 3u);
    EXPECT_EQ(cols[0].m_strDefinition, "700");
    EXPECT_EQ(cols[1].m_strDefinition, "V ");
    EXPECT_EQ(cols[2].m_strDefinition, "Vw");
    EXPECT_FALSE(db.c().m_bResolved);
    EXPECT_TRUE(db.c().m_tableColumnList.empty());
}

TEST(LayoutResolve, PagesFromIndexListEachPageOnce) {
    // Two rowsets of the table without allocation units of their own: both fall back to units
    // named by the rowset id, which list the same pages.
    TableSpec t = TwoRowTable(600, "T");
    t.nRowsPerPage = 1;
    WrittenDatabase w = WriteTables({}, {t});
    OpenedDb db(w.file);
    CDbCatalog& c = db.c();
    c.ResolveObject("T", "U ", {});
    RowsetEntry r;
    r.m_nObjectId = 600;
    r.m_nIndexId = 1;
    r.m_nRowsetId = w.tables[0].ids.nAllocUnitId; // the pages' key
    c.m_tableRowsets = {r, r};
    c.m_allocUnits.clear();
    c.m_bPagesFromIndex = true;
    c.TablePages();
    ASSERT_EQ(c.m_tablePages.size(), 2u);
    EXPECT_NE(c.m_tablePages[0].m_nPageIndex, c.m_tablePages[1].m_nPageIndex);
}
