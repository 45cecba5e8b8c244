#include "workflow/SharePointView.h"

#include <cstdlib>
#include <map>

#include "rowdecode/TableListing.h"

namespace {

std::string Trimmed(const std::string& s) {
    const char* kBlank = " \t\r\n\f\v";
    const std::size_t b = s.find_first_not_of(kBlank);
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(kBlank) - b + 1);
}

// The non-empty components of a path split at "/".
std::vector<std::string> PathComponents(const std::string& strPath) {
    std::vector<std::string> out;
    std::size_t b = 0;
    while (b <= strPath.size()) {
        std::size_t e = strPath.find('/', b);
        if (e == std::string::npos) e = strPath.size();
        if (e > b) out.push_back(strPath.substr(b, e - b));
        b = e + 1;
    }
    return out;
}

// The values of a row by column name; a column the table lacks gives an empty text.
class CRowValues {
public:
    CRowValues(const DecodedRow& row, const std::map<std::string, std::size_t>& index)
        : m_row(row), m_index(index) {}
    const std::string& operator[](const char* name) const {
        static const std::string kEmpty;
        const auto it = m_index.find(name);
        if (it == m_index.end() || it->second >= m_row.texts.size()) return kEmpty;
        return m_row.texts[it->second];
    }

private:
    const DecodedRow& m_row;
    const std::map<std::string, std::size_t>& m_index;
};

} // namespace

void CSharePointView::Reset() {
    m_sites.clear();
    m_libraries.clear();
    m_documents.clear();
    m_itemData.clear();
    m_childByText.clear();
    m_childByTrimmedText.clear();
    m_libraryByIds.clear();
    m_hActualRoot = m_hDataRoot = kTreeRoot;
}

TreeItem CSharePointView::Insert(const std::string& strText, int nImage, TreeItem parent,
                                 char nKind, std::int32_t nIndex) {
    const TreeItem item =
        m_ports.documentTree.InsertItem(strText, nImage, nImage, parent, TreeInsert::Last);
    // Inserted last: an earlier child with the same text stays the first one.
    m_childByText.emplace(std::make_pair(parent, strText), item);
    m_childByTrimmedText.emplace(std::make_pair(parent, Trimmed(strText)), item);
    if (nKind != 0) {
        m_itemData.push_back({nKind, nIndex});
        m_ports.documentTree.SetItemData(item, static_cast<std::uint32_t>(m_itemData.size()));
    } else {
        m_ports.documentTree.SetItemData(item, 0);
    }
    return item;
}

DocumentItemData CSharePointView::ItemData(TreeItem item) const {
    const std::uint32_t n = m_ports.documentTree.ItemData(item);
    if (n == 0 || n > m_itemData.size()) return {};
    return m_itemData[n - 1];
}

TreeItem CSharePointView::ChildWithText(TreeItem parent, const std::string& strText,
                                        bool bTrim) const {
    const auto& index = bTrim ? m_childByTrimmedText : m_childByText;
    const auto it = index.find(std::make_pair(parent, strText));
    return it == index.end() ? kTreeRoot : it->second;
}

// ---- collecting

