// The document view of a SharePoint content database. A scan reads the rows of the sites
// table ("Webs", or "AllWebs"), of the libraries table "AllLists" and of the documents table
// "AllDocs" into three lists and builds two trees from them in the document tree:
// "SharePointACTUAL" (site, library, then the folders and files of the library) and
// "SharePointData" (the folders of every document's directory path). A click on a library or
// folder node lists the files directly under it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "catalog/CDbCatalog.h"
#include "rowdecode/TableRowDecoder.h"
#include "workflow/ActivityLog.h"
#include "workflow/Ports.h"

// Images of document tree nodes: a front end shows the system's folder icon, or for a file
// the icon its leaf name's extension gives.
inline constexpr int kImageFolder = 0;
inline constexpr int kImageFile = 1;

inline constexpr const char* kSharePointActualRoot = "SharePointACTUAL";
inline constexpr const char* kSharePointDataRoot = "SharePointData";

struct SiteEntry {
    std::string strId; // trimmed
    std::string strSiteCollectionId;
    std::string strTitle;
    TreeItem item = kTreeRoot;
};

struct LibraryEntry {
    std::string strSiteId; // trimmed
    std::string strLibraryId;
    std::string strTitle;
    TreeItem item = kTreeRoot;
};

struct DocumentRecord {
    std::string strId; // trimmed
    std::string strSiteCollectionId;
    std::string strLibraryId;
    std::uint8_t nType = 0; // 0 a file, 1 a folder
    std::string strDirectory;
    std::string strSiteId;
    std::string strLeafName;
    std::int64_t nSize = 0;
    std::string strCreated;
    std::string strModified;
};

// What a document tree node stands for: 'D' a library or folder whose files can be listed,
// 'F' a file; the index is the document's place in the document list.
struct DocumentItemData {
    char nKind = 0;
    std::int32_t nIndex = 0;
};

class CSharePointView {
public:
    CSharePointView(CDravoltBrevantProjApp& app, const WorkflowPorts& ports, CActivityLog& log)
        : m_app(app), m_ports(ports), m_log(log) {}

    // Empties the three lists and forgets the item data of the document tree.
    void Reset();

    // The collectors read the rows of the table the catalog has just resolved (nothing when
    // the resolved flag is clear). Advanced mode takes the page maps' pages and at most the
    // first 1000 rows.
    void CollectSites(CDbCatalog& catalog, bool bAdvanced);
    void CollectLibraries(CDbCatalog& catalog, bool bAdvanced);
    void CollectDocuments(CDbCatalog& catalog, bool bAdvanced);

    // The "SharePointACTUAL" root with one node per site.
    void BuildSiteTree();
    // A node per library under its site's node.
    void AttachLibraries();
    // Places a document (by its index in the document list) under its library's node.
    void PlaceDocument(const DocumentRecord& record, std::int32_t nIndex);
    // The "SharePointData" tree.
    void BuildDocumentTree();
    // The folder of "SharePointData" for a directory path, created as needed; 0 when the path
    // has no component.
    TreeItem FolderForPath(const std::string& strDirectory);

    // The document list for a clicked node: the files directly under a library or folder.
    void ShowDocuments(TreeItem item);

    const std::vector<SiteEntry>& Sites() const { return m_sites; }
    const std::vector<LibraryEntry>& Libraries() const { return m_libraries; }
    const std::vector<DocumentRecord>& Documents() const { return m_documents; }
    // The item data of a document tree node; kind 0 when it has none.
    DocumentItemData ItemData(TreeItem item) const;

private:
    // Calls fn(row, column index by name) for every used row of the resolved table.
    template <class Fn> void CollectRows(CDbCatalog& catalog, bool bAdvanced, Fn&& fn);
    TreeItem Insert(const std::string& strText, int nImage, TreeItem parent, char nKind,
                    std::int32_t nIndex);
    // The first child of `parent` whose text (trimmed when bTrim) equals strText, or 0.
    TreeItem ChildWithText(TreeItem parent, const std::string& strText, bool bTrim) const;

    CDravoltBrevantProjApp& m_app;
    WorkflowPorts m_ports;
    CActivityLog& m_log;
    std::vector<SiteEntry> m_sites;
    std::vector<LibraryEntry> m_libraries;
    std::vector<DocumentRecord> m_documents;
    // The records behind the document tree's item data; a node's item data is its record's
    // position + 1 (0: none).
    std::vector<DocumentItemData> m_itemData;
    // The first child of a node with a text, and with a trimmed text: a library of many
    // thousand files is searched for each of them. Every node of the document tree is
    // inserted here, so the indexes hold all of them.
    std::map<std::pair<TreeItem, std::string>, TreeItem> m_childByText;
    std::map<std::pair<TreeItem, std::string>, TreeItem> m_childByTrimmedText;
    // The first library of a (library id, site id) pair.
    std::map<std::pair<std::string, std::string>, std::size_t> m_libraryByIds;
    TreeItem m_hActualRoot = kTreeRoot;
    TreeItem m_hDataRoot = kTreeRoot;
};
