// Table layout resolution: which rowset, allocation unit and pages hold a table, and where
// each of its columns lies in a row.
#include <algorithm>
#include <cstdlib>

#include "catalog/CDbCatalog.h"
#include "pagestore/Text.h"
#include "pagestore/TypeCodes.h"

namespace {

// Whether a page the page maps list under an allocation unit's key belongs to that unit: its
// header's index id is the unit id's top 16 bits. A system table's page may carry the same
// object id as a user unit (with a system index id below 256).
bool OfAllocationUnit(const PageIndexEntry& e, std::int64_t nUnitId) {
    return e.nIndexId == static_cast<std::int16_t>(static_cast<std::uint64_t>(nUnitId) >> 48);
}

// Object types whose "columns" are their id, type and name (they are read as module texts).
bool IsModuleType(const std::string& t) {
    for (const char* m : {"PK", "X ", "P ", "C ", "FN", "IF", "TR", "V ", "D ", "TT", "F ", "TF"})
        if (t == m) return true;
    return false;
}

TableColumn PseudoColumn(std::string strValue) {
    TableColumn c = CDbCatalog::BuildTableColumn({}, {}, TYPE_NVARCHAR);
    c.m_strDefinition = std::move(strValue);
    return c;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::string DecodeTripleValue(const std::string& strHex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 2; i + 1 < strHex.size(); i += 2) {
        const int hi = HexDigit(strHex[i]), lo = HexDigit(strHex[i + 1]);
        if (hi < 0 || lo < 0) break;
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    const bool bWide = std::find(bytes.begin() + std::min<std::size_t>(1, bytes.size()),
                                 bytes.end(), 0) != bytes.end();
    return bWide ? text::Utf16ToUtf8(bytes, true) : text::Cp1252ToUtf8(bytes);
}

TableColumn CDbCatalog::BuildTableColumn(const std::string& strName, const std::string& strType,
                                         std::int32_t nTypeCode) {
    TableColumn c;
    c.m_strName = strName;
    c.m_strType = strType;
    c.m_nTypeCode = nTypeCode;
    // The number between the parentheses of the type text.
    auto number = [&] {
        const std::size_t a = strType.find('(');
        if (a == std::string::npos) return 0;
        return std::atoi(strType.c_str() + a + 1);
    };
    switch (nTypeCode) {
    case TYPE_BINARY:
    case TYPE_CHAR:
    case TYPE_NCHAR:
    case TYPE_NUMERIC:
    case TYPE_DECIMAL:
        c.m_nMaxLength = number();
        break;
    case TYPE_NVARCHAR:
    case TYPE_TEXT:
    case TYPE_CLR:
    case TYPE_XML:
        c.m_bVariableLength = true;
        c.m_nMaxLength = number();
        break;
    case TYPE_SYSTEM_232:
        c.m_bVariableLength = true;
        c.m_nTypeCode = TYPE_NVARCHAR;
        c.m_nMaxLength = number();
        break;
    case TYPE_UNIQUEIDENTIFIER:
    case TYPE_VARBINARY:
    case TYPE_VARCHAR:
    case TYPE_NTEXT:
    case TYPE_SQL_VARIANT:
    case TYPE_IMAGE:
        c.m_bVariableLength = true;
        break;
    case TYPE_HIERARCHYID:
    case TYPE_GEOMETRY:
        c.m_bVariableLength = true;
        c.m_nTypeCode = TYPE_VARCHAR;
        break;
    default:
        if (nTypeCode > TYPE_XML) {
            c.m_bVariableLength = true;
            c.m_nTypeCode = TYPE_VARCHAR;
        }
        break;
    }
    return c;
}

void CDbCatalog::TableConstraints(std::int32_t nObjectId) {
    m_tableConstraints.clear();
    for (const ObjectEntry& o : m_objects) {
        if (Stopped()) return;
        if (o.m_nParentId != nObjectId) continue;
        TableConstraint t;
        t.m_strName = o.m_strName;
        t.m_strType = o.m_strType;
        t.m_bPrimaryKey = o.m_strType == "PK";
        t.m_bUnique = o.m_strType == "UQ";
        t.m_bForeignKey = o.m_strType == "F ";
        t.m_nObjectId = IsSql2000() ? o.m_nParentId : o.m_nId;
        m_tableConstraints.push_back(std::move(t));
    }
}

void CDbCatalog::PickRowset(std::int32_t nObjectId) {
    m_currentRowset = RowsetEntry{};
    const RowsetEntry* pChosen = nullptr;
    const RowsetEntry* pLast = nullptr;
    for (const RowsetEntry& r : m_rowsets) {
        if (Stopped()) break;
        if (r.m_nObjectId != nObjectId) continue;
        pLast = &r;
        if ((r.m_nIndexId == 0 || r.m_nIndexId == 1) &&
            (!pChosen || r.m_nIndexId <= pChosen->m_nIndexId))
            pChosen = &r;
    }
    if (pChosen) {
        m_currentRowset = *pChosen;
        return;
    }
    for (const IndexEntry& i : m_indexes) {
        if (i.m_nObjectId == nObjectId && i.m_nRowsetId != 0) {
            m_currentRowset.m_nRowsetId = i.m_nRowsetId;
            m_currentRowset.m_nObjectId = nObjectId;
            m_currentRowset.m_nIndexId = i.m_nIndexId;
            m_bPagesFromIndex = true;
            return;
        }
    }
    if (pLast) m_currentRowset = *pLast;
}

void CDbCatalog::PickAllocationUnit(std::int64_t nRowsetId) {
    m_currentAllocUnit = AllocUnitEntry{};
    m_bAllocationUnitEmpty = false;
    bool bFound = false;
    for (const AllocUnitEntry& a : m_allocUnits) {
        if (Stopped()) return;
        if (a.m_nOwnerId == nRowsetId && a.m_nType == 1) {
            m_currentAllocUnit = a;
            bFound = true;
        }
    }
    AllocUnitEntry& u = m_currentAllocUnit;
    const PageMap& data = m_reader.DataPages();
    if (u.m_firstPage.nPageId != 0 || u.m_rootPage.nPageId != 0 || u.m_firstIamPage.nPageId != 0) {
        // The unit's own first page starts its page chain; only when it names none is the first
        // page the page maps list for it taken (the last one would leave out every page before
        // it when the chain is followed).
        if (u.m_firstPage.nPageId != 0) return;
        const auto nKey = static_cast<std::int32_t>(static_cast<std::uint64_t>(u.m_nId) >> 16);
        for (const PageIndexEntry& e : CMdfReader::PagesOf(data, nKey)) {
            if (e.nPageType == PAGE_TYPE_DATA && OfAllocationUnit(e, u.m_nId)) {
                u.m_firstPage = {e.nPageNumber, e.nFileId};
                break;
            }
        }
        return;
    }
    // The catalog's own row says the table has no pages: pages that still carry its id were
    // freed (their rows deleted), and a key made from the rowset id would name some other
    // allocation unit.
    if (bFound) {
        m_bAllocationUnitEmpty = true;
        return;
    }
    u.m_nId = nRowsetId;
    u.m_nOwnerId = nRowsetId;
    const auto nKey = static_cast<std::int32_t>(static_cast<std::uint64_t>(nRowsetId) >> 16);
    for (const PageIndexEntry& e : CMdfReader::PagesOf(data, nKey)) {
        m_bPagesFromIndex = true;
        if (e.nPageType == PAGE_TYPE_DATA && u.m_firstPage.nPageId == 0)
            u.m_firstPage = {e.nPageNumber, e.nFileId};
    }
    for (const PageIndexEntry& e : CMdfReader::PagesOf(m_reader.IamPages(), nKey)) {
        m_bPagesFromIndex = true;
        if (e.nPageType == PAGE_TYPE_IAM) u.m_firstIamPage = {e.nPageNumber, e.nFileId};
    }
}

void CDbCatalog::TableRowsets(std::int32_t nObjectId) {
    m_tableRowsets.clear();
    for (const RowsetEntry& r : m_rowsets)
        if (r.m_nObjectId == nObjectId) m_tableRowsets.push_back(r);
    if (!m_tableRowsets.empty()) return;
    for (const IndexEntry& i : m_indexes) {
        if (i.m_nObjectId != nObjectId || i.m_nRowsetId == 0) continue;
        RowsetEntry r;
        r.m_nRowsetId = i.m_nRowsetId;
        r.m_nObjectId = nObjectId;
        r.m_nIndexId = i.m_nIndexId;
        m_tableRowsets.push_back(r);
    }
}

void CDbCatalog::AddTablePage(const PageIndexEntry& e, bool bThroughPageSet) {
    if (bThroughPageSet && !m_pageSet.insert({e.nFileId, e.nPageNumber}).second) return;
    m_tablePages.push_back({e.nFileId, e.nPageNumber});
}

void CDbCatalog::TablePages() {
    m_tableAllocUnits.clear();
    m_tablePages.clear();
    for (const RowsetEntry& r : m_tableRowsets)
        for (const AllocUnitEntry& a : m_allocUnits)
            if (a.m_nOwnerId == r.m_nRowsetId) m_tableAllocUnits.push_back(a);
    if (m_tableAllocUnits.empty() && m_bPagesFromIndex) {
        for (const RowsetEntry& r : m_tableRowsets)
            for (const AllocUnitEntry& a : m_allocUnits)
                if (a.m_nId == r.m_nRowsetId) m_tableAllocUnits.push_back(a);
        if (m_tableAllocUnits.empty()) {
            for (const RowsetEntry& r : m_tableRowsets) {
                AllocUnitEntry a;
                a.m_nId = a.m_nOwnerId = r.m_nRowsetId;
                m_tableAllocUnits.push_back(a);
            }
        }
    }
    m_pageSet.clear();
    for (const AllocUnitEntry& a : m_tableAllocUnits) {
        if (Stopped()) return;
        const auto nKey = static_cast<std::int32_t>(static_cast<std::uint64_t>(a.m_nId) >> 16);
        for (const PageIndexEntry& e : CMdfReader::PagesOf(m_reader.DataPages(), nKey))
            if (e.nPageType == PAGE_TYPE_DATA && OfAllocationUnit(e, a.m_nId))
                AddTablePage(e, m_bPagesFromIndex);
    }
}

void CDbCatalog::TableColumns(std::int32_t nObjectId) {
    constexpr std::int32_t kMask = ~(3 << 24);
    std::set<std::int32_t> taken;
    m_tableColumns.clear();
    m_legacyTableColumns.clear();
    if (IsSql2000()) {
        for (const LegacyColumnEntry& c : m_legacyColumns)
            if ((c.m_nObjectId & kMask) == (nObjectId & kMask) &&
                taken.insert(c.m_nColumnId).second)
                m_legacyTableColumns.push_back(c);
        return;
    }
    for (const ColumnEntry& c : m_columns)
        if ((c.m_nObjectId & kMask) == (nObjectId & kMask) && c.m_nNumber == 0 &&
            taken.insert(c.m_nColumnId).second)
            m_tableColumns.push_back(c);
}

void CDbCatalog::RowsetColumns(std::int64_t nRowsetId) {
    m_tableRsColumns.clear();
    m_tableHobtColumns.clear();
    m_tableRowsetColumns2005.clear();
    for (const RsColumnEntry& r : m_rsColumns)
        if (r.m_nRowsetId == nRowsetId) m_tableRsColumns.push_back(r);
    if (!m_tableRsColumns.empty()) return;
    const auto nLow = static_cast<std::int32_t>(nRowsetId & 0xFFFFFFFF);
    const auto nHigh = static_cast<std::int32_t>(static_cast<std::uint64_t>(nRowsetId) >> 32);
    for (const HobtColumnEntry& h : m_hobtColumns)
        if (h.m_nRowsetIdLow == nLow && h.m_nRowsetIdHigh == nHigh) m_tableHobtColumns.push_back(h);
    for (const RowsetColumnEntry& r : m_rowsetColumns2005) {
        if (r.m_nRowsetIdLow != nLow || r.m_nRowsetIdHigh != nHigh) continue;
        m_tableRowsetColumns2005.push_back(r);
        for (HobtColumnEntry& h : m_tableHobtColumns)
            if (h.m_nColumnId == r.m_nColumnId) h.m_nValueR = r.m_nValueR;
    }
}

std::vector<IndexColumnEntry> CDbCatalog::IndexColumns(std::int32_t nObjectId) {
    m_tableIndexes.clear();
    for (const IndexEntry& i : m_indexes)
        if (i.m_nObjectId == nObjectId && (i.m_nStatus & 1) && i.m_nIndexId > 0)
            m_tableIndexes.push_back(i);
    std::vector<IndexColumnEntry> out;
    for (const IndexColumnEntry& c : m_indexColumns) {
        if (c.m_nObjectId != nObjectId) continue;
        for (const IndexEntry& i : m_tableIndexes) {
            if (i.m_nIndexId != c.m_nIndexId) continue;
            IndexColumnEntry e = c;
            e.m_nIndexStatus = i.m_nStatus;
            out.push_back(e);
        }
    }
    return out;
}

std::vector<TableColumn> CDbCatalog::ResolveObject(const std::string& strName,
                                                   const std::string& strType,
                                                   const std::vector<ValueTriple>& triples) {
    m_tableColumnList.clear();
    m_currentObject = FindObject(strName, strType);
    const ObjectEntry& o = m_currentObject;
    if (o.m_nId == -1) return {};
    const std::string strId = std::to_string(o.m_nId);
    TableConstraints(o.m_nId);
    if (IsModuleType(o.m_strType)) {
        m_bResolved = false;
        return {PseudoColumn(strId), PseudoColumn(o.m_strType), PseudoColumn(o.m_strName)};
    }
    m_bResolved = false;

    // Pages.
    if (!IsSql2000()) {
        m_bPagesFromIndex = false;
        PickRowset(o.m_nId);
        PickAllocationUnit(m_currentRowset.m_nRowsetId);
        TableRowsets(o.m_nId);
        TablePages();
        if (m_tablePages.empty() && !m_bAllocationUnitEmpty) {
            m_pageSet.clear();
            for (const PageIndexEntry& e : CMdfReader::PagesOf(m_reader.DataPages(), o.m_nId))
                if (e.nPageType == PAGE_TYPE_DATA) AddTablePage(e, m_bPagesFromIndex);
        }
    } else {
        m_tablePages.clear();
        for (const PageIndexEntry& e : CMdfReader::PagesOf(m_reader.DataPages(), o.m_nId))
            if (e.nPageType == PAGE_TYPE_DATA) m_tablePages.push_back({e.nFileId, e.nPageNumber});
    }

    // Columns.
    TableColumns(o.m_nId);
    if (!IsSql2000()) RowsetColumns(m_currentRowset.m_nRowsetId);
    const std::vector<IndexColumnEntry> indexColumns = IndexColumns(o.m_nId);

    std::vector<TableColumn>& cols = m_tableColumnList;
    auto typeOf = [&](std::uint8_t nSystemType, std::int32_t nUserType, std::int32_t nMaxLength,
                      std::int32_t& nCode) {
        const ScalarTypeEntry t = FindScalarType(nSystemType, nUserType);
        nCode = nSystemType == 34 ? TYPE_IMAGE : TypeCodeFromSystemType(nSystemType);
        return t.m_strName + "(" + std::to_string(nMaxLength) + ")";
    };
    if (!IsSql2000()) {
        for (const ColumnEntry& e : m_tableColumns) {
            if (Stopped()) break;
            if (e.m_nSystemTypeId == 0) continue;
            std::int32_t nCode = 0;
            const std::string strTypeText =
                typeOf(e.m_nSystemTypeId, e.m_nUserTypeId, e.m_nMaxLength, nCode);
            TableColumn c = BuildTableColumn(e.m_strName, strTypeText, nCode);
            if (c.m_nTypeCode == TYPE_CLR && e.m_nUserTypeId == 129) c.m_nTypeCode = TYPE_GEOMETRY;
            if (c.m_nTypeCode == TYPE_CLR && e.m_nUserTypeId == 128)
                c.m_nTypeCode = TYPE_HIERARCHYID;
            c.m_bNullable = (e.m_nStatus & 1) == 0;
            c.m_bSparse = (e.m_nStatus >> 24) & 1;
            c.m_bStatusBit3 = (e.m_nStatus >> 3) & 1;
            c.m_nColumnId = c.m_nStorageColumnId = e.m_nColumnId;
            c.m_nPrecision = e.m_nPrecision;
            c.m_nScale = e.m_nScale;
            c.m_nCollationId = e.m_nCollationId;
            c.m_strIdentity = e.m_strIdentity;
            cols.push_back(std::move(c));
        }
    } else {
        for (const LegacyColumnEntry& e : m_legacyTableColumns) {
            if (Stopped()) break;
            if (e.m_nSystemType == 0) continue;
            std::int32_t nCode = 0;
            const std::string strTypeText =
                typeOf(e.m_nSystemType, e.m_nUserType, e.m_nLength, nCode);
            TableColumn c = BuildTableColumn(e.m_strName, strTypeText, nCode);
            c.m_bNullable = (e.m_nStatus & 1) == 0;
            c.m_nColumnId = c.m_nStorageColumnId = e.m_nColumnId;
            c.m_nPrecision = e.m_nPrecision;
            c.m_nScale = e.m_nScale;
            c.m_nCollationId = e.m_nCollationId;
            c.m_nLeafOffset = static_cast<std::int16_t>(e.m_nRowOffset);
            c.m_nLegacyVarOffset = static_cast<std::int16_t>(e.m_nFixedOffset);
            cols.push_back(std::move(c));
        }
    }
    std::stable_sort(cols.begin(), cols.end(), [](const TableColumn& a, const TableColumn& b) {
        return a.m_nColumnId < b.m_nColumnId;
    });

    auto findColumn = [&](std::int32_t nColumnId) {
        return std::find_if(cols.begin(), cols.end(),
                            [&](const TableColumn& c) { return c.m_nColumnId == nColumnId; });
    };
    for (const RsColumnEntry& r : m_tableRsColumns) {
        auto it = findColumn(r.m_nRowsetColumnId);
        if (it == cols.end()) continue;
        it->m_nStorageColumnId = r.m_nContainerColumnId;
        it->m_bStored = true;
        it->m_nLeafOffset = static_cast<std::int16_t>(r.m_nLeafOffset & 0xFFFF);
        it->m_nNullBit = r.m_nNullBit;
    }
    if (m_tableRsColumns.empty() && m_tableHobtColumns.empty())
        for (TableColumn& c : cols) c.m_bStored = true;

    // Definition text from the value triples of (object, sub-object): all of them joined, or
    // only the last one.
    auto definition = [&](std::int32_t nSubId, bool bJoin) {
        const std::string strSub = std::to_string(nSubId);
        std::string out;
        for (const ValueTriple& t : triples) {
            if (t.strObjectId != strId || t.strSubObjectId != strSub || t.strValue.size() <= 2 ||
                t.strValue.compare(0, 2, "0x") != 0)
                continue;
            const std::string v = DecodeTripleValue(t.strValue);
            out = bJoin ? out + v : v;
        }
        return out;
    };
    if (!m_tableHobtColumns.empty()) {
        // Placement rows of a column that no longer exists (a dropped column) are passed over.
        for (const HobtColumnEntry& h : m_tableHobtColumns) {
            auto it = findColumn(h.m_nColumnId);
            if (it == cols.end()) continue;
            it->m_nLeafOffset = h.m_nValueP;
            it->m_nNullBit = h.m_nValueQ;
            it->m_nStorageColumnId = h.m_nValueR;
            it->m_bStored = true;
        }
        const std::vector<TableColumn> before = cols;
        for (TableColumn& c : cols) {
            auto same = std::find_if(before.begin(), before.end(), [&](const TableColumn& b) {
                return b.m_nColumnId == c.m_nStorageColumnId;
            });
            if (same != before.end()) {
                c.m_nLeafOffset = same->m_nLeafOffset;
                c.m_nNullBit = same->m_nNullBit;
            } else if (std::string d = definition(c.m_nStorageColumnId, true); !d.empty()) {
                c.m_strDefinition = d;
            }
        }
    } else {
        for (TableColumn& c : cols) {
            if (c.m_bStored) continue;
            c.m_strDefinition = definition(c.m_nStorageColumnId, false);
            c.m_nStorageColumnId = kNotStored;
        }
    }

    // Keys.
    for (TableColumn& c : cols) {
        for (const IndexColumnEntry& i : indexColumns) {
            if (c.m_nColumnId != i.m_nColumnId) continue;
            const std::int32_t nStatus = i.m_nIndexStatus;
            if (nStatus & 0x20) c.m_bPrimaryKey = true;
            if (nStatus & 0x08) c.m_bUniqueIndex = true;
            if (nStatus & 0x40) {
                c.m_bUniqueConstraint = true;
                c.m_nKeyProperty = i.m_nProperty1;
            }
        }
    }
    for (const ForeignKeyEntry& fk : m_foreignKeys) {
        if (fk.m_nParentTableId != o.m_nId || fk.m_strReferencedTableName.empty() ||
            fk.m_strReferencedColumnName.empty())
            continue;
        auto it = findColumn(fk.m_nParentColumnId);
        if (it == cols.end()) continue;
        it->m_bForeignKey = true;
        it->m_strReferencedTable = fk.m_strReferencedTableName;
        it->m_strReferencedColumn = fk.m_strReferencedColumnName;
    }

    m_nFirstStoredColumn = 0;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (cols[i].m_nStorageColumnId != kNotStored) {
            m_nFirstStoredColumn = static_cast<std::int32_t>(i);
            break;
        }
    }
    m_bResolved = true;
    return cols;
}
