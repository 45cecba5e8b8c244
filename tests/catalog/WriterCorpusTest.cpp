// The database writer against real files: a table described with the field values a real
// database holds comes out as the same system-table rows, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "pagestore/CMdfReader.h"
#include "support/DatabaseWriter.h"
#include "support/RecordingNotify.h"
#include "support/TestFiles.h"

using namespace qw;

namespace {

ColumnSpec Column(const char* name, std::uint8_t nType, std::int16_t nLength, std::uint8_t nPrec,
                  std::int32_t nCollation, bool bNullable) {
    ColumnSpec c;
    c.strName = name;
    c.nSystemType = nType;
    c.nMaxLength = nLength;
    c.nPrecision = nPrec;
    c.nCollationId = nCollation;
    c.bNullable = bNullable;
    return c;
}

ColumnSpec Identity(ColumnSpec c, std::int64_t nLast) {
    c.identity = std::make_pair(1, 1);
    c.nIdentityLast = nLast;
    return c;
}

ObjectSpec Object(std::int32_t nId, const char* name, const char* type, std::int32_t nParent,
                  std::int32_t nStatus, std::uint64_t nCreated, std::uint64_t nModified) {
    ObjectSpec o;
    o.nId = nId;
    o.strName = name;
    o.strType = type;
    o.nParentId = nParent;
    o.nStatus = nStatus;
    o.nCreated = nCreated;
    o.nModified = nModified;
    return o;
}

IndexSpec PrimaryKey(const char* name, std::int32_t nColumn, std::int64_t nRowset,
                     std::int64_t nUnit) {
    IndexSpec i;
    i.strName = name;
    i.bPrimaryKey = true;
    i.columnIds = {nColumn};
    i.nRowsetId = nRowset;
    i.nAllocUnitId = nUnit;
    return i;
}

constexpr std::int32_t kLatin1 = 872468488;
constexpr std::int32_t kTableStatus = 0xE0000;

// db1.mdf (version 655): the table categories and its primary key.
DatabaseSpec Db1() {
    DatabaseSpec db;
    db.nVersion = 655;
    ObjectSpec t = Object(21575115, "categories", "U ", 0, kTableStatus, 0x0000AE5D0106BEB8,
                          0x0000AE5D0106BEC5);
    t.columns = {Identity(Column("id", ST_INT, 4, 10, 0, false), 12),
                 Column("category", ST_VARCHAR, 50, 0, kLatin1, true),
                 Column("status", ST_TINYINT, 1, 3, 0, true)};
    t.indexes = {PrimaryKey("PK_categories", 1, 0x0100000000120000, 0x0100000000230000)};
    t.nRowCount = 3;
    t.nFirstPage = t.nRootPage = 168;
    t.nFirstIamPage = 169;
    db.objects = {t, Object(37575172, "PK_categories", "PK", 21575115, 0, 0x0000AE5D0106BEC0,
                            0x0000AE5D0106BEC0)};
    return db;
}

// vn3.mdf (version 852): the table HANG, whose clustered key is its second column.
DatabaseSpec Vn3() {
    DatabaseSpec db;
    db.nVersion = 852;
    ObjectSpec t =
        Object(277576027, "HANG", "U ", 0, kTableStatus, 0x0000AC43015979A3, 0x0000AC43015A145F);
    t.columns = {Identity(Column("MaHang", ST_INT, 4, 10, 0, false), 4),
                 Column("TenHang", ST_NVARCHAR, 100, 0, kLatin1, false),
                 Column("SoLuong", ST_INT, 4, 10, 0, false),
                 Column("DonGiaNhap", ST_FLOAT, 8, 53, 0, false),
                 Column("DonGiaBan", ST_FLOAT, 8, 53, 0, false),
                 Column("HinhAnh", ST_VARCHAR, 400, 0, kLatin1, false),
                 Column("GhiChu", ST_NVARCHAR, 40, 0, kLatin1, false),
                 Column("MaNV", ST_VARCHAR, 20, 0, kLatin1, false)};
    t.indexes = {
        PrimaryKey("PK__HANG__E6C9BFA99CA3C557", 2, 0x0100000000290000, 0x0100000000790000)};
    t.nRowCount = 3;
    t.nFirstPage = t.nRootPage = 344;
    t.nFirstIamPage = 345;
    db.objects = {t, Object(293576084, "PK__HANG__E6C9BFA99CA3C557", "PK", 277576027, 4,
                            0x0000AC43015979A4, 0x0000AC43015979A4)};
    return db;
}

// How many leading bytes of each table's fixed part identify a row.
const std::map<std::int32_t, std::size_t> kKeyBytes = {
    {34, 4},  // object id
    {41, 10}, // object id, number, column id
    {7, 8},   // allocation unit id
    {5, 8},   // rowset id
    {3, 12},  // rowset id, rowset column id
    {54, 8},  // object id, index id
    {55, 12}, // object id, index id, ordinal
};

Bytes Key(const StoredRow& r, std::size_t n) {
    return Bytes(r.fixed.begin(),
                 r.fixed.begin() + static_cast<std::ptrdiff_t>(std::min(n, r.fixed.size())));
}

} // namespace

TEST(WriterCorpus, TablesDescribedFromRealRowsComeOutAsTheRealRows) {
    QUARVEL_REQUIRE_CORPUS();
    struct Case {
        const char* pFile;
        DatabaseSpec spec;
        std::size_t nRowsExpected;
    };
    const Case cases[] = {
        // 2 objects, 3 columns, 1 unit, 1 rowset, 3 rowset columns, 1 index, 1 index column.
        {"db1.mdf", Db1(), 12},
        {"vn3.mdf", Vn3(), 22},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pFile);
        CDravoltBrevantProjApp app;
        RecordingNotify notify;
        CMdfReader real((CorpusDir() / c.pFile).string(), app, notify);
        ASSERT_TRUE(real.IsOpen());
        CMemoryFileSource source;
        source.Add("/mem/written.mdf", WriteDatabase(c.spec).Build());
        CMdfReader written("/mem/written.mdf", app, notify, source);
        ASSERT_TRUE(written.IsOpen());

        std::size_t nCompared = 0;
        for (const auto& [nObject, nKey] : kKeyBytes) {
            std::map<Bytes, StoredRow> byKey;
            for (StoredRow& r : StoredRows(real, nObject))
                if (r.nRecordType == 0) byKey.emplace(Key(r, nKey), std::move(r));
            for (StoredRow& mine : StoredRows(written, nObject)) {
                const auto it = byKey.find(Key(mine, nKey));
                ASSERT_NE(it, byKey.end())
                    << "object " << nObject << ": no real row like page " << mine.nPage;
                Bytes expected = it->second.record;
                // The modification counter of a rowset column counts the server's updates.
                if (nObject == 3)
                    std::copy(expected.begin() + 20, expected.begin() + 28,
                              mine.record.begin() + 20);
                EXPECT_EQ(mine.record, expected) << "object " << nObject;
                ++nCompared;
            }
        }
        EXPECT_EQ(nCompared, c.nRowsExpected);
    }
}
