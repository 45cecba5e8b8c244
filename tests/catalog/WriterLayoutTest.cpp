// The database writer's files read back through the page store: every system table on pages
// of its object id, and rows that decode to the fields they were written from.
#include <gtest/gtest.h>

#include <set>

#include "pagestore/Bytes.h"
#include "pagestore/CMdfReader.h"
#include "support/DatabaseWriter.h"
#include "support/RecordingNotify.h"

using namespace qw;

namespace {

// Two tables, a foreign key over two column pairs between them, and a view.
DatabaseSpec Sample(bool bSql2000, std::uint16_t nVersion) {
    DatabaseSpec db;
    db.bSql2000 = bSql2000;
    db.nVersion = nVersion;
    db.strName = "Shop";
    ObjectSpec orders;
    orders.nId = 501;
    orders.strName = "Orders";
    ColumnSpec id = Col("Id", ST_INT, 4);
    id.identity = std::make_pair(1000, 5);
    orders.columns = {id,
                      Col("Customer", ST_INT, 4),
                      Col("Region", ST_SMALLINT, 2),
                      Col("Note", ST_NVARCHAR, 80),
                      Col("Paid", ST_BIT, 1),
                      Col("Sent", ST_BIT, 1),
                      Col("Body", ST_VARBINARY, -1)};
    IndexSpec pk;
    pk.strName = "PK_Orders";
    pk.bPrimaryKey = true;
    pk.columnIds = {1};
    orders.indexes = {pk};
    orders.nFirstPage = orders.nRootPage = 40;
    orders.nFirstIamPage = 41;
    orders.nRowCount = 7;
    ObjectSpec customers;
    customers.nId = 602;
    customers.strName = "Customers";
    customers.columns = {Col("Id", ST_INT, 4), Col("Region", ST_SMALLINT, 2)};
    ObjectSpec fk;
    fk.nId = 703;
    fk.strName = "FK_Orders_Customers";
    fk.strType = "F ";
    fk.nParentId = 501;
    ObjectSpec view;
    view.nId = 804;
    view.strType = "V "; // no name: the reader has to repair it
    db.objects = {orders, customers, fk, view};
    db.foreignKeys = {{703, 501, 602, {{2, 1}, {3, 2}}}};
    return db;
}

struct Opened {
    CDravoltBrevantProjApp app;
    RecordingNotify notify;
    CMemoryFileSource source;
    std::unique_ptr<CMdfReader> reader;
    explicit Opened(const FileBuilder& f) {
        source.Add("/mem/db.mdf", f.Build());
        reader = std::make_unique<CMdfReader>("/mem/db.mdf", app, notify, source);
    }
};

std::int32_t I32(const Bytes& b, std::size_t at) {
    return le::I32(b.data() + at);
}
std::int16_t I16(const Bytes& b, std::size_t at) {
    return le::I16(b.data() + at);
}

} // namespace

