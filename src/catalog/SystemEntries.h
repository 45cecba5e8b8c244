// One record per row of a system table, with the initial values a field keeps when the row
// does not hold it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pagestore/PageTypes.h"

struct AllocUnitEntry { // sysallocunits
    std::int64_t m_nId = 0;
    std::uint8_t m_nType = 255;
    std::int64_t m_nOwnerId = 0;
    std::int32_t m_nStatus = -1;
    std::int16_t m_nFilegroupId = 0;
    PagePointer m_firstPage{};
    PagePointer m_rootPage{};
    PagePointer m_firstIamPage{};
};

struct RowsetEntry { // sysrowsets
    std::int64_t m_nRowsetId = 0;
    std::uint8_t m_nOwnerType = 255;
    std::int32_t m_nObjectId = -1;
    std::int32_t m_nIndexId = -1;
    std::int32_t m_nPartitionNumber = -1;
    std::int32_t m_nStatus = -1;
    std::int16_t m_nFilegroup = -1;
    std::int64_t m_nRowCount = -1;
};

struct ObjectEntry { // sysschobjs (sysobjects in the 2000 layout)
    std::int32_t m_nId = -1;
    std::string m_strName;
    std::int32_t m_nSchemaId = -1;
    std::uint8_t m_nNameSpaceClass = 255;
    std::int32_t m_nStatus = -1;
    std::string m_strType; // two characters: "U ", "V ", "FN", ...
    std::int32_t m_nParentId = -1;
    std::uint8_t m_nParentClass = 255;
    std::int32_t m_nInternalProperty = -1;
};

struct ColumnEntry { // syscolpars
    std::int32_t m_nObjectId = -1;
    std::int16_t m_nNumber = -1;
    std::int32_t m_nColumnId = -1;
    std::string m_strName;
    std::uint8_t m_nSystemTypeId = 255;
    std::int32_t m_nUserTypeId = -1;
    std::int16_t m_nMaxLength = -1;
    std::uint8_t m_nPrecision = 255;
    std::uint8_t m_nScale = 255;
    std::int32_t m_nCollationId = -1;
    std::int32_t m_nStatus = -1;
    std::int16_t m_nInRowMaxLength = -1;
    std::int32_t m_nXmlCollectionId = -1;
    std::int32_t m_nDefaultObjectId = -1;
    std::int32_t m_nCheckObjectId = -1;
    std::string m_strIdentity; // "identity(seed,increment)" or empty
};

struct LegacyColumnEntry { // syscolumns, 2000 layout
    std::string m_strName;
    std::int32_t m_nObjectId = -1;
    std::uint8_t m_nSystemType = 255;
    std::uint8_t m_nTypeStatus = 255;
    std::uint16_t m_nUserType = 0xFFFF;
    std::uint16_t m_nLength = 0xFFFF;
    std::uint8_t m_nPrecision = 255;
    std::uint8_t m_nScale = 255;
    std::uint16_t m_nColumnId = 0xFFFF;
    std::uint16_t m_nFixedOffset = 0xFFFF;
    std::uint8_t m_nBitPosition = 255;
    std::uint8_t m_nReserved = 255;
    std::uint16_t m_nColumnStatus = 0xFFFF;
    std::uint16_t m_nDefaultObject = 0xFFFF;
    std::int32_t m_nDomain = -1;
    std::uint16_t m_nNumber = 0xFFFF;
    std::uint16_t m_nColumnOrder = 0xFFFF;
    std::int32_t m_nZero = 0;
    std::uint16_t m_nRowOffset = 0xFFFF;
    std::int32_t m_nCollationId = -1;
    std::uint8_t m_nStatus = 255;
};

struct LegacyIndexEntry { // sysindexes, 2000 layout
    std::int32_t m_nObjectId = -1;
    std::int16_t m_nFileId = 0; // of the page holding the row
    std::int16_t m_nIndexId = -1;
    std::int32_t m_nFirstPageId = -1;
    std::int32_t m_nFirstIamPageId = -1;
};

struct ScalarTypeEntry { // sysscalartypes
    std::int32_t m_nTypeId = -1;
    std::int32_t m_nSchemaId = -1;
    std::string m_strName;
    std::uint8_t m_nSystemTypeId = 255;
    std::int16_t m_nMaxLength = -1;
    std::uint8_t m_nPrecision = 255;
    std::uint8_t m_nScale = 255;
    std::int32_t m_nCollationId = -1;
    std::int32_t m_nStatus = -1;
    std::int32_t m_nValueA = -1;
    std::int32_t m_nValueB = -1;
};

