// The catalog built from written databases: both layouts, names, identities, lookups, keys
// and damaged system pages.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "catalog/CDbCatalog.h"
#include "pagestore/Bytes.h"
#include "support/DatabaseWriter.h"
#include "support/RecordingNotify.h"

using namespace qw;
using ::testing::ElementsAre;

namespace {

// A database opened from memory, with the settings a test gives.
struct Opened {
    CMemoryFileSource files;
    CDravoltBrevantProjApp app;
    RecordingNotify notify;
    CRecoverySession session;
    explicit Opened(const Bytes& file, bool bSql2000 = false) {
        app.m_bIsSql2000 = bSql2000;
        ParseCollationList("SQL_Latin1_General_CP1_CI_AS\t872468488\t1252\n", app.m_collations);
        files.Add("/db/test.mdf", file);
        EXPECT_TRUE(OpenSession("/db/test.mdf", session, app, notify, files));
    }
    const CDbCatalog& c() const { return *session.m_pCatalog; }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const ObjectEntry& o : c().m_objects) out.push_back(o.m_strName);
        return out;
    }
};

// Pages of one system table in a written file, by physical position.
std::vector<std::size_t> PagesOfObject(const Bytes& file, std::int32_t nObject) {
    std::vector<std::size_t> out;
    for (std::size_t p = 0; p < file.size() / kPageSize; ++p)
        if (le::I32(file.data() + p * kPageSize + 24) == nObject &&
            file[p * kPageSize + 1] == PT_DATA)
            out.push_back(p);
    return out;
}

} // namespace

TEST(Catalog, LoadsTheLaterLayout) {
    DatabaseSpec db;
    db.strName = "Shop";
    ColumnSpec id = Col("Id");
    id.identity = std::make_pair(1000, 5);
    ObjectSpec orders =
        Obj(501, "Orders", "U ", {id, Col("Customer"), Col("Note", ST_NVARCHAR, 80)});
    ObjectSpec customers = Obj(602, "Customers", "U ", {Col("Id"), Col("Region", ST_SMALLINT, 2)});
    orders.nRowCount = 7;
    db.objects = {Obj(400, "AllDocs", "V "), orders, customers,
                  Obj(703, "FK_Orders_Customers", "F ", {}, 501),
                  Obj(704, "AllDocs", "U ", {Col("x")})};
    db.objects[3].nStatus = 99;
    db.foreignKeys = {{703, 501, 602, {{2, 1}, {3, 2}}, 1}, {705, 501, 999, {{1, 1}}, 1}};
    db.files = {{1, "Shop", "C:\\Data\\Shop.mdf", 2},
                {2, "Shop_log", "C:\\Data\\Shop_log.ldf", 0x100042}};
    Opened o(WriteDatabase(db).Build(), /*bSql2000=*/true);
    const CDbCatalog& c = o.c();

    EXPECT_FALSE(o.app.m_bIsSql2000); // object rows of the later layout win over the option
    EXPECT_EQ(o.app.m_strVersion, " SQL Server 2008");
    EXPECT_EQ(o.session.m_pReader->DatabaseName(), "Shop");
    EXPECT_EQ(o.app.m_strCollationName, "SQL_Latin1_General_CP1_CI_AS");
    EXPECT_THAT(o.Names(),
                ElementsAre("AllDocs", "Orders", "Customers", "FK_Orders_Customers", "AllDocs"));
    ASSERT_EQ(c.m_files.size(), 2u);
    EXPECT_EQ(c.m_files[1].strLogicalName, "Shop_log");
    EXPECT_EQ(c.m_files[1].strPath, "C:\\Data\\Shop_log.ldf"); // a log is not looked for

    // Lookups: a view before a table of the same name is found; names compare exactly.
    EXPECT_EQ(c.FindObject("AllDocs", "U ").m_nId, 400);
    EXPECT_EQ(c.FindObject("Orders", "U ").m_nId, 501);
    EXPECT_EQ(c.FindObject("orders", "U ").m_nId, -1);
    EXPECT_EQ(c.FindObject("Nothing", "U ").m_strName, "");

    const auto idCol =
        std::find_if(c.m_columns.begin(), c.m_columns.end(), [](const ColumnEntry& e) {
            return e.m_nObjectId == 501 && e.m_nColumnId == 1;
        });
    ASSERT_NE(idCol, c.m_columns.end());
    EXPECT_EQ(idCol->m_strIdentity, "identity(1000,5)");
    EXPECT_EQ(idCol->m_nStatus, 5);
    for (const ColumnEntry& e : c.m_columns) {
        if (e.m_strName != "Id" || e.m_nObjectId != 501) {
            EXPECT_EQ(e.m_strIdentity, "") << e.m_strName;
        }
    }

    // A foreign key of two column pairs, with every name; one to a missing table keeps that empty.
    ASSERT_EQ(c.m_foreignKeys.size(), 3u);
    const ForeignKeyEntry& a = c.m_foreignKeys[0];
    const ForeignKeyEntry& b = c.m_foreignKeys[1];
    EXPECT_EQ(a.m_nOrdinal, 1);
    EXPECT_EQ(b.m_nOrdinal, 2);
    for (const ForeignKeyEntry* fk : {&a, &b}) {
        EXPECT_EQ(fk->m_strConstraintName, "FK_Orders_Customers");
        EXPECT_EQ(fk->m_nConstraintStatus, 99);
        EXPECT_EQ(fk->m_strParentTableName, "Orders");
        EXPECT_EQ(fk->m_strReferencedTableName, "Customers");
    }
    EXPECT_EQ(a.m_strParentColumnName, "Customer");
    EXPECT_EQ(a.m_strReferencedColumnName, "Id");
    EXPECT_EQ(b.m_strParentColumnName, "Note");
    EXPECT_EQ(b.m_strReferencedColumnName, "Region");
    EXPECT_EQ(c.m_foreignKeys[2].m_strReferencedTableName, "");

    // The stored row count of the table's heap.
    bool bFound = false;
    for (const RowsetEntry& r : c.m_rowsets)
        if (r.m_nObjectId == 501 && r.m_nIndexId == 0) bFound = r.m_nRowCount == 7;
    EXPECT_TRUE(bFound);

    // Scalar types: the built-in ones, found by system and user type.
    EXPECT_EQ(c.FindScalarType(ST_NVARCHAR, ST_NVARCHAR).m_strName, "nvarchar");
    EXPECT_EQ(c.FindScalarType(200, 200).m_nTypeId, -1);

    o.session.m_pCatalog->ResetForTeardown();
    EXPECT_TRUE(c.m_objects.empty() && c.m_columns.empty() && c.m_foreignKeys.empty());
}

