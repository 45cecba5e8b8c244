// Writes whole databases from a description: the boot page and the system-table rows that
// describe objects, columns, indexes, keys, foreign keys and files, in the layout of SQL
// Server 2005 and later or of SQL Server 2000, so the catalog can be loaded from them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/DbWriter.h"

class CMdfReader;

namespace qw {

// System type ids as stored in the column and type tables.
enum : std::uint8_t {
    ST_IMAGE = 34,
    ST_TEXT = 35,
    ST_UNIQUEIDENTIFIER = 36,
    ST_DATE = 40,
    ST_TIME = 41,
    ST_DATETIME2 = 42,
    ST_DATETIMEOFFSET = 43,
    ST_TINYINT = 48,
    ST_SMALLINT = 52,
    ST_INT = 56,
    ST_SMALLDATETIME = 58,
    ST_REAL = 59,
    ST_MONEY = 60,
    ST_DATETIME = 61,
    ST_FLOAT = 62,
    ST_SQL_VARIANT = 98,
    ST_NTEXT = 99,
    ST_BIT = 104,
    ST_DECIMAL = 106,
    ST_NUMERIC = 108,
    ST_SMALLMONEY = 122,
    ST_BIGINT = 127,
    ST_HIERARCHYID = 240,
    ST_GEOMETRY = 240,
    ST_VARBINARY = 165,
    ST_VARCHAR = 167,
    ST_BINARY = 173,
    ST_CHAR = 175,
    ST_TIMESTAMP = 189,
    ST_NVARCHAR = 231,
    ST_NCHAR = 239,
    ST_XML = 241,
    ST_SYSNAME = 231,
};

struct ColumnSpec {
    std::string strName; // empty: the row is written without a name
    std::uint8_t nSystemType = ST_INT;
    std::int32_t nUserType = -1; // -1: the same as the system type
    std::int16_t nMaxLength = 4; // bytes; -1 for the max types
    std::uint8_t nPrecision = 10;
    std::uint8_t nScale = 0;
    std::int32_t nCollationId = 0;
    bool bNullable = true;
    bool bSparse = false;
    // Identity columns: the column status becomes 5 and the seed/increment blob is written.
    std::optional<std::pair<std::int64_t, std::int64_t>> identity;
    // The last identity value handed out; none: no row was inserted yet (the blob then holds the
    // seed and its "no value yet" flag, as for a new table).
    std::optional<std::int64_t> nIdentityLast;
    std::optional<std::int32_t> nStatus; // overrides the status the flags above give
    std::int32_t nDefaultObjectId = 0;
    std::int32_t nCheckObjectId = 0;
};

struct IndexSpec {
    std::string strName;
    std::int32_t nIndexId = 1; // 0 heap, 1 clustered, 2+ nonclustered
    std::uint8_t nType = 1;    // 0 heap, 1 clustered, 2 nonclustered
    bool bPrimaryKey = false;
    bool bUnique = false;
    bool bUniqueConstraint = false;
    std::vector<std::int32_t> columnIds; // key columns, in key order
    // Storage ids; 0: the writer's own (see StorageIdsOf).
    std::int64_t nRowsetId = 0, nAllocUnitId = 0;
};

struct ObjectSpec {
    std::int32_t nId = 0;
    std::string strName;        // empty: the row is written without a name
    std::string strType = "U "; // two characters
    std::int32_t nParentId = 0;
    std::int32_t nSchemaId = 1;
    std::int32_t nStatus = 0;
    std::optional<std::int32_t> nInternalProperty; // none: the column count for tables, else 0
    std::uint64_t nCreated = 0, nModified = 0;     // datetime values as stored (8 bytes)
    std::vector<ColumnSpec> columns;               // column ids 1, 2, ... in this order
    std::vector<IndexSpec> indexes; // for tables: a heap (index 0) is added when no index
                                    // has id 0 or 1
    std::int64_t nRowCount = 0;
    // Data pages of the table (by physical position in the primary file) that the writer
    // should record as its first page, root page and first IAM page; 0 when none.
    std::int32_t nFirstPage = 0, nRootPage = 0, nFirstIamPage = 0;
};

struct ForeignKeySpec {
    std::int32_t nConstraintId = 0; // also needs an ObjectSpec of type "F " with this id
    std::int32_t nParentTableId = 0;
    std::int32_t nReferencedTableId = 0;
    std::vector<std::pair<std::int32_t, std::int32_t>> columnPairs; // parent col, referenced col
    std::int32_t nReferencedIndexId = 1; // the referenced table's key index
};

struct FileSpec {
    std::int16_t nFileId = 1;
    std::string strLogicalName;
    std::string strPath; // as the server recorded it (a Windows path, say)
    std::int32_t nStatus = 2;
};

struct ScalarTypeSpec {
    std::int32_t nTypeId = 0;
    std::int32_t nSchemaId = 4;
    std::string strName;
    std::uint8_t nSystemType = 0;
    std::int16_t nMaxLength = 0;
    std::uint8_t nPrecision = 0, nScale = 0;
    std::int32_t nCollationId = 0;
};

// The stored text of a module (view, procedure, function, trigger, default, check constraint):
// one row of the value table (sysobjvalues) holding the whole text in-row, so it must fit on a
// page. Texts of the later layout only.
struct ModuleSpec {
    std::int32_t nObjectId = 0; // also needs an ObjectSpec with this id
    std::string strText;        // UTF-8
    // The sub-object id; none: 1 (the procedure number) for a procedure, else 0.
    std::optional<std::int32_t> nSubObjectId;
    // UTF-16 instead of single bytes (written as given); none: UTF-16 only when the text has a
    // non-ASCII character.
    std::optional<bool> bWide;
};

struct DatabaseSpec {
    bool bSql2000 = false; // the SQL Server 2000 system tables instead
    // Boot page version; it also picks the row layouts: below 706 those of 655, from 706 those
    // of 706 (a longer object row and index-column row, no fragment ids), from 852 a longer
    // index-column row again. Set 539 for the 2000 layout yourself.
    std::uint16_t nVersion = 655;
    std::string strName = "Sample";        // boot page name (written as UTF-16, blank padded)
    std::int32_t nCollationId = 872468488; // SQL_Latin1_General_CP1_CI_AS
    std::vector<ObjectSpec> objects;
    std::vector<ForeignKeySpec> foreignKeys;
    std::vector<ModuleSpec> modules; // the later layout only
    std::vector<FileSpec> files;     // empty: one row for the primary file
    // Empty: the built-in types (int, nvarchar, ...) with schema 4 as the server has them.
    std::vector<ScalarTypeSpec> scalarTypes;
    std::size_t nPages = 0; // 0: as many as the writer needs
};

// Lays out the database: allocation pages, the boot page at 9, and from page 16 on the pages
// of every system table the catalog reads (several pages when the rows need them). Pages the
// test wants for table data are left empty at the positions the objects name; the writer
// places its own pages after the highest position any object names.
// The file has at least spec.nPages pages.
FileBuilder WriteDatabase(const DatabaseSpec& spec);

// The rowset and in-row allocation unit the writer gives an index (0 heap, 1 clustered, 2+) of
// a table: ids (256 << 48) | (n << 16) with a counter n over the tables' indexes in spec order,
// as the server numbers them, unless the IndexSpec names its own. Zeros when the object or
// index is not in the spec.
struct StorageIds {
    std::int64_t nRowsetId = 0;
    std::int64_t nAllocUnitId = 0;
};
StorageIds StorageIdsOf(const DatabaseSpec& spec, std::int32_t nObjectId, std::int32_t nIndexId);
// The object id and index id the header of a page of an allocation unit carries.
std::int32_t PageObjectIdOf(std::int64_t nAllocUnitId);
std::int16_t PageIndexIdOf(std::int64_t nAllocUnitId);

// UTF-8 text as UTF-16LE, the form of every name in the system tables.
Bytes Utf16Text(std::string_view utf8);

// A column and an object of a description with the fields a test sets most often.
inline ColumnSpec Col(std::string strName, std::uint8_t nType = ST_INT, std::int16_t nLength = 4,
                      std::int32_t nCollation = 0) {
    ColumnSpec c;
    c.strName = std::move(strName);
    c.nSystemType = nType;
    c.nMaxLength = nLength;
    c.nCollationId = nCollation;
    return c;
}

inline ObjectSpec Obj(std::int32_t nId, std::string strName, std::string strType,
                      std::vector<ColumnSpec> columns = {}, std::int32_t nParentId = 0) {
    ObjectSpec o;
    o.nId = nId;
    o.strName = std::move(strName);
    o.strType = std::move(strType);
    o.columns = std::move(columns);
    o.nParentId = nParentId;
    return o;
}

// The single rows, for tests that compare them with real rows or damage them.
Bytes ObjectRow2005(const ObjectSpec& o, std::uint16_t nVersion = 655); // sysschobjs
Bytes ColumnRow2005(std::int32_t nObjectId, std::int32_t nColumnId, const ColumnSpec& c,
                    std::uint16_t nVersion = 655); // syscolpars
Bytes FileRow(const FileSpec& f);                  // sysfiles1
// sysobjvalues; bProcedure: the sub-object id defaults to the procedure number 1.
Bytes ModuleRow(const ModuleSpec& m, bool bProcedure);
Bytes ObjectRow2000(const ObjectSpec& o); // sysobjects
// nRowOffset: the column's offset in the row's fixed part, or -n for the n-th variable column.
Bytes ColumnRow2000(std::int32_t nObjectId, std::int32_t nColumnId, const ColumnSpec& c,
                    std::uint16_t nRowOffset); // syscolumns

// A system-table row read back from a file, with the parts the catalog decodes, copied out of
// its page: for tests that check what the writer (or the server) stored.
struct StoredRow {
    std::int32_t nPage = 0;
    int nRecordType = 0;
    Bytes fixed;
    int nColumns = 0;
    Bytes nullBitmap;
    std::vector<Bytes> var;
    Bytes record;
    bool IsNull(int j) const {
        return j >= 0 && j / 8 < static_cast<int>(nullBitmap.size()) &&
               ((nullBitmap[static_cast<std::size_t>(j / 8)] >> (j % 8)) & 1);
    }
};
// Every row on the data pages of one system object, in page map and slot order.
std::vector<StoredRow> StoredRows(CMdfReader& reader, std::int32_t nObjectId);

// The column order of a table's rows (a clustered index's key columns first) and where each
// column lies: the leaf offset (from the row start) of a fixed column, -n for the n-th
// variable column, and the bit of a bit column. Agrees with the rowset columns the database
// writer records.
struct ColumnPlace {
    std::int16_t nOffset = 0;
    std::int16_t nBit = 0;
    int nPosition = 0; // 1-based position in the row (its null bit + 1)
};
std::vector<ColumnPlace> PlaceTableColumns(const ObjectSpec& o, bool bSql2000);
bool IsVariableColumn(const ColumnSpec& c);

// The boot page (page 9 of the primary file).
PageBuilder BootPage(std::uint16_t nVersion, const std::string& strName, std::int32_t nCollationId);

} // namespace qw
