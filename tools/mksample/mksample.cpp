// Writes the bundled sample database: a small primary file in the SQL Server 2008 layout
// with the system tables of a few user tables, a view, keys and a foreign key.
#include <cstdio>
#include <exception>

#include "support/DatabaseWriter.h"

using namespace qw;

namespace {

ColumnSpec Col(const char* name, std::uint8_t nType, std::int16_t nLength, bool bNullable = true) {
    ColumnSpec c;
    c.strName = name;
    c.nSystemType = nType;
    c.nMaxLength = nLength;
    c.bNullable = bNullable;
    if (nType == ST_NVARCHAR || nType == ST_VARCHAR || nType == ST_NTEXT)
        c.nCollationId = 872468488;
    return c;
}

ObjectSpec Table(std::int32_t nId, const char* name, std::vector<ColumnSpec> cols, const char* pk) {
    ObjectSpec t;
    t.nId = nId;
    t.strName = name;
    t.columns = std::move(cols);
    t.indexes = {IndexSpec{pk, 1, 1, true, true, false, {1}}};
    return t;
}

ObjectSpec Child(std::int32_t nId, const char* name, const char* type, std::int32_t nParent) {
    ObjectSpec o;
    o.nId = nId;
    o.strName = name;
    o.strType = type;
    o.nParentId = nParent;
    return o;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: mksample OUT.mdf\n");
        return 2;
    }
    try {
        DatabaseSpec db;
        db.strName = "QuarvelSample";
        ColumnSpec id = Col("Id", ST_INT, 4, false);
        id.identity = std::make_pair(1, 1);
        db.objects = {
            Table(245575913, "Customers",
                  {id, Col("Name", ST_NVARCHAR, 200), Col("City", ST_NVARCHAR, 60),
                   Col("Since", ST_DATETIME, 8)},
                  "PK_Customers"),
            Table(277576027, "Orders",
                  {Col("OrderId", ST_INT, 4, false), Col("CustomerId", ST_INT, 4),
                   Col("Total", ST_MONEY, 8), Col("Shipped", ST_BIT, 1),
                   Col("Note", ST_NVARCHAR, -1)},
                  "PK_Orders"),
            Table(309576141, "AllDocs",
                  {Col("Id", ST_UNIQUEIDENTIFIER, 16, false), Col("DirName", ST_NVARCHAR, 512),
                   Col("LeafName", ST_NVARCHAR, 256), Col("Size", ST_INT, 4)},
                  "PK_AllDocs"),
            Child(261575970, "PK_Customers", "PK", 245575913),
            Child(293576084, "PK_Orders", "PK", 277576027),
            Child(325576198, "PK_AllDocs", "PK", 309576141),
            Child(341576255, "FK_Orders_Customers", "F ", 277576027),
            Child(357576312, "CustomerOrders", "V ", 0),
        };
        db.foreignKeys = {{341576255, 277576027, 245575913, {{2, 1}}, 1}};
        db.files = {{1, "QuarvelSample", "C:\\Data\\QuarvelSample.mdf", 2},
                    {2, "QuarvelSample_log", "C:\\Data\\QuarvelSample_log.ldf", 0x100042}};
        WriteDatabase(db).Write(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mksample: %s\n", e.what());
        return 1;
    }
    return 0;
}
