#include "support/DatabaseWriter.h"

#include <algorithm>
#include <stdexcept>

#include "pagestore/Bytes.h"
#include "pagestore/CMdfReader.h"

namespace qw {

namespace {

// Row layouts change with the on-disk version: 706 lengthens the object row and the index
// column row and drops the fragment id of the allocation unit and rowset column rows; 852
// lengthens the index column row once more.
struct Layout {
    bool bObjectStatus2 = false;    // sysschobjs: a second status word at 40 (fixed part 44)
    bool bFragmentIds = true;       // sysallocunits at 65, sysrscols at 50: int32 fragment id
    int nIndexColumnExtra = 0;      // sysiscols: extra property bytes after offset 22
    std::int32_t nRowsetStatus = 0; // sysrowsets: bits every rowset status carries
    bool bKeyNullBits = false;      // sysrscols: key ordinal in the high half of the null bit
    bool bIndexDataSpaces = true;   // sysidxstats: data space ids at 19 and 23 (later zero)
};

Layout LayoutOf(std::uint16_t nVersion) {
    Layout l;
    if (nVersion >= 706) {
        l.bObjectStatus2 = true;
        l.bFragmentIds = false;
        l.nIndexColumnExtra = nVersion >= 852 ? 2 : 1;
        l.nRowsetStatus = 0x40;
        l.bKeyNullBits = true;
        l.bIndexDataSpaces = false;
    }
    return l;
}

// A fixed part built field by field, little-endian.
class Fields {
public:
    Fields& U8(std::uint8_t v) {
        m_b.push_back(v);
        return *this;
    }
    Fields& I16(std::int32_t v) { return Put(LE16(static_cast<std::uint16_t>(v))); }
    Fields& I32(std::int64_t v) { return Put(LE32(static_cast<std::uint32_t>(v))); }
    Fields& I64(std::int64_t v) { return Put(LE64(static_cast<std::uint64_t>(v))); }
    Fields& Ptr(std::int32_t nPage, std::int16_t nFile) {
        return I32(nPage).I16(nPage == 0 ? 0 : nFile);
    }
    Fields& Put(const Bytes& b) {
        m_b.insert(m_b.end(), b.begin(), b.end());
        return *this;
    }
    const Bytes& Get() const { return m_b; }

private:
    Bytes m_b;
};

// A system-table row: one fixed part, the null bitmap of nColumns columns with the given
// columns null, and the variable columns.
Bytes SystemRow(const Bytes& fixed, int nColumns, std::initializer_list<int> nulls,
                const std::vector<Bytes>& var = {}) {
    RowBuilder rb;
    rb.Fixed(fixed).Columns(nColumns);
    for (int n : nulls) rb.Null(n);
    for (const Bytes& v : var) rb.Var(v);
    return rb.Build();
}

Bytes Padded(std::string_view text, std::size_t nUnits) {
    Bytes b = Utf16Text(text);
    b.resize(std::min(b.size(), 2 * nUnits) & ~std::size_t{1});
    while (b.size() < 2 * nUnits) {
        b.push_back(' ');
        b.push_back(0);
    }
    return b;
}

bool IsTable(const ObjectSpec& o) {
    return o.strType == "U " || o.strType == "S " || o.strType == "IT" || !o.indexes.empty();
}

bool IsVariableType(std::uint8_t t) {
    switch (t) {
    case ST_IMAGE:
    case ST_TEXT:
    case ST_NTEXT:
    case ST_SQL_VARIANT:
    case ST_VARBINARY:
    case ST_VARCHAR:
    case ST_NVARCHAR:
    case ST_HIERARCHYID:
    case ST_XML:
        return true;
    default:
        return false;
    }
}

bool IsStringOrBinary(std::uint8_t t) {
    return t == ST_VARBINARY || t == ST_VARCHAR || t == ST_BINARY || t == ST_CHAR ||
           t == ST_NVARCHAR || t == ST_NCHAR;
}

std::int32_t UserType(const ColumnSpec& c) {
    return c.nUserType < 0 ? c.nSystemType : c.nUserType;
}

// The type information word of a rowset column: the system type in the low byte, then the
// length, or precision and scale, or scale, for the types that carry them.
std::int32_t TypeInfo(const ColumnSpec& c) {
    std::uint32_t ti = c.nSystemType;
    if (IsStringOrBinary(c.nSystemType))
        ti |= static_cast<std::uint32_t>(c.nMaxLength < 0 ? 0 : c.nMaxLength) << 8;
    else if (c.nSystemType == ST_DECIMAL || c.nSystemType == ST_NUMERIC)
        ti |= (static_cast<std::uint32_t>(c.nPrecision) << 8) |
              (static_cast<std::uint32_t>(c.nScale) << 16);
    else if (c.nSystemType == ST_TIME || c.nSystemType == ST_DATETIME2 ||
             c.nSystemType == ST_DATETIMEOFFSET)
        ti |= static_cast<std::uint32_t>(c.nScale) << 8;
    return static_cast<std::int32_t>(ti);
}

// Where each column of a table lies in its rows: the leaf offset of a fixed column (from the
// row start, so the first is 4), -n for the n-th variable column, and the bit position of a bit
// column, eight bit columns sharing one byte.
struct Placement {
    std::int16_t nOffset = 0;
    std::int16_t nBit = 0;
};

// Columns are placed in their physical order (indexes into `columns`); the result is by column.
std::vector<Placement> PlaceColumns(const std::vector<ColumnSpec>& columns,
                                    const std::vector<std::size_t>& order) {
    std::vector<Placement> out(columns.size());
    int nFixed = 4, nVar = 0, nBitsLeft = 0, nBitByte = 0, nBit = 0;
    for (std::size_t i : order) {
        const ColumnSpec& c = columns[i];
        if (IsVariableType(c.nSystemType)) {
            out[i].nOffset = static_cast<std::int16_t>(-++nVar);
        } else if (c.nSystemType == ST_BIT) {
            if (nBitsLeft == 0) {
                nBitByte = nFixed++;
                nBitsLeft = 8;
                nBit = 0;
            }
            out[i] = {static_cast<std::int16_t>(nBitByte), static_cast<std::int16_t>(nBit++)};
            --nBitsLeft;
        } else {
            out[i].nOffset = static_cast<std::int16_t>(nFixed);
            nFixed += std::max<int>(c.nMaxLength, 0);
        }
    }
    return out;
}

std::vector<std::size_t> ColumnOrder(std::size_t n) {
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    return order;
}

// The physical order of a table's columns: a clustered index stores its key columns first,
// in key order, then the others by column id.
std::vector<std::size_t> PhysicalOrder(const std::vector<ColumnSpec>& columns,
                                       const IndexSpec& index) {
    if (index.nIndexId != 1) return ColumnOrder(columns.size());
    std::vector<std::size_t> order;
    for (std::int32_t id : index.columnIds)
        if (id >= 1 && static_cast<std::size_t>(id) <= columns.size() &&
            std::find(order.begin(), order.end(), static_cast<std::size_t>(id - 1)) == order.end())
            order.push_back(static_cast<std::size_t>(id - 1));
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (std::find(order.begin(), order.end(), i) == order.end()) order.push_back(i);
    return order;
}

std::int32_t ColumnStatus(const ColumnSpec& c) {
    if (c.nStatus) return *c.nStatus;
    std::int32_t s = 0;
    if (!c.bNullable || c.identity) s |= 1;
    if (c.identity) s |= 4;
    if (IsStringOrBinary(c.nSystemType)) s |= 2; // stored with ANSI padding
    if (c.bSparse) s |= 0x1000000;
    return s;
}

// Identity blob: last value, seed and increment at the width of the column's type, then a byte
// that is 1 while no value has been handed out.
Bytes IdentityBlob(const ColumnSpec& c) {
    std::size_t nWidth = 4;
    switch (c.nSystemType) {
    case ST_TINYINT:
        nWidth = 1;
        break;
    case ST_SMALLINT:
        nWidth = 2;
        break;
    case ST_BIGINT:
        nWidth = 8;
        break;
    case ST_DECIMAL:
    case ST_NUMERIC:
        nWidth = static_cast<std::size_t>(std::clamp<int>(c.nMaxLength, 1, 8));
        break;
    default:
        break;
    }
    const auto [nSeed, nIncrement] = *c.identity;
    Bytes b;
    for (std::int64_t v : {c.nIdentityLast.value_or(nSeed), nSeed, nIncrement}) {
        const Bytes x = LE64(static_cast<std::uint64_t>(v));
        b.insert(b.end(), x.begin(), x.begin() + static_cast<std::ptrdiff_t>(nWidth));
    }
    b.push_back(c.nIdentityLast ? 0 : 1);
    return b;
}

// One rowset of a table: the index it stores, its ids and the pages the test names.
struct Rowset {
    const ObjectSpec* pObject = nullptr;
    IndexSpec index;
    StorageIds ids;
};

std::vector<IndexSpec> IndexesOf(const ObjectSpec& o) {
    std::vector<IndexSpec> out = o.indexes;
    const bool bBase =
        std::any_of(out.begin(), out.end(), [](const IndexSpec& i) { return i.nIndexId <= 1; });
    if (!bBase && IsTable(o)) {
        IndexSpec heap;
        heap.nIndexId = 0;
        heap.nType = 0;
        out.insert(out.begin(), heap);
    }
    std::stable_sort(out.begin(), out.end(), [](const IndexSpec& a, const IndexSpec& b) {
        return a.nIndexId < b.nIndexId;
    });
    return out;
}

constexpr std::int64_t kUserIdBase = std::int64_t{256} << 48;
// First counter values: above the object ids of the system tables the reader maps, so no data
// page of a user table is taken for a system page.
constexpr std::int64_t kFirstRowsetCounter = 0x1000;
constexpr std::int64_t kFirstAllocUnitCounter = 0x1001;

std::vector<Rowset> RowsetsOf(const DatabaseSpec& spec) {
    std::vector<Rowset> out;
    std::int64_t n = 0;
    for (const ObjectSpec& o : spec.objects) {
        if (!IsTable(o)) continue;
        for (const IndexSpec& i : IndexesOf(o)) {
            Rowset r{&o, i, {}};
            r.ids.nRowsetId =
                i.nRowsetId ? i.nRowsetId : kUserIdBase | ((kFirstRowsetCounter + 2 * n) << 16);
            r.ids.nAllocUnitId = i.nAllocUnitId
                                     ? i.nAllocUnitId
                                     : kUserIdBase | ((kFirstAllocUnitCounter + 2 * n) << 16);
            ++n;
            out.push_back(r);
        }
    }
    return out;
}

// ---- 2005 and later rows ----

Bytes AllocUnitRow(const Rowset& r, const Layout& l) {
    const ObjectSpec& o = *r.pObject;
    const bool bBase = r.index.nIndexId <= 1;
    const std::int32_t nFirst = bBase ? o.nFirstPage : 0, nRoot = bBase ? o.nRootPage : 0,
                       nIam = bBase ? o.nFirstIamPage : 0;
    const std::int64_t nData = nFirst ? 1 : 0, nUsed = nData + (nIam ? 1 : 0);
    Fields f;
    f.I64(r.ids.nAllocUnitId).U8(1).I64(r.ids.nRowsetId).I32(0).I16(1);
    f.Ptr(nFirst, 1).Ptr(nRoot, 1).Ptr(nIam, 1).I64(nUsed).I64(nData).I64(nUsed);
    if (l.bFragmentIds) f.I32(1);
    return SystemRow(f.Get(), l.bFragmentIds ? 12 : 11, {});
}

int VarMaxLength(const ColumnSpec& c) {
    return 2 + (c.nMaxLength < 0 ? 24 : c.nMaxLength); // offset entry and value (or root)
}

Bytes RowsetRow(const Rowset& r, const Layout& l) {
    const ObjectSpec& o = *r.pObject;
    const std::int32_t nIndex = r.index.nIndexId;
    int nMinLeaf = 4, nVarMax = 0, nBits = 0;
    for (const ColumnSpec& c : o.columns) {
        if (IsVariableType(c.nSystemType))
            nVarMax += VarMaxLength(c);
        else if (c.nSystemType == ST_BIT)
            nMinLeaf += nBits++ % 8 == 0 ? 1 : 0;
        else
            nMinLeaf += std::max<int>(c.nMaxLength, 0);
    }
    const auto nCols = static_cast<int>(o.columns.size());
    const int nMaxLeaf = std::min(8060, nMinLeaf + 2 + (nCols + 7) / 8 + 2 + nVarMax);
    // Rows of the upper levels of a clustered index: status byte, the key, the child page.
    int nMinInternal = 0, nMaxInternal = 0;
    if (nIndex == 1) {
        int nKeyFixed = 0, nKeyVar = 0;
        for (std::int32_t id : r.index.columnIds) {
            if (id < 1 || static_cast<std::size_t>(id) > o.columns.size()) continue;
            const ColumnSpec& c = o.columns[static_cast<std::size_t>(id - 1)];
            if (IsVariableType(c.nSystemType))
                nKeyVar += VarMaxLength(c);
            else
                nKeyFixed += std::max<int>(c.nMaxLength, 0);
        }
        nMinInternal = 1 + nKeyFixed + 6;
        nMaxInternal = nMinInternal + 3 + (nKeyVar ? 2 + nKeyVar : 1);
    }
    const std::int32_t nStatus =
        (nIndex <= 1 ? 0x200 : 0) | (nIndex == 0 ? 2 : 6) | l.nRowsetStatus;
    Fields f;
    f.I64(r.ids.nRowsetId).U8(1).I32(o.nId).I32(nIndex).I32(1);
    f.I32(nStatus).I16(0).I64(nIndex <= 1 ? o.nRowCount : 0).U8(0).U8(0);
    f.I16(nCols).I32(nMaxLeaf).I16(nMaxInternal).I16(nMinLeaf).I16(nMinInternal).I32(1);
    return SystemRow(f.Get(), 18, {15, 16}); // the rowset guid and lock resource are null
}

std::vector<Bytes> RowsetColumnRows(const Rowset& r, const Layout& l) {
    const ObjectSpec& o = *r.pObject;
    const std::vector<std::size_t> order = PhysicalOrder(o.columns, r.index);
    const std::vector<Placement> place = PlaceColumns(o.columns, order);
    // Key columns of a clustered index also lie in the rows of its upper levels: their offset
    // there goes into the high half of the offset word.
    std::vector<std::int32_t> internal(o.columns.size(), 0);
    std::vector<std::int16_t> ordinal(o.columns.size(), 0);
    if (r.index.nIndexId == 1) {
        int nAt = 1, nVar = 0;
        std::int16_t nOrd = 0;
        for (std::int32_t id : r.index.columnIds) {
            if (id < 1 || id > static_cast<std::int32_t>(o.columns.size())) continue;
            const auto i = static_cast<std::size_t>(id - 1);
            ordinal[i] = ++nOrd;
            if (IsVariableType(o.columns[i].nSystemType)) {
                internal[i] = -++nVar;
            } else {
                internal[i] = nAt;
                nAt += std::max<int>(o.columns[i].nMaxLength, 0);
            }
        }
    }
    // Rows go in physical order; the rowset column id is the column id, the container column
    // id and the null bit the physical position.
    std::vector<Bytes> rows;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::size_t i = order[k];
        const ColumnSpec& c = o.columns[i];
        const auto nId = static_cast<std::int32_t>(i + 1);
        const auto nPos = static_cast<std::int32_t>(k + 1);
        const std::uint32_t nOffset =
            static_cast<std::uint16_t>(place[i].nOffset) |
            (static_cast<std::uint32_t>(static_cast<std::uint16_t>(internal[i])) << 16);
        const std::uint32_t nNullBit =
            static_cast<std::uint32_t>(nPos) |
            (l.bKeyNullBits ? static_cast<std::uint32_t>(ordinal[i]) << 16 : 0);
        Fields f;
        f.I64(r.ids.nRowsetId).I32(nId).I32(nPos).I64(0).I32(TypeInfo(c));
        f.I32(IsStringOrBinary(c.nSystemType) || c.nSystemType == ST_TEXT ||
                      c.nSystemType == ST_NTEXT
                  ? c.nCollationId
                  : 0);
        f.I16(ordinal[i]).I16(c.nMaxLength < 0 ? 8000 : 0).I32(c.bNullable ? 0 : 0x80);
        f.I32(static_cast<std::int32_t>(nOffset)).I32(static_cast<std::int32_t>(nNullBit));
        f.I16(place[i].nBit);
        if (l.bFragmentIds) f.I32(1);
        rows.push_back(SystemRow(f.Get(), l.bFragmentIds ? 14 : 13, {12})); // no column guid
    }
    return rows;
}

bool HasLargeValues(const ObjectSpec& o) {
    return std::any_of(o.columns.begin(), o.columns.end(), [](const ColumnSpec& c) {
        return c.nMaxLength < 0 || c.nSystemType == ST_TEXT || c.nSystemType == ST_NTEXT ||
               c.nSystemType == ST_IMAGE || c.nSystemType == ST_XML;
    });
}

Bytes IndexRow(const Rowset& r, const Layout& l) {
    const IndexSpec& i = r.index;
    std::int32_t nStatus = 1;
    if (i.nIndexId > 0) nStatus |= 2;
    if (i.bUnique || i.bPrimaryKey || i.bUniqueConstraint) nStatus |= 8;
    if (i.bPrimaryKey) nStatus |= 0x20;
    if (i.bUniqueConstraint) nStatus |= 0x40;
    Fields f;
    const bool bLargeValues = i.nIndexId <= 1 && HasLargeValues(*r.pObject);
    f.I32(r.pObject->nId).I32(i.nIndexId).I32(nStatus).I32(0).U8(0).U8(i.nType).U8(0);
    f.I32(l.bIndexDataSpaces ? 1 : 0).I32(l.bIndexDataSpaces && bLargeValues ? 1 : 0);
    f.I64(r.ids.nRowsetId);
    if (i.strName.empty()) return SystemRow(f.Get(), 11, {2});
    return SystemRow(f.Get(), 11, {}, {Utf16Text(i.strName)});
}

std::vector<Bytes> IndexColumnRows(const Rowset& r, const Layout& l) {
    std::vector<Bytes> rows;
    std::int32_t nOrdinal = 0;
    for (std::int32_t nColumn : r.index.columnIds) {
        ++nOrdinal;
        Fields f;
        f.I32(r.pObject->nId).I32(r.index.nIndexId).I32(nOrdinal).I32(3).I32(nColumn);
        f.U8(static_cast<std::uint8_t>(nOrdinal)).U8(0);
        for (int k = 0; k < l.nIndexColumnExtra; ++k) f.U8(0);
        rows.push_back(SystemRow(f.Get(), 7 + l.nIndexColumnExtra, {}));
    }
    return rows;
}

Bytes ObjectRefRow(std::uint8_t nClass, std::int32_t nDep, std::int32_t nDepSub,
                   std::int32_t nIndep, std::int32_t nIndepSub) {
    Fields f;
    f.U8(nClass).I32(nDep).I32(nDepSub).I32(nIndep).I32(nIndepSub).I32(0);
    return SystemRow(f.Get(), 6, {});
}

// The foreign key's own row (class 27: the referenced table and its key index), then one row
// per column pair for the parent side (28) and one for the referenced side (29).
std::vector<Bytes> ForeignKeyRows(const ForeignKeySpec& k) {
    std::vector<Bytes> rows{
        ObjectRefRow(27, k.nConstraintId, 0, k.nReferencedTableId, k.nReferencedIndexId)};
    for (std::size_t i = 0; i < k.columnPairs.size(); ++i)
        rows.push_back(ObjectRefRow(28, k.nConstraintId, static_cast<std::int32_t>(i + 1),
                                    k.nParentTableId, k.columnPairs[i].first));
    for (std::size_t i = 0; i < k.columnPairs.size(); ++i)
        rows.push_back(ObjectRefRow(29, k.nConstraintId, static_cast<std::int32_t>(i + 1),
                                    k.nReferencedTableId, k.columnPairs[i].second));
    return rows;
}

// The datetime the built-in types carry.
constexpr std::uint64_t kBuiltInDate = 0x00009AD4010D2AF4ull;

std::vector<ScalarTypeSpec> BuiltInTypes(std::int32_t nCollation) {
    struct T {
        std::int32_t nId;
        const char* pName;
        std::uint8_t nSystem;
        std::int16_t nLength;
        std::uint8_t nPrecision, nScale;
        bool bCollated;
    };
    static const T types[] = {
        {34, "image", 34, 16, 0, 0, false},
        {35, "text", 35, 16, 0, 0, true},
        {36, "uniqueidentifier", 36, 16, 0, 0, false},
        {40, "date", 40, 3, 10, 0, false},
        {41, "time", 41, 5, 16, 7, false},
        {42, "datetime2", 42, 8, 27, 7, false},
        {43, "datetimeoffset", 43, 10, 34, 7, false},
        {48, "tinyint", 48, 1, 3, 0, false},
        {52, "smallint", 52, 2, 5, 0, false},
        {56, "int", 56, 4, 10, 0, false},
        {58, "smalldatetime", 58, 4, 16, 0, false},
        {59, "real", 59, 4, 24, 0, false},
        {60, "money", 60, 8, 19, 4, false},
        {61, "datetime", 61, 8, 23, 3, false},
        {62, "float", 62, 8, 53, 0, false},
        {98, "sql_variant", 98, 8016, 0, 0, false},
        {99, "ntext", 99, 16, 0, 0, true},
        {104, "bit", 104, 1, 1, 0, false},
        {106, "decimal", 106, 17, 38, 38, false},
        {108, "numeric", 108, 17, 38, 38, false},
        {122, "smallmoney", 122, 4, 10, 4, false},
        {127, "bigint", 127, 8, 19, 0, false},
        {128, "hierarchyid", 240, 892, 0, 0, false},
        {129, "geometry", 240, -1, 0, 0, false},
        {130, "geography", 240, -1, 0, 0, false},
        {165, "varbinary", 165, 8000, 0, 0, false},
        {167, "varchar", 167, 8000, 0, 0, true},
        {173, "binary", 173, 8000, 0, 0, false},
        {175, "char", 175, 8000, 0, 0, true},
        {189, "timestamp", 189, 8, 0, 0, false},
        {231, "nvarchar", 231, 8000, 0, 0, true},
        {239, "nchar", 239, 8000, 0, 0, true},
        {241, "xml", 241, -1, 0, 0, false},
        {256, "sysname", 231, 256, 0, 0, true},
    };
    std::vector<ScalarTypeSpec> out;
    for (const T& t : types)
        out.push_back({t.nId, 4, t.pName, t.nSystem, t.nLength, t.nPrecision, t.nScale,
                       t.bCollated ? nCollation : 0});
    return out;
}

Bytes ScalarTypeRow(const ScalarTypeSpec& t) {
    // timestamp and sysname carry status 1 in real databases.
    const std::int32_t nStatus = t.nTypeId == ST_TIMESTAMP || t.nTypeId == 256 ? 1 : 0;
    Fields f;
    f.I32(t.nTypeId).I32(t.nSchemaId).U8(t.nSystemType).I16(t.nMaxLength).U8(t.nPrecision);
    f.U8(t.nScale).I32(t.nCollationId).I32(nStatus);
    f.I64(static_cast<std::int64_t>(kBuiltInDate)).I64(static_cast<std::int64_t>(kBuiltInDate));
    f.I32(0).I32(0);
    if (t.strName.empty()) return SystemRow(f.Get(), 13, {2});
    return SystemRow(f.Get(), 13, {}, {Utf16Text(t.strName)});
}

// ---- 2000 rows ----

Bytes LegacyIndexRow(const Rowset& r) {
    const ObjectSpec& o = *r.pObject;
    const IndexSpec& i = r.index;
    const bool bBase = i.nIndexId <= 1;
    const std::int32_t nFirst = bBase ? o.nFirstPage : 0, nRoot = bBase ? o.nRootPage : 0,
                       nIam = bBase ? o.nFirstIamPage : 0;
    const std::int32_t nPages = nFirst ? 1 : 0;
    std::int32_t nStatus = 0;
    if (i.bUnique || i.bPrimaryKey || i.bUniqueConstraint) nStatus |= 2;
    if (i.bPrimaryKey) nStatus |= 0x800;
    if (i.bUniqueConstraint) nStatus |= 0x1000;
    if (i.nIndexId == 1) nStatus |= 0x10;
    Fields f;
    f.I32(o.nId).I32(nStatus).Ptr(nFirst, 1).I16(i.nIndexId).Ptr(nRoot, 1);
    f.I16(0).I16(static_cast<std::int32_t>(i.columnIds.size())).I16(1); // minlen, keycnt, group
    f.I32(nPages).I32(nPages + (nIam ? 1 : 0)).I32(nPages + (nIam ? 1 : 0));
    f.I64(bBase ? o.nRowCount : 0).I32(0).U8(0).U8(0).I16(0).I16(0).U8(0).U8(0).I32(0);
    f.Ptr(nIam, 1).I16(0).I16(0).I32(0);
    Bytes keys;
    for (std::int32_t c : i.columnIds) {
        const Bytes x = LE16(static_cast<std::uint16_t>(c));
        keys.insert(keys.end(), x.begin(), x.end());
    }
    // Variable columns: the key list, then the name.
    std::vector<Bytes> var{keys, Utf16Text(i.strName)};
    return SystemRow(f.Get(), 26, {}, var);
}

// ---- pages ----

// Lays rows out on as many pages of one system table as they need, from position nNext on,
// each page linked to its neighbours.
using PlacedPages = std::vector<std::pair<std::size_t, PageBuilder>>;

void PutTable(PlacedPages& out, std::int32_t& nNext, std::int32_t nObjectId,
              const std::vector<Bytes>& rows) {
    std::vector<PageBuilder> pages;
    std::size_t nUsed = kPageSize;
    for (const Bytes& row : rows) {
        const std::size_t nNeed = row.size() + 2;
        if (nNeed + kPageHeaderSize > kPageSize) throw std::length_error("row longer than a page");
        if (nUsed + nNeed > kPageSize) {
            const std::int32_t nPos = nNext + static_cast<std::int32_t>(pages.size());
            pages.push_back(SystemTablePage(nObjectId, PagePointer{nPos, 1}));
            nUsed = kPageHeaderSize;
        }
        pages.back().AddRow(row);
        nUsed += nNeed;
    }
    for (std::size_t k = 0; k < pages.size(); ++k) {
        const std::int32_t nPos = nNext + static_cast<std::int32_t>(k);
        if (k > 0) pages[k].Header().prev = PagePointer{nPos - 1, 1};
        if (k + 1 < pages.size()) pages[k].Header().next = PagePointer{nPos + 1, 1};
        out.emplace_back(static_cast<std::size_t>(nPos), pages[k]);
    }
    nNext += static_cast<std::int32_t>(pages.size());
}

std::vector<FileSpec> FilesOf(const DatabaseSpec& spec) {
    if (!spec.files.empty()) return spec.files;
    FileSpec f;
    f.strLogicalName = spec.strName;
    f.strPath = "C:\\DATA\\" + spec.strName + ".mdf";
    return {f};
}

} // namespace