TEST(WriterLayout, SystemTablesLieOnPagesOfTheirObjectIds) {
    struct Case {
        bool bSql2000;
        std::uint16_t nVersion;
        std::set<std::int32_t> objects;
    };
    const Case cases[] = {
        {false, 655, {3, 5, 7, 8, 34, 41, 50, 54, 55, 74}},
        {false, 852, {3, 5, 7, 8, 34, 41, 50, 54, 55, 74}},
        {true, 539, {1, 2, 3, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nVersion);
        Opened db(WriteDatabase(Sample(c.bSql2000, c.nVersion)));
        ASSERT_TRUE(db.reader->IsOpen());
        std::set<std::int32_t> found;
        for (const auto& [nObject, pages] : db.reader->SystemPages()) {
            if (nObject == 99) continue; // allocation and boot pages
            found.insert(nObject);
            for (const PageIndexEntry& e : pages) {
                EXPECT_EQ(e.nPageType, PT_DATA);
                EXPECT_GT(e.nPageNumber, 41) << "after the pages the objects name";
            }
        }
        EXPECT_EQ(found, c.objects);
        // The boot page: version, blank-padded name and collation at their page offsets.
        const PageBytes boot = db.reader->ReadRawPage({9, 1});
        ASSERT_TRUE(boot);
        EXPECT_EQ(le::U16(boot.get() + 100), c.nVersion);
        EXPECT_EQ(Bytes(boot.get() + 148, boot.get() + 160), Utf16("Shop  "));
        EXPECT_EQ(le::U16(boot.get() + 148 + 206), ' ');
        EXPECT_EQ(le::I32(boot.get() + 488), 872468488);
    }
}

TEST(WriterLayout, RowsDecodeToTheFieldsOfTheDescription2005) {
    const DatabaseSpec spec = Sample(false, 655);
    Opened db(WriteDatabase(spec));
    ASSERT_TRUE(db.reader->IsOpen());
    CMdfReader& r = *db.reader;

    const auto objects = StoredRows(r, 34);
    ASSERT_EQ(objects.size(), 4u);
    EXPECT_EQ(I32(objects[2].fixed, 0), 703);
    EXPECT_EQ(Bytes(objects[2].fixed.begin() + 13, objects[2].fixed.begin() + 15), Ascii("F "));
    EXPECT_EQ(I32(objects[2].fixed, 15), 501);
    EXPECT_EQ(objects[2].var.at(0), Utf16("FK_Orders_Customers"));
    EXPECT_TRUE(objects[3].var.empty()) << "the unnamed view has no name column";
    EXPECT_TRUE(objects[3].IsNull(1));

    // Columns: the identity column's status and blob (last value, seed, increment, flag).
    const auto columns = StoredRows(r, 41);
    ASSERT_EQ(columns.size(), 9u);
    EXPECT_EQ(I32(columns[0].fixed, 23), 5);
    ASSERT_EQ(columns[0].var.size(), 2u);
    EXPECT_EQ(columns[0].var[1], Cat({LE32(1000), LE32(1000), LE32(5), Bytes{1}}));
    EXPECT_EQ(I16(columns[6].fixed, 15), -1);   // varbinary(max)
    EXPECT_EQ(I16(columns[6].fixed, 27), 8000); // its in-row limit

    // Rowset columns of Orders: fixed offsets from 4, the two bits sharing byte 14, variable
    // columns numbered -1, -2; the key's upper-level offset in the high half.
    const StorageIds ids = StorageIdsOf(spec, 501, 1);
    struct Expect {
        std::int32_t nOffset;
        std::int16_t nBit;
    };
    const Expect expect[] = {{0x00010004, 0}, {8, 0},  {12, 0},    {0xFFFF, 0},
                             {14, 0},         {14, 1}, {0xFFFE, 0}};
    const auto rscols = StoredRows(r, 3);
    ASSERT_EQ(rscols.size(), 9u); // seven of Orders, two of the heap of Customers
    for (std::size_t i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(le::I64(rscols[i].fixed.data()), ids.nRowsetId);
        EXPECT_EQ(I32(rscols[i].fixed, 8), static_cast<std::int32_t>(i + 1));
        EXPECT_EQ(I32(rscols[i].fixed, 40), expect[i].nOffset);
        EXPECT_EQ(I32(rscols[i].fixed, 44), static_cast<std::int32_t>(i + 1));
        EXPECT_EQ(I16(rscols[i].fixed, 48), expect[i].nBit);
    }

    // The allocation unit points at the table's pages; its id gives the data pages' header.
    const auto units = StoredRows(r, 7);
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(le::I64(units[0].fixed.data()), ids.nAllocUnitId);
    EXPECT_EQ(le::I64(units[0].fixed.data() + 9), ids.nRowsetId);
    EXPECT_EQ(units[0].fixed[8], 1);
    EXPECT_EQ(Bytes(units[0].fixed.begin() + 23, units[0].fixed.begin() + 41),
              Cat({LE32(40), LE16(1), LE32(40), LE16(1), LE32(41), LE16(1)}));
    EXPECT_GT(PageObjectIdOf(ids.nAllocUnitId), 2187) << "clear of the system object ids";
    EXPECT_EQ(PageIndexIdOf(ids.nAllocUnitId), 256);
    EXPECT_NE(StorageIdsOf(spec, 602, 0).nRowsetId, ids.nRowsetId);

    // Rowsets: the heap added for Customers, the row count of Orders.
    const auto rowsets = StoredRows(r, 5);
    ASSERT_EQ(rowsets.size(), 2u);
    EXPECT_EQ(I32(rowsets[0].fixed, 9), 501);
    EXPECT_EQ(le::I64(rowsets[0].fixed.data() + 27), 7);
    EXPECT_EQ(I32(rowsets[1].fixed, 9), 602);
    EXPECT_EQ(I32(rowsets[1].fixed, 13), 0);

    // Indexes: the primary key's status and rowset; the heap without a name.
    const auto indexes = StoredRows(r, 54);
    ASSERT_EQ(indexes.size(), 2u);
    EXPECT_EQ(I32(indexes[0].fixed, 8), 0x2B);
    EXPECT_EQ(le::I64(indexes[0].fixed.data() + 27), ids.nRowsetId);
    EXPECT_EQ(indexes[0].var.at(0), Utf16("PK_Orders"));
    EXPECT_TRUE(indexes[1].IsNull(2));

    // The foreign key: its own row, then parent and referenced sides with ordinals 1 and 2.
    struct Ref {
        std::uint8_t nClass;
        std::int32_t nSub, nIndep, nIndepSub;
    };
    const Ref refs[] = {
        {27, 0, 602, 1}, {28, 1, 501, 2}, {28, 2, 501, 3}, {29, 1, 602, 1}, {29, 2, 602, 2}};
    const auto stored = StoredRows(r, 74);
    ASSERT_EQ(stored.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(stored[i].fixed[0], refs[i].nClass);
        EXPECT_EQ(I32(stored[i].fixed, 1), 703);
        EXPECT_EQ(I32(stored[i].fixed, 5), refs[i].nSub);
        EXPECT_EQ(I32(stored[i].fixed, 9), refs[i].nIndep);
        EXPECT_EQ(I32(stored[i].fixed, 13), refs[i].nIndepSub);
    }

    // The built-in types, and the primary file's row.
    const auto types = StoredRows(r, 50);
    ASSERT_EQ(types.size(), 34u);
    EXPECT_EQ(I32(types[9].fixed, 0), ST_INT);
    EXPECT_EQ(I32(types[9].fixed, 4), 4);
    EXPECT_EQ(types[9].var.at(0), Utf16("int"));
    const auto files = StoredRows(r, 8);
    ASSERT_EQ(files.size(), 1u);
    ASSERT_EQ(files[0].fixed.size(), 782u);
    EXPECT_EQ(I16(files[0].fixed, 4), 1);
    EXPECT_EQ(Bytes(files[0].fixed.begin() + 6, files[0].fixed.begin() + 16), Utf16("Shop "));
}

TEST(WriterLayout, RowsDecodeToTheFieldsOfTheDescription2000) {
    Opened db(WriteDatabase(Sample(true, 539)));
    ASSERT_TRUE(db.reader->IsOpen());
    CMdfReader& r = *db.reader;

    const auto objects = StoredRows(r, 1);
    ASSERT_EQ(objects.size(), 4u);
    ASSERT_GE(objects[2].fixed.size(), 28u);
    EXPECT_EQ(I32(objects[2].fixed, 0), 703);
    EXPECT_EQ(Bytes(objects[2].fixed.begin() + 4, objects[2].fixed.begin() + 6), Ascii("F "));
    EXPECT_EQ(I32(objects[2].fixed, 24), 501);
    EXPECT_EQ(objects[2].var.at(0), Utf16("FK_Orders_Customers"));

    // Columns: id, type, column id and order, the row offset (fixed, or -n for variable).
    const auto columns = StoredRows(r, 3);
    ASSERT_EQ(columns.size(), 9u);
    const std::int16_t offsets[] = {4, 8, 12, -1, 14, 14, -2};
    for (std::size_t i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        const StoredRow& c = columns[i];
        ASSERT_GE(c.fixed.size(), 43u);
        EXPECT_GE(c.nColumns, 21);
        EXPECT_EQ(I32(c.fixed, 0), 501);
        EXPECT_EQ(c.fixed[4], Sample(true, 539).objects[0].columns[i].nSystemType);
        EXPECT_EQ(I16(c.fixed, 12), static_cast<std::int16_t>(i + 1));
        EXPECT_EQ(I16(c.fixed, 14), offsets[i]);
        EXPECT_EQ(I16(c.fixed, 30), static_cast<std::int16_t>(i + 1));
        EXPECT_EQ(I16(c.fixed, 32), offsets[i]);
        EXPECT_EQ(c.fixed[42] & 1, i == 0 ? 1 : 0) << "bit 0: not nullable";
    }
    EXPECT_EQ(columns[3].var.at(0), Utf16("Note"));

    // Indexes: the clustered index of Orders and the heap of Customers, with page pointers.
    const auto indexes = StoredRows(r, 2);
    ASSERT_EQ(indexes.size(), 2u);
    ASSERT_GE(indexes[0].fixed.size(), 70u);
    EXPECT_EQ(I32(indexes[0].fixed, 0), 501);
    EXPECT_EQ(I16(indexes[0].fixed, 14), 1);
    EXPECT_EQ(I32(indexes[0].fixed, 8), 40);
    EXPECT_EQ(I32(indexes[0].fixed, 64), 41);
    EXPECT_EQ(I32(indexes[1].fixed, 0), 602);
    EXPECT_EQ(I16(indexes[1].fixed, 14), 0);
}

TEST(WriterLayout, RowsSpillOverLinkedPages) {
    DatabaseSpec spec;
    for (std::int32_t n = 0; n < 600; ++n) {
        ObjectSpec o;
        o.nId = 1000 + n;
        o.strName = "Table_with_a_rather_long_name_" + std::to_string(n);
        o.columns = {Col("Id", ST_INT, 4)};
        spec.objects.push_back(o);
    }
    spec.nPages = 400;
    const FileBuilder file = WriteDatabase(spec);
    EXPECT_EQ(file.PageCount(), 400u);
    Opened db(file);
    ASSERT_TRUE(db.reader->IsOpen());
    for (std::int32_t nObject : {34, 41, 7, 5, 3, 54}) {
        SCOPED_TRACE(nObject);
        const auto& pages = CMdfReader::PagesOf(db.reader->SystemPages(), nObject);
        ASSERT_GT(pages.size(), 1u);
        const auto rows = StoredRows(*db.reader, nObject);
        ASSERT_EQ(rows.size(), 600u);
        // Neighbouring pages point at each other.
        for (std::size_t k = 0; k + 1 < pages.size(); ++k) {
            const auto h = db.reader->ReadPageHeader(pages[k].Pointer());
            ASSERT_TRUE(h);
            EXPECT_EQ(h->Next(), pages[k + 1].Pointer());
        }
    }
    EXPECT_EQ(I32(StoredRows(*db.reader, 34).back().fixed, 0), 1599);
}