struct RsColumnEntry { // sysrscols
    std::int64_t m_nRowsetId = 0;
    std::int32_t m_nRowsetColumnId = -1;
    std::int32_t m_nContainerColumnId = 0;
    std::int64_t m_nModificationCounter = -1;
    std::int32_t m_nTypeInfo = -1;
    std::int32_t m_nColumnId = -1;
    std::int16_t m_nKeyOrdinal = -1;
    std::int16_t m_nInRowMaxLength = -1;
    std::int32_t m_nStatus = -1;
    std::int32_t m_nLeafOffset = -1;
    std::int32_t m_nNullBit = -1;
    std::int16_t m_nBitPosition = -1;
};

struct IndexColumnEntry { // sysiscols
    std::int32_t m_nObjectId = -1;
    std::int32_t m_nIndexId = -1;
    std::int32_t m_nOrdinal = -1;
    std::int32_t m_nStatus = -1;
    std::int32_t m_nColumnId = -1;
    std::uint8_t m_nProperty1 = 255;
    std::uint8_t m_nProperty2 = 255;
    std::int32_t m_nIndexStatus = 0; // filled with the status of the index by the layout resolution
};

struct IndexEntry { // sysidxstats
    std::int32_t m_nObjectId = 0;
    std::int32_t m_nIndexId = 0;
    std::string m_strName;
    std::int32_t m_nStatus = 0;
    std::int32_t m_nInternalProperty = 0;
    std::uint8_t m_nFillFactor = 0;
    std::uint8_t m_nIndexType = 0;
    std::uint8_t m_nProperty = 0;
    std::int32_t m_nDataSpaceId = 0;
    std::int32_t m_nLobDataSpaceId = 0;
    std::int64_t m_nRowsetId = 0;
};

struct ObjectRefEntry { // syssingleobjrefs
    std::uint8_t m_nClass = 0;
    std::int32_t m_nDependentId = 0;
    std::int32_t m_nDependentSubId = 0;
    std::int32_t m_nIndependentId = 0;
    std::int32_t m_nIndependentSubId = 0;
    std::int32_t m_nStatus = 0;
};

struct HobtColumnEntry { // column placement rows of the 2005 layout
    std::int32_t m_nRowsetIdLow = 0;
    std::int32_t m_nRowsetIdHigh = 0;
    std::int32_t m_nColumnId = 0;
    std::int16_t m_nValueP = 0;
    std::int16_t m_nValueQ = 0;
    std::int32_t m_nValueR = -1; // filled from the matching rowset column row
};

struct RowsetColumnEntry { // rowset column rows of the 2005 layout
    std::int32_t m_nRowsetIdLow = 0;
    std::int32_t m_nRowsetIdHigh = 0;
    std::int32_t m_nColumnId = 0;
    std::int32_t m_nValueR = 0;
};

// A table of the 2000 layout with its columns in the order syscolumns lists them.
struct LegacyTableEntry {
    struct Column {
        std::string m_strName;
        std::string m_strSecond;
        std::uint16_t m_nColumnOrder = 0;
        std::uint8_t m_nTypeStatus = 0;
    };
    std::int32_t m_nObjectId = 0;
    std::string m_strName;
    std::string m_strSecond;
    std::vector<Column> m_columns;
};

struct ForeignKeyEntry {
    std::int32_t m_nConstraintId = 0;
    std::int32_t m_nOrdinal = 0;
    std::int32_t m_nParentTableId = 0;
    std::int32_t m_nParentColumnId = 0;
    std::int32_t m_nReferencedTableId = 0;
    std::int32_t m_nReferencedColumnId = 0;
    std::string m_strConstraintName;
    std::string m_strSpare;
    std::string m_strParentTableName;
    std::string m_strParentColumnName;
    std::string m_strReferencedTableName;
    std::string m_strReferencedColumnName;
    std::int32_t m_nConstraintStatus = 0;
};

// System object ids of the tables the catalog reads.
enum : std::int32_t {
    OBJ_SYSOBJECTS_2000 = 1,
    OBJ_SYSINDEXES_2000 = 2,
    OBJ_SYSRSCOLS = 3,
    OBJ_SYSCOLUMNS_2000 = 3,
    OBJ_ROWSET_COLUMNS_2005 = 4,
    OBJ_SYSROWSETS = 5,
    OBJ_SYSALLOCUNITS = 7,
    OBJ_SYSFILES1 = 8,
    OBJ_HOBT_COLUMNS_2005 = 13,
    OBJ_SYSSCHOBJS = 34,
    OBJ_SYSCOLPARS = 41,
    OBJ_SYSSCALARTYPES = 50,
    OBJ_SYSIDXSTATS = 54,
    OBJ_SYSISCOLS = 55,
    OBJ_SYSSINGLEOBJREFS = 74,
    OBJ_ALLOCUNITS_2000 = 99,
    OBJ_SYSCOLPARS_MORE = 2187,
};
