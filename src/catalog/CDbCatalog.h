// The decoded schema of one open database: every system-table list, the lists derived from
// them, and the workspace of the table or module opened last.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "catalog/SystemEntries.h"
#include "catalog/SystemTableReader.h"
#include "catalog/TableColumn.h"
#include "pagestore/CMdfReader.h"

// A page of the current table, in the order it was found.
struct TablePage {
    std::int16_t m_nFileId = 0;
    std::int32_t m_nPageIndex = 0;
};

// A child object (key, constraint) of the current table.
struct TableConstraint {
    bool m_bPrimaryKey = false;
    bool m_bForeignKey = false;
    bool m_bUnique = false;
    std::string m_strName;
    std::int32_t m_nObjectId = 0;
    std::string m_strType;
};

// A value of a module or computed column as sysobjvalues (or syscomments) holds it: the object
// id and sub-object id as decimal text and the value as "0x" and hexadecimal digits.
struct ValueTriple {
    std::string strObjectId;
    std::string strSubObjectId;
    std::string strValue;
};

// The text of a value triple's value: UTF-16 when a byte after the first is zero, else
// single-byte text in the default code page.
std::string DecodeTripleValue(const std::string& strHex);

class CDbCatalog {
public:
    // Builds the whole catalog: boot page, secondary files, then every system table in turn.
    explicit CDbCatalog(CMdfReader& reader);
    CDbCatalog(const CDbCatalog&) = delete;
    CDbCatalog& operator=(const CDbCatalog&) = delete;

    // The first object (in list order) with this name and type, or else with this name and a
    // type other than a table's; an entry with id -1 when there is none. Names compare exactly.
    ObjectEntry FindObject(const std::string& strName, const std::string& strType) const;
    // The type with this system and user type id in schema 1, else the first with this type
    // id; initial values when there is none.
    ScalarTypeEntry FindScalarType(std::int32_t nSystemTypeId, std::int32_t nUserTypeId) const;
    // Empties every list before the catalog goes away.
    void ResetForTeardown();

    // Finds an object and works out, for a table, its rowset, allocation unit, pages and the
    // type, place and null bit of every column; the workspace describes it afterwards. For a
    // module (view, procedure, constraint ...) the result is three pseudo columns holding its
    // id, its type code and its name. Empty when the object is not found.
    std::vector<TableColumn> ResolveObject(const std::string& strName, const std::string& strType,
                                           const std::vector<ValueTriple>& triples);
    static TableColumn BuildTableColumn(const std::string& strName, const std::string& strType,
                                        std::int32_t nTypeCode);

    // The steps of the resolution, each writing the workspace member it is named after.
    void PickRowset(std::int32_t nObjectId);
    void PickAllocationUnit(std::int64_t nRowsetId);
    void TableRowsets(std::int32_t nObjectId);
    void TablePages();
    void TableColumns(std::int32_t nObjectId);
    void RowsetColumns(std::int64_t nRowsetId);
    std::vector<IndexColumnEntry> IndexColumns(std::int32_t nObjectId);
    void TableConstraints(std::int32_t nObjectId);

    CMdfReader& Reader() const { return m_reader; }
    bool IsSql2000() const { return m_reader.App().m_bIsSql2000; }

    SystemTableReader m_systemTables;

    std::vector<HobtColumnEntry> m_hobtColumns;
    std::vector<RowsetColumnEntry> m_rowsetColumns2005;
    std::vector<LegacyColumnEntry> m_legacyColumns;
    std::vector<LegacyTableEntry> m_legacyTables;
    std::map<std::int32_t, LegacyIndexEntry> m_legacyIndexes;
    std::vector<ColumnEntry> m_columns;
    std::vector<ObjectEntry> m_objects;
    std::vector<ScalarTypeEntry> m_scalarTypes;
    std::vector<RsColumnEntry> m_rsColumns;
    std::vector<ObjectRefEntry> m_objectRefs;
    std::vector<IndexEntry> m_indexes;
    std::vector<IndexColumnEntry> m_indexColumns;
    std::vector<AllocUnitEntry> m_allocUnits;
    std::vector<ForeignKeyEntry> m_foreignKeys;
    std::vector<RowsetEntry> m_rowsets;
    std::vector<SecondaryFile> m_files;

    // Workspace of the table or module resolved last.
    AllocUnitEntry m_currentAllocUnit;
    bool m_bCurrentAllocUnitFlag = false;
    RowsetEntry m_currentRowset;
    std::vector<ColumnEntry> m_tableColumns;
    std::vector<LegacyColumnEntry> m_legacyTableColumns;
    std::vector<HobtColumnEntry> m_tableHobtColumns;
    std::vector<RowsetColumnEntry> m_tableRowsetColumns2005;
    std::vector<TableConstraint> m_tableConstraints;
    std::vector<IndexEntry> m_tableIndexes;
    std::vector<RowsetEntry> m_tableRowsets;
    std::vector<AllocUnitEntry> m_tableAllocUnits;
    std::vector<RsColumnEntry> m_tableRsColumns;
    std::vector<TablePage> m_tablePages;
    bool m_bResolved = false;
    std::int32_t m_nFirstStoredColumn = 0;
    ObjectEntry m_currentObject;
    bool m_bPagesFromIndex = false;
    // The table's allocation unit row lists no page: it is empty, and what pages carry its id
    // are freed pages holding deleted rows.
    bool m_bAllocationUnitEmpty = false;
    std::set<std::pair<std::int16_t, std::int32_t>> m_pageSet;
    std::vector<TableColumn> m_tableColumnList;

private:
    bool Stopped() const { return m_reader.App().StopRequested(); }
    void BuildLegacyTables();
    void LegacyColumnPass();
    void SynthesiseObjects();
    void BuildForeignKeys();
    void AddTablePage(const PageIndexEntry& e, bool bThroughPageSet);

    CMdfReader& m_reader;
};

// The open database of a scan: the file set and its catalog, both null when none is open.
struct CRecoverySession {
    std::unique_ptr<CMdfReader> m_pReader;
    std::unique_ptr<CDbCatalog> m_pCatalog;
    // Empties the catalog's lists, then destroys the catalog and closes the files.
    void Close();
};

// Opens the primary file at a path into the session and, when the file set is valid, builds
// its catalog. Secondary files the user named are mapped first, under the file ids their pages
// carry; the others are looked for beside the primary file. Returns whether the file set is
// valid; the reader has told `notify` why not.
bool OpenSession(const std::string& strPath, CRecoverySession& session, CDravoltBrevantProjApp& app,
                 IEngineNotify& notify, const IFileSource& source = CPosixFileSource::Instance(),
                 const std::vector<std::string>& namedSecondaryFiles = {});
