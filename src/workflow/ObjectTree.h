// The object tree of a complete recovery: the database node, the folders of the object kinds,
// one node per catalog object and, built on a table's first click, its columns and constraint
// folders. Every folder is filled by inserting at its first position, so a folder that is not
// sorted shows its objects in the reverse order of the catalog list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalog/CDbCatalog.h"
#include "workflow/ActivityLog.h"
#include "workflow/Ports.h"

inline constexpr const char* kDefaultDatabaseName = "RepairDataBase";

// What a click on an object tree node asks for.
enum class ClickKind {
    Nothing,    // the database node or a node without text
    Table,      // a node under "User Tables" or "System Tables": the table's records
    PrimaryKey, // under "PrimaryKey": the primary-key script
    Unique,     // under "Unique": the unique-constraint script
    Other,      // anything else: resolved as a module ("P "), a check constraint under
                // "Constraint"
};

struct ClickTarget {
    ClickKind kind = ClickKind::Nothing;
    std::string strText;       // the node's text
    std::string strParentText; // its parent's text
    std::string strType;       // for a table: "U " or "S "; otherwise "P "
    bool bUnderConstraint = false;
};

class CObjectTree {
public:
    CObjectTree(ITreeView& tree, IProgressBar& progress, CActivityLog& log)
        : m_tree(tree), m_progress(progress), m_log(log) {}

    // Empties the tree and forgets its folders and the object name list.
    void Clear();
    // The database node and the folders under it.
    void BuildFolders(const std::string& strDatabaseName);
    // One node per named object of the catalog in its kind's folder; tables with columns and
    // pages in bold. False when no object was handled.
    bool Create(CDbCatalog& catalog);
    void SortChildren(TreeItem folder) { m_tree.SortChildren(folder); }
    // On a table's first click: its constraint folders, its columns and its constraints. False
    // when the node is not an unexpanded table or the table was not resolved.
    bool ExpandTable(CDbCatalog& catalog, TreeItem item, const std::vector<ValueTriple>& triples);
    // What a click on the node shows.
    ClickTarget Classify(TreeItem item) const;

    TreeItem Database() const { return m_hDatabase; }
    TreeItem Tables() const { return m_hTables; }
    TreeItem UserTables() const { return m_hUserTables; }
    TreeItem SystemTables() const { return m_hSystemTables; }
    TreeItem Programmability() const { return m_hProgrammability; }
    TreeItem Functions() const { return m_hFunction; }
    TreeItem Procedures() const { return m_hStoreProcedure; }
    TreeItem Views() const { return m_hViews; }
    TreeItem Defaults() const { return m_hDefault; }
    TreeItem Triggers() const { return m_hTriggers; }
    // The "PrimaryKey" folder of the table expanded last.
    TreeItem LastPrimaryKeyFolder() const { return m_hPrimaryKey; }
    const std::vector<std::string>& ObjectNames() const { return m_objectNames; }

private:
    TreeItem FolderFor(const std::string& strType) const;
    TreeItem Insert(const std::string& strText, TreeItem parent, std::uint32_t nData);

    ITreeView& m_tree;
    IProgressBar& m_progress;
    CActivityLog& m_log;
    TreeItem m_hDatabase = kTreeRoot, m_hTables = kTreeRoot, m_hUserTables = kTreeRoot,
             m_hSystemTables = kTreeRoot, m_hProgrammability = kTreeRoot, m_hFunction = kTreeRoot,
             m_hStoreProcedure = kTreeRoot, m_hViews = kTreeRoot, m_hDefault = kTreeRoot,
             m_hTriggers = kTreeRoot, m_hPrimaryKey = kTreeRoot;
    std::vector<std::string> m_objectNames;
};
