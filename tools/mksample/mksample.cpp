// Writes the bundled sample database: a small primary file in the SQL Server 2008 layout
// with a few user tables and their rows, a view, keys and a foreign key.
#include <cstdio>
#include <exception>
#include <fstream>
#include <stdexcept>

#include "support/TableWriter.h"

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
        // The tables with rows; the other objects stay in the description.
        std::vector<TableSpec> tables;
        for (auto it = db.objects.begin(); it != db.objects.end();) {
            if (it->strType == "U ") {
                tables.push_back({*it, {}, 0, 1});
                it = db.objects.erase(it);
            } else {
                ++it;
            }
        }
        const char* names[] = {"Ana Lima", "Bjørn Dæhlie", "Chen Wei", "Dara O'Brien",
                               "Émile Zola"};
        const char* cities[] = {"Lisboa", "Oslo", "Beijing", "Dublin", "Paris"};
        for (int i = 0; i < 5; ++i)
            tables[0].rows.push_back(
                {{Int(i + 1), Cell{Cell::Kind::Value, Utf16Text(names[i])},
                  Cell{Cell::Kind::Value, Utf16Text(cities[i])},
                  Val(Cat({LE32(static_cast<std::uint32_t>(300 * i)),
                           LE32(static_cast<std::uint32_t>(40000 + 365 * i))}))}});
        for (int i = 0; i < 12; ++i)
            tables[1].rows.push_back(
                {{Int(1000 + i), Int(1 + i % 5),
                  Val(LE64(static_cast<std::uint64_t>(125000 + 37500 * i))), Bit(i % 3 == 0),
                  i % 4 ? NText("deliver to the back door") : Null()}});
        for (int i = 0; i < 3; ++i) {
            Bytes guid(16);
            for (int k = 0; k < 16; ++k)
                guid[static_cast<std::size_t>(k)] =
                    static_cast<std::uint8_t>(0x11 * (k + 1) + 7 * i);
            const char* leaf[] = {"Budget 2026.xlsx", "Minutes.docx", "Logo.png"};
            tables[2].rows.push_back({{Val(guid), NText("sites/finance/Shared Documents"),
                                       NText(leaf[i]), Int(20480 + 1000 * i)}});
        }
        const Bytes file = WriteTables(db, tables).file;
        std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()),
                  static_cast<std::streamsize>(file.size()));
        if (!out) throw std::runtime_error(std::string("cannot write ") + argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mksample: %s\n", e.what());
        return 1;
    }
    return 0;
}