TEST(Catalog, RepairNamesRestartInEachPass) {
    DatabaseSpec db;
    db.objects = {Obj(501, "", "U ", {Col(""), Col("b"), Col("")}), Obj(502, "", "U ", {Col("")})};
    Opened o(WriteDatabase(db).Build());
    EXPECT_THAT(o.Names(), ElementsAre("Repairname0", "Repairname1"));
    std::vector<std::string> cols;
    for (const ColumnEntry& e : o.c().m_columns) cols.push_back(e.m_strName);
    EXPECT_THAT(cols, ElementsAre("RepairColumn0", "b", "RepairColumn1", "RepairColumn2"));
    EXPECT_EQ(o.c().m_systemTables.RepairCounter(), 0u);
}

TEST(Catalog, IdentityTexts) {
    auto blob = [](std::initializer_list<Bytes> parts) { return Cat(parts); };
    const std::pair<Bytes, std::string> cases[] = {
        {blob({LE32(1), LE32(0), LE64(1000), LE64(0)}),
         "identity(1000,1)"},                                               // 24 bytes, 64-bit form
        {blob({LE32(0), LE32(7), LE32(3), Bytes(12, 0)}), "identity(7,3)"}, // 24 bytes, 32-bit form
        {blob({LE32(0), LE32(1), LE32(1)}), "identity(1,1)"},               // 12 bytes
        {blob({LE16(0), LE16(5), LE16(2)}), "identity(5,2)"},               // 6 bytes
        {blob({LE32(9)}), "identity(1,1)"},                                 // 4 bytes
        {blob({LE32(0), LE32(4294967295u), LE32(0)}), "identity(4294967295,1)"},
    };
    for (const auto& [b, text] : cases) EXPECT_EQ(SystemTableReader::IdentityText(b), text) << text;
}

