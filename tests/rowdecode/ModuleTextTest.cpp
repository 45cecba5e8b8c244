#include <gtest/gtest.h>

#include "rowdecode/ModuleText.h"
#include "support/DatabaseWriter.h"
#include "support/RecordingNotify.h"

using namespace qw;

namespace {

std::string Hex(const std::string& bytes) {
    static const char* d = "0123456789ABCDEF";
    std::string s = "0x";
    for (unsigned char c : bytes) {
        s += d[c >> 4];
        s += d[c & 15];
    }
    return s;
}
std::string Wide(const std::string& ascii) {
    std::string s;
    for (char c : ascii) s += std::string{c, '\0'};
    return s;
}

} // namespace

TEST(ModuleText, AssemblesTheRowsOfAnObject) {
    struct Case {
        const char* name;
        std::vector<std::string> values; // of object 7, in list order
        std::string expect;
    };
    const Case cases[] = {
        {"two UTF-16 rows in list order",
         {Hex(Wide("CREATE VIEW v AS ")), Hex(Wide("SELECT 1"))},
         "CREATE VIEW v AS SELECT 1"},
        {"single-byte text", {Hex("CREATE PROC p AS RETURN")}, "CREATE PROC p AS RETURN"},
        {"the same single-byte text twice gives it once",
         {Hex("([a]>(0))"), Hex("([a]>(0))")},
         "([a]>(0))"},
        {"a differing single-byte row is appended", {Hex("abc"), Hex("def")}, "abcdef"},
        {"a second UTF-16 row is always appended", {Hex(Wide("ab")), Hex(Wide("ab"))}, "abab"},
        {"Windows-1252 single-byte text", {Hex("caf\xE9")}, "caf\xC3\xA9"},
        {"empty and NULL values add nothing", {"0x", "", "NULL", Hex("x")}, "x"},
        {"odd length: the lone digit is a high half", {"0x41424"}, "AB@"},
        {"lower-case digits", {"0x616263"}, "abc"},
    };
    for (const Case& c : cases) {
        std::vector<ValueTriple> triples{{"70", "0", Hex("other object")}};
        for (const std::string& v : c.values) triples.push_back({"7", "0", v});
        EXPECT_EQ(AssembleModuleText(triples, "7"), c.expect) << c.name;
    }
    EXPECT_EQ(AssembleModuleText({{"7", "0", Hex("x")}}, "77"), "");
}

TEST(ModuleText, ColumnDescriptionsAndScripts) {
    TableColumn id;
    id.m_strName = "id";
    id.m_strType = "int(4)";
    id.m_bPrimaryKey = true;
    TableColumn code = id;
    code.m_strName = "code";
    code.m_bPrimaryKey = false;
    code.m_bUniqueConstraint = true;
    TableColumn cust = code;
    cust.m_strName = "cust";
    cust.m_bUniqueConstraint = false;
    cust.m_bForeignKey = true;
    cust.m_strReferencedTable = "Customers";
    cust.m_strReferencedColumn = "Id";
    TableColumn unnamed;
    EXPECT_EQ(ColumnDescription(id), "id  int(4)[Primary Key]");
    EXPECT_EQ(ColumnDescription(code), "code  int(4)[Unique]");
    EXPECT_EQ(ColumnDescription(cust), "cust  int(4)  (foreign key) references Customers( Id)");
    EXPECT_EQ(ColumnDescription(unnamed), "");
    EXPECT_EQ(CheckScript("T", "CK_x", "([a]>(0))"),
              "ALTER TABLE  [dbo].[T] WITH NOCHECK ADD CONSTRAINT[CK_x] CHECK ([a]>(0))");

    // A table of the later layout: its name and the columns the resolution marked as keys.
    DatabaseSpec db;
    ObjectSpec t;
    t.nId = 501;
    t.strName = "Orders";
    db.objects = {t};
    CMemoryFileSource files;
    files.Add("/d/db.mdf", WriteDatabase(db).Build());
    CDravoltBrevantProjApp app;
    RecordingNotify n;
    CRecoverySession s;
    ASSERT_TRUE(OpenSession("/d/db.mdf", s, app, n, files));
    CDbCatalog& c = *s.m_pCatalog;
    TableColumn id2 = id;
    id2.m_strName = "id2";
    EXPECT_EQ(PrimaryKeyScript(c, 501, {id, code, id2}),
              "ALTER TABLE Orders ADD PRIMARY KEY ( id , id2 )");
    EXPECT_EQ(UniqueScript(c, 501, "UQ_code", {id, code}),
              "ALTER TABLE[dbo].[Orders] WITH NOCHECK ADD CONSTRAINT[UQ_code] UNIQUE CLUSTERED "
              "\r\n(\r\n[ code ] DSC\r\n)");
    // A table of the 2000 layout: its columns whose type status has bit 0 set.
    LegacyTableEntry legacy;
    legacy.m_nObjectId = 601;
    legacy.m_strName = "T";
    legacy.m_columns = {{"a", "", 1, 1}, {"x", "", 2, 2}, {"b", "", 3, 1}};
    c.m_legacyTables = {legacy};
    EXPECT_EQ(PrimaryKeyScript(c, 601, {}), "ALTER TABLE T ADD PRIMARY KEY ( a , b )");
    EXPECT_EQ(PrimaryKeyScript(c, 999, {}), "ALTER TABLE  ADD PRIMARY KEY ()");
}
