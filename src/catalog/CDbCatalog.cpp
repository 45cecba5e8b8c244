#include "catalog/CDbCatalog.h"

#include <algorithm>

CDbCatalog::CDbCatalog(CMdfReader& reader) : m_systemTables(reader), m_reader(reader) {
    CDravoltBrevantProjApp& app = reader.App();
    m_reader.ReadBootPage();

    if (!Stopped()) m_systemTables.ReadFiles(m_files);
    m_reader.ResolveSecondaryFiles(m_files, m_reader.Path());

    // The object pass decides the layout: object rows of the later layout make it that one;
    // without them, object rows of the 2000 layout make it a 2000 catalog. With neither, the
    // option stays as the user set it, so the columns of a later-layout file whose object
    // rows are lost are still read (and name their tables).
    m_systemTables.ResetRepairCounter();
    m_systemTables.ReadObjects(m_objects, false);
    if (!m_reader.SystemPages().empty()) {
        if (m_objects.empty()) {
            m_systemTables.ReadObjects(m_objects, true);
            if (!m_objects.empty()) app.m_bIsSql2000 = true;
        } else {
            app.m_bIsSql2000 = false;
        }
    }
    m_systemTables.ResetRepairCounter();

    if (!Stopped())
        m_systemTables.ReadAllocUnits(app.m_bIsSql2000 ? OBJ_ALLOCUNITS_2000 : OBJ_SYSALLOCUNITS,
                                      m_allocUnits);
    if (!Stopped()) m_systemTables.ReadRowsets(m_rowsets);

    if (app.m_bIsSql2000) {
        if (!Stopped()) m_systemTables.ReadLegacyIndexes(m_legacyIndexes);
        BuildLegacyTables();
        if (!Stopped()) LegacyColumnPass();
    } else {
        m_systemTables.ResetRepairCounter();
        m_systemTables.ReadColumns(OBJ_SYSCOLPARS, m_columns);
        m_systemTables.ReadColumns(OBJ_SYSCOLPARS_MORE, m_columns);
        m_systemTables.ResetRepairCounter();
    }
    if (m_objects.empty()) SynthesiseObjects();
    if (!Stopped()) m_systemTables.ReadScalarTypes(m_scalarTypes);

    if (!app.m_bIsSql2000) {
        if (!Stopped()) m_systemTables.ReadRsColumns(m_rsColumns);
        if (!Stopped()) m_systemTables.ReadObjectRefs(m_objectRefs);
        if (!Stopped()) m_systemTables.ReadIndexes(m_indexes);
        if (!Stopped()) m_systemTables.ReadIndexColumns(m_indexColumns);
        if (!Stopped()) m_systemTables.ReadHobtColumns(m_hobtColumns);
        if (!Stopped()) m_systemTables.ReadRowsetColumns(m_rowsetColumns2005);
        BuildForeignKeys();
    }
}

void CDbCatalog::BuildLegacyTables() {
    for (const auto& [nKey, index] : m_legacyIndexes) {
        if (Stopped()) return;
        const std::int32_t nId = nKey;
        if (nId <= 100 || index.m_nIndexId != 1) continue;
        LegacyTableEntry t;
        t.m_nObjectId = nId;
        auto it = std::find_if(m_objects.begin(), m_objects.end(),
                               [nId](const ObjectEntry& o) { return o.m_nId == nId; });
        if (it != m_objects.end()) t.m_strName = it->m_strName;
        m_legacyTables.push_back(std::move(t));
    }
}

void CDbCatalog::LegacyColumnPass() {
    m_systemTables.ResetRepairCounter();
    for (const PageIndexEntry& e :
         CMdfReader::PagesOf(m_reader.SystemPages(), OBJ_SYSCOLUMNS_2000)) {
        if (Stopped()) break;
        const std::size_t nFirst = m_legacyColumns.size();
        m_systemTables.DecodeLegacyColumns(e, m_legacyColumns);
        for (std::size_t i = nFirst; i < m_legacyColumns.size(); ++i) {
            const LegacyColumnEntry& c = m_legacyColumns[i];
            for (LegacyTableEntry& t : m_legacyTables)
                if (t.m_nObjectId == c.m_nObjectId)
                    t.m_columns.push_back({c.m_strName, {}, c.m_nColumnOrder, c.m_nTypeStatus});
        }
    }
    m_systemTables.ResetRepairCounter();
}

void CDbCatalog::SynthesiseObjects() {
    std::set<std::int32_t> seen;
    for (const ColumnEntry& c : m_columns) {
        if (!seen.insert(c.m_nObjectId).second) continue;
        ObjectEntry o;
        o.m_nId = c.m_nObjectId;
        o.m_strName = std::to_string(c.m_nObjectId);
        o.m_strType = "U ";
        m_objects.push_back(std::move(o));
    }
}