template <class Fn>
void CSharePointView::CollectRows(CDbCatalog& catalog, bool bAdvanced, Fn&& fn) {
    if (!catalog.m_bResolved || catalog.m_tableColumnList.empty()) return;
    m_app.m_bListingMode = true;
    const std::unique_ptr<CTableRowDecoder> decoder = MakeRowDecoder(catalog);
    m_app.m_pCurrentRowDecoder = decoder.get();
    std::map<std::string, std::size_t> index;
    for (std::size_t i = 0; i < decoder->Columns().size(); ++i)
        index.emplace(decoder->Columns()[i].m_strName, i);

    const std::vector<PagePointer> pages = CollectTablePages(catalog, *decoder, bAdvanced).pages;
    m_ports.progress.SetPos(0);
    m_ports.progress.SetRange(0, pages.size());
    CMdfReader& reader = catalog.Reader();
    std::uint64_t nCollected = 0;
    bool bFull = false;
    for (std::size_t p = 0; p < pages.size() && !bFull && !m_app.StopRequested(); ++p) {
        if (auto page = reader.ReadDataPage(pages[p])) {
            for (const DecodedRow& row : decoder->ReadRows(*page)) {
                if (m_app.StopRequested()) break;
                if (row.texts.empty()) continue;
                if (bAdvanced && nCollected >= kScreenPageRows) {
                    bFull = true;
                    break;
                }
                ++nCollected;
                fn(row, CRowValues(row, index));
            }
        }
        m_ports.progress.SetPos(p + 1);
    }
    if (bAdvanced) m_log.CaptionLine("0 rows to " + std::to_string(nCollected));
    m_app.m_pCurrentRowDecoder = nullptr;
    m_app.m_bListingMode = false;
}

void CSharePointView::CollectSites(CDbCatalog& catalog, bool bAdvanced) {
    m_sites.clear();
    CollectRows(catalog, bAdvanced, [&](const DecodedRow&, const CRowValues& v) {
        m_sites.push_back({Trimmed(v["Id"]), v["SiteId"], v["Title"], kTreeRoot});
    });
}

void CSharePointView::CollectLibraries(CDbCatalog& catalog, bool bAdvanced) {
    m_libraries.clear();
    CollectRows(catalog, bAdvanced, [&](const DecodedRow&, const CRowValues& v) {
        m_libraries.push_back({Trimmed(v["tp_WebId"]), v["tp_ID"], v["tp_Title"], kTreeRoot});
    });
}

void CSharePointView::CollectDocuments(CDbCatalog& catalog, bool bAdvanced) {
    m_documents.clear();
    const auto nFirst = static_cast<std::size_t>(std::max(catalog.m_nFirstStoredColumn, 0));
    CollectRows(catalog, bAdvanced, [&](const DecodedRow& row, const CRowValues& v) {
        if (nFirst >= row.texts.size() || row.texts[nFirst].empty() || row.texts[nFirst] == "NULL")
            return;
        DocumentRecord d;
        d.strId = Trimmed(v["Id"]);
        d.strSiteCollectionId = v["SiteId"];
        d.strLibraryId = v["ListId"];
        d.nType = static_cast<std::uint8_t>(std::strtol(v["Type"].c_str(), nullptr, 10));
        d.strDirectory = v["DirName"];
        d.strSiteId = v["WebId"];
        d.strLeafName = v["LeafName"];
        d.nSize = std::strtoll(v["Size"].c_str(), nullptr, 10);
        d.strCreated = v["TimeCreated"];
        d.strModified = v["TimeLastModified"];
        if (d.strLibraryId.size() > 5)
            PlaceDocument(d, static_cast<std::int32_t>(m_documents.size()));
        m_documents.push_back(std::move(d));
    });
}

// ---- the trees

void CSharePointView::BuildSiteTree() {
    ITreeView& tree = m_ports.documentTree;
    m_hActualRoot = Insert(kSharePointActualRoot, kImageFolder, kTreeRoot, 0, 0);
    for (SiteEntry& s : m_sites) {
        s.item = Insert(s.strTitle, kImageFolder, m_hActualRoot, 0, 0);
        tree.Expand(s.item);
    }
    tree.Expand(m_hActualRoot);
}

void CSharePointView::AttachLibraries() {
    std::map<std::string, const SiteEntry*> siteById;
    for (const SiteEntry& s : m_sites) siteById.emplace(s.strId, &s);
    for (std::size_t i = 0; i < m_libraries.size(); ++i) {
        LibraryEntry& l = m_libraries[i];
        m_libraryByIds.emplace(std::make_pair(l.strLibraryId, l.strSiteId), i);
        if (const auto it = siteById.find(l.strSiteId); it != siteById.end())
            l.item = Insert(l.strTitle, kImageFolder, it->second->item, 'D', 0);
    }
}

