#include "workflow/ObjectTree.h"

#include "rowdecode/ModuleText.h"

TreeItem CObjectTree::Insert(const std::string& strText, TreeItem parent, std::uint32_t nData) {
    const TreeItem item = m_tree.InsertItem(strText, 0, 0, parent, TreeInsert::First);
    m_tree.SetItemData(item, nData);
    return item;
}

void CObjectTree::Clear() {
    m_tree.DeleteAllItems();
    m_hDatabase = m_hTables = m_hUserTables = m_hSystemTables = m_hProgrammability = kTreeRoot;
    m_hFunction = m_hStoreProcedure = m_hViews = m_hDefault = m_hTriggers = kTreeRoot;
    m_hPrimaryKey = kTreeRoot;
    m_objectNames.clear();
}

void CObjectTree::BuildFolders(const std::string& strDatabaseName) {
    m_hDatabase = m_tree.InsertItem(strDatabaseName, 0, 0, kTreeRoot, TreeInsert::Last);
    m_tree.SetItemData(m_hDatabase, 0);
    // Each folder goes first under its parent; this order of insertion shows Views,
    // Programmability (Triggers, Default, Store Procedure, Function), Tables (System Tables,
    // User Tables).
    m_hTables = Insert("Tables", m_hDatabase, 0);
    m_hUserTables = Insert("User Tables", m_hTables, 0);
    m_hSystemTables = Insert("System Tables", m_hTables, 0);
    m_hProgrammability = Insert("Programmability", m_hDatabase, 0);
    m_hFunction = Insert("Function", m_hProgrammability, 0);
    m_hStoreProcedure = Insert("Store Procedure", m_hProgrammability, 0);
    m_hViews = Insert("Views", m_hDatabase, 0);
    m_hDefault = Insert("Default", m_hProgrammability, 0);
    m_hTriggers = Insert("Triggers", m_hProgrammability, 0);
}

TreeItem CObjectTree::FolderFor(const std::string& t) const {
    if (t == "V ") return m_hViews;
    if (t == "FN" || t == "IF" || t == "TF") return m_hFunction;
    if (t == "P ") return m_hStoreProcedure;
    if (t == "TR") return m_hTriggers;
    if (t == "D ") return m_hDefault;
    if (t == "U ") return m_hUserTables;
    if (t == "S ") return m_hSystemTables;
    return kTreeRoot;
}

bool CObjectTree::Create(CDbCatalog& catalog) {
    // The list is copied: resolving a table rewrites the catalog's workspace, not its object
    // list, but the copy keeps the walk independent of that.
    const std::vector<ObjectEntry> objects = catalog.m_objects;
    const std::size_t n = objects.size();
    if (n == 0) return false;
    m_progress.SetRange(0, n);
    m_log.CaptionLine("Creating Tree.........");
    m_progress.SetPos(0);
    std::size_t nHandled = 0;
    const std::vector<ValueTriple> kNoTriples;
    for (std::size_t i = 0; i < n; ++i) {
        const ObjectEntry& o = objects[i];
        if (o.m_strName.empty()) continue;
        const TreeItem folder = FolderFor(o.m_strType);
        if (folder != kTreeRoot) {
            const TreeItem node = Insert(o.m_strName, folder, 1);
            if (o.m_strType == "U " || o.m_strType == "S ") {
                Insert("Columns", node, 0);
                const std::vector<TableColumn> columns =
                    catalog.ResolveObject(o.m_strName, o.m_strType, kNoTriples);
                if (!columns.empty() && !catalog.m_tablePages.empty()) m_tree.SetBold(node, true);
            }
        }
        m_objectNames.push_back(o.m_strName);
        ++nHandled;
        m_progress.SetPos(i);
    }
    m_tree.SortChildren(m_hStoreProcedure);
    m_tree.SortChildren(m_hFunction);
    m_log.CaptionLine("Process done.........");
    m_progress.SetPos(n);
    return nHandled > 0;
}

ClickTarget CObjectTree::Classify(TreeItem item) const {
    ClickTarget t;
    t.strText = m_tree.ItemText(item);
    const TreeItem parent = m_tree.Parent(item);
    t.strParentText = parent != kTreeRoot ? m_tree.ItemText(parent) : std::string();
    if (item == kTreeRoot || item == m_hDatabase || t.strText.empty()) return t;
    if (parent != kTreeRoot && (parent == m_hUserTables || parent == m_hSystemTables)) {
        t.kind = ClickKind::Table;
        t.strType = parent == m_hUserTables ? "U " : "S ";
        return t;
    }
    t.strType = "P ";
    if (t.strParentText == "PrimaryKey") {
        t.kind = ClickKind::PrimaryKey;
    } else if (t.strParentText == "Unique") {
        t.kind = ClickKind::Unique;
    } else {
        t.kind = ClickKind::Other;
        t.bUnderConstraint = t.strParentText == "Constraint";
    }
    return t;
}

bool CObjectTree::ExpandTable(CDbCatalog& catalog, TreeItem item,
                              const std::vector<ValueTriple>& triples) {
    if (item == kTreeRoot) return false;
    const TreeItem parent = m_tree.Parent(item);
    std::string strType;
    if (parent != kTreeRoot && parent == m_hUserTables)
        strType = "U ";
    else if (parent != kTreeRoot && parent == m_hSystemTables)
        strType = "S ";
    else
        return false;
    const std::vector<TreeItem> children = m_tree.Children(item);
    if (children.empty() || m_tree.ItemText(children.front()) != "Columns") return false;
    const TreeItem hColumns = children.front();

    const std::vector<TableColumn> columns =
        catalog.ResolveObject(m_tree.ItemText(item), strType, triples);
    if (catalog.m_bResolved) {
        m_hPrimaryKey = Insert("PrimaryKey", item, 0);
        const TreeItem hConstraint = Insert("Constraint", item, 0);
        const TreeItem hUnique = Insert("Unique", item, 0);
        const TreeItem hForeignKey = Insert("ForeignKey", item, 0);
        m_tree.SetItemData(hColumns, 0);
        for (auto it = columns.rbegin(); it != columns.rend(); ++it)
            if (!it->m_strName.empty()) Insert(ColumnDescription(*it), hColumns, 0);

        const bool b2000 = catalog.IsSql2000();
        for (const TableConstraint& c : catalog.m_tableConstraints) {
            TreeItem folder = kTreeRoot;
            if (c.m_strType == "PK")
                folder = m_hPrimaryKey;
            else if (c.m_strType == "F ")
                folder = hForeignKey;
            else if (c.m_strType == "C " || c.m_strType == "D ")
                folder = hConstraint;
            else if (c.m_strType == "UQ")
                folder = hUnique;
            if (folder == kTreeRoot) continue;
            Insert(c.m_strName, folder, b2000 ? static_cast<std::uint32_t>(c.m_nObjectId) : 0);
        }
    }
    return catalog.m_bResolved;
}