Bytes Utf16Text(std::string_view s) {
    Bytes b;
    auto unit = [&b](std::uint32_t u) {
        b.push_back(static_cast<std::uint8_t>(u));
        b.push_back(static_cast<std::uint8_t>(u >> 8));
    };
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<std::uint8_t>(s[i]);
        const int nMore = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
        if (nMore < 0 || s.size() - i <= static_cast<std::size_t>(nMore)) {
            unit(0xFFFD); // a stray continuation byte or a cut sequence
            ++i;
            continue;
        }
        std::uint32_t cp = nMore == 0 ? c : c & (0x3F >> nMore);
        for (int k = 1; k <= nMore; ++k)
            cp = (cp << 6) | (static_cast<std::uint8_t>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
        i += static_cast<std::size_t>(nMore) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 | (cp >> 10));
            unit(0xDC00 | (cp & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return b;
}

StorageIds StorageIdsOf(const DatabaseSpec& spec, std::int32_t nObjectId, std::int32_t nIndexId) {
    for (const Rowset& r : RowsetsOf(spec))
        if (r.pObject->nId == nObjectId && r.index.nIndexId == nIndexId) return r.ids;
    return {};
}

std::int32_t PageObjectIdOf(std::int64_t nAllocUnitId) {
    return static_cast<std::int32_t>(static_cast<std::uint64_t>(nAllocUnitId) >> 16);
}

std::int16_t PageIndexIdOf(std::int64_t nAllocUnitId) {
    return static_cast<std::int16_t>(static_cast<std::uint64_t>(nAllocUnitId) >> 48);
}

Bytes ObjectRow2005(const ObjectSpec& o, std::uint16_t nVersion) {
    const Layout l = LayoutOf(nVersion);
    const std::int32_t nIntProp =
        o.nInternalProperty.value_or(IsTable(o) ? static_cast<std::int32_t>(o.columns.size()) : 0);
    Bytes type = Ascii(o.strType);
    type.resize(2, ' ');
    Fields f;
    f.I32(o.nId).I32(o.nSchemaId).U8(0).I32(o.nStatus).Put(type).I32(o.nParentId).U8(1);
    f.I32(nIntProp).I64(static_cast<std::int64_t>(o.nCreated));
    f.I64(static_cast<std::int64_t>(o.nModified));
    if (l.bObjectStatus2) f.I32(0);
    const int nColumns = l.bObjectStatus2 ? 12 : 11;
    if (o.strName.empty()) return SystemRow(f.Get(), nColumns, {1});
    return SystemRow(f.Get(), nColumns, {}, {Utf16Text(o.strName)});
}

Bytes ColumnRow2005(std::int32_t nObjectId, std::int32_t nColumnId, const ColumnSpec& c,
                    std::uint16_t /*nVersion: the row is the same from 655 to 852*/) {
    Fields f;
    f.I32(nObjectId).I16(0).I32(nColumnId).U8(c.nSystemType).I32(UserType(c));
    f.I16(c.nMaxLength).U8(c.nPrecision).U8(c.nScale).I32(c.nCollationId).I32(ColumnStatus(c));
    f.I16(c.nMaxLength < 0 ? 8000 : c.nMaxLength).I32(0).I32(c.nDefaultObjectId);
    f.I32(c.nCheckObjectId);
    // Columns: id, number, colid, name, xtype, utype, length, prec, scale, collationid,
    // status, maxinrow, xmlns, dflt, chk, idtval.
    const Bytes name = Utf16Text(c.strName);
    if (c.identity) {
        if (c.strName.empty()) return SystemRow(f.Get(), 16, {3}, {Bytes{}, IdentityBlob(c)});
        return SystemRow(f.Get(), 16, {}, {name, IdentityBlob(c)});
    }
    if (c.strName.empty()) return SystemRow(f.Get(), 16, {3, 15});
    return SystemRow(f.Get(), 16, {15}, {name});
}

Bytes FileRow(const FileSpec& f) {
    Fields x;
    x.I32(f.nStatus).I16(f.nFileId).Put(Padded(f.strLogicalName, 128)).Put(Padded(f.strPath, 260));
    return SystemRow(x.Get(), 4, {});
}

Bytes ModuleRow(const ModuleSpec& m, bool bProcedure) {
    const bool bWide = m.bWide.value_or(
        std::any_of(m.strText.begin(), m.strText.end(), [](char c) { return (c & 0x80) != 0; }));
    // valclass 1 (a module's text), object id, sub-object id, value number 0.
    Fields f;
    f.U8(1).I32(m.nObjectId).I32(m.nSubObjectId.value_or(bProcedure ? 1 : 0)).I32(0);
    // The value column holds an int variant (base type 56, version 1) that tells the text's
    // form: 2 for single-byte text, 0 for UTF-16; the image value holds the text itself.
    Fields value;
    value.U8(56).U8(1).I32(bWide ? 0 : 2);
    Bytes text = bWide ? Utf16Text(m.strText) : Ascii(m.strText);
    // Columns: valclass, objid, subobjid, valnum, value, imageval.
    return SystemRow(f.Get(), 6, {}, {value.Get(), std::move(text)});
}

Bytes ObjectRow2000(const ObjectSpec& o) {
    Bytes type = Ascii(o.strType);
    type.resize(2, ' ');
    // id, xtype, uid, info, status, base_schema_ver, replinfo, sysstat, parent_obj, crdate
    Fields f;
    f.I32(o.nId).Put(type).I16(o.nSchemaId).I16(0).I32(o.nStatus).I32(0).I32(0).I16(0);
    f.I32(o.nParentId).I64(static_cast<std::int64_t>(o.nCreated));
    if (o.strName.empty()) return SystemRow(f.Get(), 11, {0});
    return SystemRow(f.Get(), 11, {}, {Utf16Text(o.strName)});
}

Bytes ColumnRow2000(std::int32_t nObjectId, std::int32_t nColumnId, const ColumnSpec& c,
                    std::uint16_t nRowOffset) {
    std::uint8_t nStatus = 0;
    if (!c.bNullable || c.identity) nStatus |= 1;
    if (c.bNullable && !c.identity) nStatus |= 8;
    if (c.identity) nStatus |= 0x80;
    if (c.nStatus) nStatus = static_cast<std::uint8_t>(*c.nStatus);
    // name (variable), id, xtype, typestat, xusertype, length, xprec, xscale, colid, xoffset,
    // bitpos, reserved, colstat, cdefault, domain, number, colorder, autoval (variable),
    // offset, collationid, language, status: 22 columns.
    Fields f;
    f.I32(nObjectId).U8(c.nSystemType).U8(c.bNullable ? 0 : 1).I16(UserType(c));
    f.I16(c.nMaxLength).U8(c.nPrecision).U8(c.nScale).I16(nColumnId).I16(nRowOffset);
    f.U8(0).U8(0).I16(0).I32(c.nDefaultObjectId).I32(c.nCheckObjectId).I16(0).I16(nColumnId);
    f.I16(nRowOffset).I32(c.nCollationId).I32(0).U8(nStatus);
    if (c.strName.empty()) return SystemRow(f.Get(), 22, {0, 17});
    return SystemRow(f.Get(), 22, {17}, {Utf16Text(c.strName)});
}

std::vector<StoredRow> StoredRows(CMdfReader& reader, std::int32_t nObjectId) {
    std::vector<StoredRow> out;
    for (const PageIndexEntry& e : CMdfReader::PagesOf(reader.SystemPages(), nObjectId)) {
        if (e.nPageType != PT_DATA) continue;
        const auto page = reader.ReadDataPage(e.Pointer());
        if (!page) continue;
        for (std::size_t i = 0; i < page->RecordCount(); ++i) {
            const CPrimaryRecord* r = page->Record(i);
            if (!r || !r->HasRecordBytes()) continue;
            StoredRow row{e.nPageNumber,     r->m_nRecordType, r->m_fixedData,
                          r->m_nColumnCount, r->m_nullBitmap,  {},
                          r->m_recordBytes};
            for (const VarValue& v : r->m_varValues)
                row.var.emplace_back(v.Value().begin(), v.Value().end());
            out.push_back(std::move(row));
        }
    }
    return out;
}

PageBuilder BootPage(std::uint16_t nVersion, const std::string& strName,
                     std::int32_t nCollationId) {
    // One record whose data starts at page offset 100: version and create version, the name
    // at 148 as 104 blank-padded UTF-16 units, the collation at 488.
    Bytes body(1440, 0);
    le::Put16(body.data(), nVersion);
    le::Put16(body.data() + 2, nVersion);
    const Bytes name = Padded(strName, 104);
    std::copy(name.begin(), name.end(), body.begin() + 48);
    le::Put32(body.data() + 388, static_cast<std::uint32_t>(nCollationId));
    PageBuilder pb(PT_BOOT, 99, PagePointer{9, 1});
    pb.AddRow(RowBuilder().NullBitmap(false).Fixed(body).Columns(0).Build());
    return pb;
}

FileBuilder WriteDatabase(const DatabaseSpec& spec) {
    std::int32_t nNext = 16;
    for (const ObjectSpec& o : spec.objects)
        nNext = std::max({nNext, o.nFirstPage + 1, o.nRootPage + 1, o.nFirstIamPage + 1});
    const Layout l = LayoutOf(spec.nVersion);
    const std::vector<Rowset> rowsets = RowsetsOf(spec);

    PlacedPages placed;
    std::vector<std::pair<std::int32_t, std::vector<Bytes>>> tables;
    std::vector<Bytes> files;
    for (const FileSpec& f : FilesOf(spec)) files.push_back(FileRow(f));
    tables.emplace_back(8, files);

    if (!spec.bSql2000) {
        std::vector<Bytes> objects, columns, units, sets, rscols, types, refs, indexes, iscols;
        for (const ObjectSpec& o : spec.objects) {
            objects.push_back(ObjectRow2005(o, spec.nVersion));
            for (std::size_t i = 0; i < o.columns.size(); ++i)
                columns.push_back(ColumnRow2005(o.nId, static_cast<std::int32_t>(i + 1),
                                                o.columns[i], spec.nVersion));
        }
        for (const Rowset& r : rowsets) {
            units.push_back(AllocUnitRow(r, l));
            sets.push_back(RowsetRow(r, l));
            if (r.index.nIndexId <= 1)
                for (Bytes& b : RowsetColumnRows(r, l)) rscols.push_back(std::move(b));
            indexes.push_back(IndexRow(r, l));
            for (Bytes& b : IndexColumnRows(r, l)) iscols.push_back(std::move(b));
        }
        for (const ScalarTypeSpec& t :
             spec.scalarTypes.empty() ? BuiltInTypes(spec.nCollationId) : spec.scalarTypes)
            types.push_back(ScalarTypeRow(t));
        for (const ForeignKeySpec& k : spec.foreignKeys)
            for (Bytes& b : ForeignKeyRows(k)) refs.push_back(std::move(b));
        tables.emplace_back(34, objects);
        tables.emplace_back(41, columns);
        tables.emplace_back(7, units);
        tables.emplace_back(5, sets);
        tables.emplace_back(3, rscols);
        tables.emplace_back(50, types);
        tables.emplace_back(74, refs);
        tables.emplace_back(54, indexes);
        tables.emplace_back(55, iscols);
        std::vector<Bytes> values;
        for (const ModuleSpec& m : spec.modules) {
            const auto it = std::find_if(spec.objects.begin(), spec.objects.end(),
                                         [&](const ObjectSpec& o) { return o.nId == m.nObjectId; });
            values.push_back(ModuleRow(m, it != spec.objects.end() && it->strType == "P "));
        }
        tables.emplace_back(60, values);
    } else {
        // The 2000 layout keeps module texts in syscomments, which the writer does not write.
        if (!spec.modules.empty())
            throw std::invalid_argument("module texts need the later layout");
        std::vector<Bytes> objects, columns, indexes;
        for (const ObjectSpec& o : spec.objects) {
            objects.push_back(ObjectRow2000(o));
            const std::vector<Placement> place =
                PlaceColumns(o.columns, ColumnOrder(o.columns.size()));
            for (std::size_t i = 0; i < o.columns.size(); ++i)
                columns.push_back(ColumnRow2000(o.nId, static_cast<std::int32_t>(i + 1),
                                                o.columns[i],
                                                static_cast<std::uint16_t>(place[i].nOffset)));
        }
        for (const Rowset& r : rowsets) indexes.push_back(LegacyIndexRow(r));
        tables.emplace_back(1, objects);
        tables.emplace_back(3, columns);
        tables.emplace_back(2, indexes);
    }
    for (const auto& [nObjectId, rows] : tables) PutTable(placed, nNext, nObjectId, rows);

    const std::size_t nPages = std::max<std::size_t>(spec.nPages, static_cast<std::size_t>(nNext));
    FileBuilder out = SkeletonFile(nPages);
    for (const auto& [nPos, page] : placed) out.SetPage(nPos, page);
    out.SetPage(9, BootPage(spec.nVersion, spec.strName, spec.nCollationId));
    return out;
}

bool IsVariableColumn(const ColumnSpec& c) {
    return IsVariableType(c.nSystemType);
}

std::vector<ColumnPlace> PlaceTableColumns(const ObjectSpec& o, bool bSql2000) {
    // The same order and placement the rowset-column rows record: a clustered index's keys
    // first in the later layout, column order in the 2000 layout.
    IndexSpec heap;
    heap.nIndexId = 0;
    const IndexSpec* pIndex = &heap;
    for (const IndexSpec& i : o.indexes) {
        if (i.nIndexId == 1) {
            pIndex = &i;
            break;
        }
    }
    const std::vector<std::size_t> order =
        bSql2000 ? ColumnOrder(o.columns.size()) : PhysicalOrder(o.columns, *pIndex);
    const std::vector<Placement> place = PlaceColumns(o.columns, order);
    std::vector<ColumnPlace> out(o.columns.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        out[order[k]] = {place[order[k]].nOffset, place[order[k]].nBit, static_cast<int>(k + 1)};
    return out;
}

} // namespace qw