void CSharePointView::PlaceDocument(const DocumentRecord& d, std::int32_t nIndex) {
    // The first library of the document's ids; one whose site is unknown has no node.
    const auto it = m_libraryByIds.find(std::make_pair(d.strLibraryId, d.strSiteId));
    if (it == m_libraryByIds.end() || m_libraries[it->second].item == kTreeRoot) return;
    const LibraryEntry* pLibrary = &m_libraries[it->second];
    // The first document of a library builds its directory's folder chain; a later one whose
    // directory meets a folder already there is placed at the level where that folder was met.
    TreeItem current = pLibrary->item;
    bool bMatched = false;
    for (const std::string& component : PathComponents(d.strDirectory)) {
        if (ChildWithText(current, component, false) != kTreeRoot)
            bMatched = true;
        else if (!bMatched)
            current = Insert(component, kImageFolder, current, 'D', nIndex);
    }
    if (ChildWithText(current, d.strLeafName, false) != kTreeRoot) return;
    if (d.nType == 0 && d.nSize > 0)
        Insert(d.strLeafName, kImageFile, current, 'F', nIndex);
    else if (d.nType == 1)
        Insert(d.strLeafName, kImageFolder, current, 'D', nIndex);
}

void CSharePointView::BuildDocumentTree() {
    m_ports.documentTree.SetBackground(176, 196, 222);
    m_hDataRoot = Insert(kSharePointDataRoot, kImageFolder, kTreeRoot, 0, 0);
    for (std::size_t i = 0; i < m_documents.size(); ++i) {
        const DocumentRecord& d = m_documents[i];
        const TreeItem folder = FolderForPath(d.strDirectory);
        if (folder != kTreeRoot && d.nSize > 0)
            Insert(d.strLeafName, kImageFile, folder, 'F', static_cast<std::int32_t>(i));
    }
    m_ports.documentTree.Expand(m_hDataRoot);
}

TreeItem CSharePointView::FolderForPath(const std::string& strDirectory) {
    TreeItem current = m_hDataRoot;
    if (current == kTreeRoot) return kTreeRoot;
    const std::vector<std::string> components = PathComponents(strDirectory);
    if (components.empty()) return kTreeRoot;
    for (const std::string& component : components) {
        const TreeItem child = ChildWithText(current, Trimmed(component), true);
        current = child != kTreeRoot ? child : Insert(component, kImageFolder, current, 'D', 0);
    }
    return current;
}

// ---- the document list

void CSharePointView::ShowDocuments(TreeItem item) {
    IRecordList& list = m_ports.records;
    list.Show(true);
    m_ports.pageLabel.Show(false);
    m_ports.pageButtons.Show(PageButton::Previous, false);
    m_ports.pageButtons.Show(PageButton::Next, false);
    m_ports.textView.Show(false);
    while (list.ColumnCount() > 0) list.DeleteColumn(0);
    const DocumentItemData data = ItemData(item);
    if (data.nKind != 0) {
        list.DeleteAllItems();
        list.InsertColumn(0, "File Name ", 200);
        list.InsertColumn(1, "Date Created ", 150);
        list.InsertColumn(2, "Date Modified ", 150);
        if (data.nKind == 'D') {
            for (TreeItem child : m_ports.documentTree.Children(item)) {
                const DocumentItemData c = ItemData(child);
                if (c.nKind != 'F' || c.nIndex < 0 ||
                    static_cast<std::size_t>(c.nIndex) >= m_documents.size())
                    continue;
                const DocumentRecord& d = m_documents[static_cast<std::size_t>(c.nIndex)];
                const int n = list.InsertItem(list.ItemCount(), d.strLeafName);
                list.SetItemParam(n, c.nIndex);
                list.SetItemText(n, 1, d.strCreated);
                list.SetItemText(n, 2, d.strModified);
            }
        }
    }
    m_ports.progress.Show(false);
    m_log.WriteLine("Scanning process completed.");
}