void CDbCatalog::BuildForeignKeys() {
    for (const ObjectRefEntry& r1 : m_objectRefs) {
        if (Stopped()) return;
        if (r1.m_nClass != 28) continue;
        for (const ObjectRefEntry& r2 : m_objectRefs) {
            if (r2.m_nClass != 29 || r2.m_nDependentId != r1.m_nDependentId ||
                r2.m_nDependentSubId != r1.m_nDependentSubId)
                continue;
            ForeignKeyEntry fk;
            fk.m_nConstraintId = r1.m_nDependentId;
            fk.m_nOrdinal = r1.m_nDependentSubId;
            fk.m_nParentTableId = r1.m_nIndependentId;
            fk.m_nParentColumnId = r1.m_nIndependentSubId;
            fk.m_nReferencedTableId = r2.m_nIndependentId;
            fk.m_nReferencedColumnId = r2.m_nIndependentSubId;
            m_foreignKeys.push_back(std::move(fk));
        }
    }
    if (Stopped()) return;
    // Names by id: a later object or column with the same id overwrites an earlier one.
    std::map<std::int32_t, const ObjectEntry*> objects;
    for (const ObjectEntry& o : m_objects) objects[o.m_nId] = &o;
    std::map<std::pair<std::int32_t, std::int32_t>, const ColumnEntry*> columns;
    for (const ColumnEntry& c : m_columns) columns[{c.m_nObjectId, c.m_nColumnId}] = &c;
    auto objectName = [&](std::int32_t id) {
        auto it = objects.find(id);
        return it == objects.end() ? std::string() : it->second->m_strName;
    };
    auto columnName = [&](std::int32_t nTable, std::int32_t nColumn) {
        auto it = columns.find({nTable, nColumn});
        return it == columns.end() ? std::string() : it->second->m_strName;
    };
    for (ForeignKeyEntry& fk : m_foreignKeys) {
        fk.m_strParentTableName = objectName(fk.m_nParentTableId);
        fk.m_strReferencedTableName = objectName(fk.m_nReferencedTableId);
        if (auto it = objects.find(fk.m_nConstraintId); it != objects.end()) {
            fk.m_strConstraintName = it->second->m_strName;
            fk.m_nConstraintStatus = it->second->m_nStatus;
        }
        fk.m_strParentColumnName = columnName(fk.m_nParentTableId, fk.m_nParentColumnId);
        fk.m_strReferencedColumnName =
            columnName(fk.m_nReferencedTableId, fk.m_nReferencedColumnId);
    }
}

ObjectEntry CDbCatalog::FindObject(const std::string& strName, const std::string& strType) const {
    for (const ObjectEntry& o : m_objects) {
        if (Stopped()) break;
        if (o.m_strName != strName) continue;
        if (o.m_strType == strType || (o.m_strType != "U " && o.m_strType != "S ")) return o;
    }
    return ObjectEntry{-1, {}, -1, 255, -1, {}, -1, 255, -1};
}

ScalarTypeEntry CDbCatalog::FindScalarType(std::int32_t nSystemTypeId,
                                           std::int32_t nUserTypeId) const {
    const ScalarTypeEntry* pFallback = nullptr;
    for (const ScalarTypeEntry& t : m_scalarTypes) {
        if (Stopped()) break;
        if (t.m_nTypeId != nSystemTypeId) continue;
        if (!pFallback) pFallback = &t;
        if (t.m_nTypeId == nUserTypeId && t.m_nSystemTypeId == nSystemTypeId && t.m_nSchemaId == 1)
            return t;
    }
    return pFallback ? *pFallback : ScalarTypeEntry{};
}

void CDbCatalog::ResetForTeardown() {
    m_hobtColumns.clear();
    m_rowsetColumns2005.clear();
    m_legacyColumns.clear();
    m_legacyTables.clear();
    m_legacyIndexes.clear();
    m_columns.clear();
    m_objects.clear();
    m_scalarTypes.clear();
    m_rsColumns.clear();
    m_objectRefs.clear();
    m_indexes.clear();
    m_indexColumns.clear();
    m_allocUnits.clear();
    m_foreignKeys.clear();
    m_rowsets.clear();
    m_files.clear();
    m_tableColumns.clear();
    m_legacyTableColumns.clear();
    m_tableHobtColumns.clear();
    m_tableRowsetColumns2005.clear();
    m_tableConstraints.clear();
    m_tableIndexes.clear();
    m_tableRowsets.clear();
    m_tableAllocUnits.clear();
    m_tableRsColumns.clear();
    m_tablePages.clear();
    m_pageSet.clear();
    m_tableColumnList.clear();
    m_bResolved = false;
}

void CRecoverySession::Close() {
    if (m_pCatalog) m_pCatalog->ResetForTeardown();
    m_pCatalog.reset();
    m_pReader.reset();
}

bool OpenSession(const std::string& strPath, CRecoverySession& session, CDravoltBrevantProjApp& app,
                 IEngineNotify& notify, const IFileSource& source,
                 const std::vector<std::string>& namedSecondaryFiles) {
    session.Close();
    session.m_pReader = std::make_unique<CMdfReader>(strPath, app, notify, source);
    if (!session.m_pReader->IsOpen()) return false;
    if (!namedSecondaryFiles.empty()) {
        std::vector<SecondaryFile> named;
        session.m_pReader->MapFoundSecondaryFiles(namedSecondaryFiles, named);
    }
    session.m_pCatalog = std::make_unique<CDbCatalog>(*session.m_pReader);
    return true;
}