TEST(Catalog, LegacyLayout) {
    DatabaseSpec db;
    db.bSql2000 = true;
    db.nVersion = 539;
    ObjectSpec clustered = Obj(501, "Orders", "U ", {Col("Id"), Col("Name", ST_VARCHAR, 20)});
    clustered.indexes = {IndexSpec{"PK_Orders", 1, 1, true, true, false, {1}}};
    ObjectSpec heap = Obj(502, "Heap", "U ", {Col("x")});
    ObjectSpec system = Obj(50, "sysfoo", "S ", {Col("y")});
    system.indexes = {IndexSpec{"i", 1, 1, false, true, false, {1}}};
    db.objects = {clustered, heap, system};
    Opened o(WriteDatabase(db).Build(), /*bSql2000=*/false);
    const CDbCatalog& c = o.c();
    EXPECT_TRUE(o.app.m_bIsSql2000); // no rows of the later layout: read as a 2000 catalog
    EXPECT_EQ(o.app.m_strVersion, " SQL Server 2000");
    EXPECT_THAT(o.Names(), ElementsAre("Orders", "Heap", "sysfoo"));
    EXPECT_EQ(c.m_objects[0].m_strType, "U ");
    // Only tables with a clustered index and ids above 100 become legacy tables.
    ASSERT_EQ(c.m_legacyTables.size(), 1u);
    const LegacyTableEntry& t = c.m_legacyTables[0];
    EXPECT_EQ(t.m_nObjectId, 501);
    EXPECT_EQ(t.m_strName, "Orders");
    ASSERT_EQ(t.m_columns.size(), 2u);
    EXPECT_EQ(t.m_columns[1].m_strName, "Name");
    EXPECT_TRUE(c.m_columns.empty());
    EXPECT_GE(c.m_legacyColumns.size(), 4u);
}

TEST(Catalog, TablesNamedByTheirIdsWhenNoObjectRowCanBeRead) {
    DatabaseSpec db;
    db.objects = {Obj(501, "Orders", "U ", {Col("a"), Col("b")}),
                  Obj(502, "Lines", "U ", {Col("c")})};
    Bytes file = WriteDatabase(db).Build();
    for (std::size_t p : PagesOfObject(file, 34))
        le::Put16(file.data() + p * kPageSize + 22, 0); // no slots
    Opened o(file);
    EXPECT_FALSE(o.app.m_bIsSql2000);
    EXPECT_THAT(o.Names(), ElementsAre("501", "502"));
    EXPECT_EQ(o.c().m_objects[0].m_strType, "U ");
    EXPECT_EQ(o.c().m_columns.size(), 3u);
}

TEST(Catalog, DamagedSystemPages) {
    DatabaseSpec db;
    std::vector<ObjectSpec> many;
    for (int i = 0; i < 300; ++i)
        db.objects.push_back(Obj(1000 + i, "T" + std::to_string(i), "U ", {Col("a"), Col("b")}));
    db.files = {{1, "Big", "C:\\Data\\Big.mdf", 2},
                {3, std::string(128, 'L'), "D:\\" + std::string(257, 'p'), 2}}; // no terminators
    const Bytes good = WriteDatabase(db).Build();

    // Names that fill their fields are taken whole.
    {
        Opened o(good);
        ASSERT_EQ(o.c().m_files.size(), 2u);
        EXPECT_EQ(o.c().m_files[1].strLogicalName, std::string(128, 'L'));
        EXPECT_EQ(o.c().m_files[1].strPath,
                  "/db/" + std::string(257, 'p')); // settled beside the primary
    }
    // Random bytes over every page of the objects and columns tables but the first of each:
    // the catalog keeps what it can read.
    std::mt19937 rng(11);
    Bytes bad = good;
    for (std::int32_t nObject : {34, 41})
        for (std::size_t p : PagesOfObject(bad, nObject)) {
            if (p == PagesOfObject(good, nObject).front()) continue;
            for (std::size_t i = 96; i < kPageSize; ++i)
                bad[p * kPageSize + i] = static_cast<std::uint8_t>(rng());
        }
    Opened o(bad);
    EXPECT_GT(o.c().m_objects.size(), 10u);
    EXPECT_LT(o.c().m_objects.size(), 400u);
    EXPECT_NE(o.c().FindObject("T0", "U ").m_nId, -1);
}

TEST(Catalog, ShortRows) {
    DatabaseSpec db;
    db.objects = {Obj(501, "Orders", "U ", {Col("a")})};
    Bytes file = WriteDatabase(db).Build();
    // Cut the fixed part of the column row to 20 bytes and of the object row to 16.
    auto cut = [&](std::int32_t nObject, std::uint16_t nFixedEnd) {
        for (std::size_t p : PagesOfObject(file, nObject)) {
            std::uint8_t* page = file.data() + p * kPageSize;
            for (int s = 0; s < le::I16(page + 22); ++s)
                le::Put16(page + le::U16(page + 8190 - 2 * s) + 2, nFixedEnd);
        }
    };
    cut(41, 4 + 20);
    cut(34, 4 + 16);
    Opened o(file);
    // No object row is long enough: the table is named by the id of its columns' rows, and
    // those hold only initial values.
    ASSERT_EQ(o.c().m_columns.size(), 1u);
    EXPECT_EQ(o.c().m_columns[0].m_nObjectId, -1);
    EXPECT_EQ(o.c().m_columns[0].m_nColumnId, -1);
    EXPECT_THAT(o.Names(), ElementsAre("-1"));
}
