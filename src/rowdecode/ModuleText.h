// Module texts (views, procedures, functions, triggers, defaults, check constraints, computed
// columns) as the database stores them in its value table, and the texts built from the
// schema for keys and constraints.
#pragma once

#include <string>
#include <vector>

#include "appstate/EngineMessages.h"
#include "catalog/CDbCatalog.h"

// The columns the value table is read with: sysobjvalues in the later layout, syscomments in
// the 2000 layout.
std::vector<TableColumn> ValueTableColumns(bool b2000);

// Reads every row of the value table and appends one triple per row (object id, sub-object id,
// value as "0x" and hexadecimal digits). Writes the table column list of the catalog.
void CollectValueTriples(CDbCatalog& catalog, std::vector<ValueTriple>& out, IEngineNotify& notify);

// The text of one object from a list of triples: the values of its rows in list order, UTF-16
// ones always appended, single-byte ones only when they differ from the text so far.
std::string AssembleModuleText(const std::vector<ValueTriple>& triples,
                               const std::string& strObjectId);

// The module list of a scan, loaded on the first request (again on the next request when a
// load found nothing).
class CModuleTexts {
public:
    std::string ModuleText(CDbCatalog& catalog, const std::string& strObjectId,
                           IEngineNotify& notify);
    void Clear() {
        m_triples.clear();
        m_bLoaded = false;
    }

private:
    std::vector<ValueTriple> m_triples;
    bool m_bLoaded = false;
};

// One line per column for the tree: name, type text, key marks and what a foreign key refers to.
std::string ColumnDescription(const TableColumn& c);

// ALTER TABLE scripts of a table's primary key, unique constraint and check constraint.
std::string PrimaryKeyScript(const CDbCatalog& catalog, std::int32_t nTableId,
                             const std::vector<TableColumn>& columns);
std::string UniqueScript(const CDbCatalog& catalog, std::int32_t nTableId,
                         const std::string& strConstraint, const std::vector<TableColumn>& columns);
std::string CheckScript(const std::string& strTable, const std::string& strConstraint,
                        const std::string& strModuleText);
