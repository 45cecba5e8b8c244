#include "workflow/RecordBrowser.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kColumnWidth = 200;

// The object kinds whose text a click shows (the type code a non-table resolution gives).
bool HasModuleText(const std::string& strType) {
    static const std::array<const char*, 12> kTypes = {"F ", "P ", "D ", "C ", "PK", "FN",
                                                       "TR", "IF", "V ", "UQ", "TT", "TF"};
    return std::any_of(kTypes.begin(), kTypes.end(), [&](const char* t) { return strType == t; });
}

std::string PageLabel(int nPage, std::uint64_t nListed, std::uint64_t nFirst, std::uint64_t nLast) {
    return "Page" + std::to_string(nPage) + " - [" + std::to_string(nListed) + "](" +
           std::to_string(nListed ? nFirst + 1 : nFirst) + "-" + std::to_string(nLast) +
           ") Records";
}

std::string RowsCaption(std::uint64_t nFirst, std::uint64_t nLast) {
    return std::to_string(nFirst) + " rows to " + std::to_string(nLast);
}

} // namespace

void CRecordBrowser::Reset() {
    if (m_pDecoder && m_app.m_pCurrentRowDecoder == m_pDecoder.get())
        m_app.m_pCurrentRowDecoder = nullptr;
    m_pDecoder.reset();
    m_pages.clear();
    m_nSource = PageSource::None;
    m_shownColumns.clear();
    m_bookmarks.clear();
    m_nScreen = 0;
    m_nFirst = m_nLast = 0;
    m_nPageNumber = 0;
    m_nListRow = 0;
}

void CRecordBrowser::ClearRecordArea() {
    m_ports.records.DeleteAllItems();
    while (m_ports.records.ColumnCount() > 0) m_ports.records.DeleteColumn(0);
    m_ports.textView.SetText("");
}

// ---- object clicks

int CRecordBrowser::ShowObject(CObjectTree& tree, TreeItem item,
                               const std::vector<ValueTriple>& bulk, CModuleTexts& modules,
                               IEngineNotify& notify) {
    if (!m_session.m_pCatalog) {
        m_ports.progress.Show(false);
        return 0;
    }
    CDbCatalog& catalog = *m_session.m_pCatalog;
    Reset();
    ClearRecordArea();
    const ClickTarget target = tree.Classify(item);
    if (target.kind == ClickKind::Nothing) {
        m_ports.progress.Show(false);
        return 0;
    }
    switch (target.kind) {
    case ClickKind::Table:
        return ListObjectTable(target.strText, target.strType, bulk,
                               tree.ExpandTable(catalog, item, bulk));
    case ClickKind::PrimaryKey:
    case ClickKind::Unique: {
        // The key's table is the node above its folder. The 2000 layout stores the table's id
        // with the key node; the later layout finds the table by its node.
        const ITreeView& view = m_ports.objectTree;
        const TreeItem table = view.Parent(view.Parent(item));
        const std::string strTableType = view.Parent(table) == tree.SystemTables() ? "S " : "U ";
        const std::vector<TableColumn> columns =
            catalog.ResolveObject(view.ItemText(table), strTableType, bulk);
        const std::uint32_t nData = view.ItemData(item);
        const std::int32_t nTableId =
            nData != 0 ? static_cast<std::int32_t>(nData) : catalog.m_currentObject.m_nId;
        ShowText(target.kind == ClickKind::PrimaryKey
                     ? PrimaryKeyScript(catalog, nTableId, columns)
                     : UniqueScript(catalog, nTableId, target.strText, columns));
        return FinishObject(target.strText);
    }
    case ClickKind::Other: {
        const std::vector<TableColumn> cols = catalog.ResolveObject(target.strText, "P ", bulk);
        if (cols.size() >= 2 && HasModuleText(cols[1].m_strDefinition)) {
            std::string strObjectId = cols[0].m_strDefinition;
            if (catalog.IsSql2000()) {
                // The 2000 layout's texts are read with the columns of syscomments itself.
                catalog.ResolveObject("syscomments", "S ", bulk);
                strObjectId = std::to_string(catalog.FindObject(target.strText, "P ").m_nId);
            }
            std::string strText = modules.ModuleText(catalog, strObjectId, notify);
            if (target.bUnderConstraint) {
                const ITreeView& view = m_ports.objectTree;
                const std::string strTable = view.ItemText(view.Parent(view.Parent(item)));
                strText = CheckScript(strTable, target.strText, strText);
            }
            ShowText(strText);
        }
        return FinishObject(target.strText);
    }
    case ClickKind::Nothing:
        break;
    }
    return 0;
}

int CRecordBrowser::ShowTable(const std::string& strName, const std::string& strType,
                              const std::vector<ValueTriple>& bulk, bool bResolved) {
    if (!m_session.m_pCatalog) return 0;
    Reset();
    ClearRecordArea();
    return ListObjectTable(strName, strType, bulk, bResolved);
}

int CRecordBrowser::ListObjectTable(const std::string& strName, const std::string& strType,
                                    const std::vector<ValueTriple>& bulk, bool bResolved) {
    CDbCatalog& catalog = *m_session.m_pCatalog;
    if (!bResolved) catalog.ResolveObject(strName, strType, bulk);
    if (catalog.m_bResolved && !catalog.m_tableColumnList.empty()) {
        m_ports.records.Show(true);
        m_ports.pageLabel.Show(true);
        m_ports.pageButtons.Show(PageButton::Previous, true);
        m_ports.pageButtons.Show(PageButton::Next, true);
        m_ports.pageButtons.Enable(PageButton::Previous, false);
        m_ports.pageButtons.Enable(PageButton::Next, false);
        m_ports.textView.Show(false);
        CreateColumns(catalog);
        ListTable();
    }
    return FinishObject(strName);
}

void CRecordBrowser::CreateColumns(const CDbCatalog& catalog) {
    m_shownColumns.clear();
    const std::vector<TableColumn>& cols = catalog.m_tableColumnList;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (cols[i].m_nStorageColumnId == kNotStored && !catalog.IsSql2000()) continue;
        m_ports.records.InsertColumn(static_cast<int>(m_shownColumns.size()), cols[i].m_strName,
                                     kColumnWidth);
        m_shownColumns.push_back(i);
    }
}

void CRecordBrowser::ShowText(const std::string& strText) {
    m_ports.records.Show(false);
    m_ports.pageLabel.Show(false);
    m_ports.pageButtons.Show(PageButton::Previous, false);
    m_ports.pageButtons.Show(PageButton::Next, false);
    m_ports.textView.Show(true);
    m_ports.textView.SetText("");
    m_ports.textView.SetText(strText);
}

int CRecordBrowser::FinishObject(const std::string& strName) {
    m_ports.pageButtons.Enable(PageButton::Previous, false);
    m_ports.pageButtons.Enable(PageButton::Next, m_bookmarks.size() > 1);
    const int c = m_ports.records.ItemCount();
    ++m_nPageNumber;
    m_ports.pageLabel.SetText(
        PageLabel(m_nPageNumber, static_cast<std::uint64_t>(c), 0, static_cast<std::uint64_t>(c)));
    m_log.CaptionLine(strName + "[" + std::to_string(c) + "]");
    m_ports.progress.Show(false);
    m_log.WriteLine("Scanning process completed.");
    return 1;
}

// ---- listing

void CRecordBrowser::ListTable() {
    CDbCatalog& catalog = *m_session.m_pCatalog;
    m_app.m_bListingMode = true;
    m_pDecoder = MakeRowDecoder(catalog);
    m_pDecoder->SetFullValues(m_bFullValues);
    m_app.m_pCurrentRowDecoder = m_pDecoder.get();
    m_nFirstStored = static_cast<std::size_t>(std::max(catalog.m_nFirstStoredColumn, 0));

    TablePageList list = CollectTablePages(catalog, *m_pDecoder, m_bAdvancedMode);
    m_pages = std::move(list.pages);
    m_nSource = list.source;
    // A stop while the page chain was walked ends the walk; the rows of the pages found so
    // far are still listed.
    if (m_nSource == PageSource::PageChain) m_app.m_bStopRequested = false;
    m_bRowLinesToFile = m_nSource == PageSource::PageChain || m_nSource == PageSource::TablePages;
    m_bNullCountsAsEmpty = m_nSource == PageSource::PageChain;

    m_bookmarks = {ListPosition{}};
    m_nScreen = 0;
    m_nListRow = 0;
    m_ports.progress.SetPos(0);
    m_ports.progress.SetRange(0, m_pages.size());
    const Screen s = ListScreen({}, true);
    if (s.bFull) m_bookmarks.push_back(s.stopAt);
    // Row numbers count every listed row, so each screen page spans the rows it listed.
    m_nFirst = 0;
    m_nLast = s.nListed;
    if (m_nSource == PageSource::PageChain)
        m_log.CaptionLine(std::to_string(m_ports.records.ItemCount()));
    else if (s.nListed > 0)
        m_log.CaptionLine(RowsCaption(0, s.nListed));
    m_ports.progress.SetPos(m_pages.size());

    m_app.m_pCurrentRowDecoder = nullptr;
    m_app.m_bStopRequested = false;
    m_app.m_bListingMode = false;
}

CRecordBrowser::Screen CRecordBrowser::ListScreen(ListPosition start, bool bPerPageProgress) {
    Screen s;
    CMdfReader& reader = m_session.m_pCatalog->Reader();
    const auto nPages = static_cast<std::int64_t>(m_pages.size());
    for (std::int64_t p = std::max<std::int64_t>(start.nPage, 0);
         p < nPages && !m_app.StopRequested(); ++p) {
        std::vector<DecodedRow> rows;
        if (auto page = reader.ReadDataPage(m_pages[static_cast<std::size_t>(p)]))
            rows = m_pDecoder->ReadRows(*page);
        const auto nRows = static_cast<std::int64_t>(rows.size());
        for (std::int64_t r = p == start.nPage ? std::max<std::int64_t>(start.nRow, 0) : 0;
             r < nRows && !m_app.StopRequested(); ++r) {
            const DecodedRow& row = rows[static_cast<std::size_t>(r)];
            if (row.texts.empty()) continue;
            if (s.nListed >= kScreenPageRows) {
                s.bFull = true;
                s.stopAt = {p, r};
                return s;
            }
            ++s.nListed;
            InsertRow(row);
            if (!bPerPageProgress) m_ports.progress.SetPos(s.nListed);
        }
        if (bPerPageProgress) m_ports.progress.SetPos(static_cast<std::uint64_t>(p + 1));
    }
    return s;
}

void CRecordBrowser::InsertRow(const DecodedRow& row) {
    const std::vector<TableColumn>& cols = m_pDecoder->Columns();
    // A column that is not stored (shown with the 2000 layout) keeps an empty cell, so every
    // value stays under its own column.
    auto cell = [&](std::size_t k) -> std::string {
        const std::size_t i = m_shownColumns[k];
        if (i >= row.texts.size() || cols[i].m_nStorageColumnId == kNotStored) return {};
        return row.texts[i];
    };
    if (!m_shownColumns.empty()) {
        IRecordList& list = m_ports.records;
        const int nItem = list.InsertItem(list.ItemCount(), cell(0));
        for (std::size_t k = 1; k < m_shownColumns.size(); ++k)
            list.SetItemText(nItem, static_cast<int>(k), cell(k));
        // A row whose values are all empty is not shown; it still counts as listed.
        if (!RowHasValues(row, cols, m_nFirstStored, m_bNullCountsAsEmpty)) {
            list.Select(nItem);
            list.DeleteItem(nItem);
        }
    }
    ++m_nListRow;
    m_log.RowLine(" row " + std::to_string(m_nListRow) + " inserted", m_bRowLinesToFile);
}

// ---- Next and Previous

int CRecordBrowser::NextPage() {
    m_ports.pageLabel.SetText("");
    if (!m_pDecoder || m_nScreen + 1 >= m_bookmarks.size()) {
        m_ports.pageButtons.Enable(PageButton::Next, false);
        return 0;
    }
    return MoveToScreen(m_nScreen + 1);
}

int CRecordBrowser::PreviousPage() {
    m_ports.pageLabel.SetText("");
    if (!m_pDecoder || m_nScreen == 0) {
        m_ports.pageButtons.Enable(PageButton::Previous, false);
        m_ports.pageButtons.Enable(PageButton::Next, m_bookmarks.size() > m_nScreen + 1);
        return 0;
    }
    return MoveToScreen(m_nScreen - 1);
}

int CRecordBrowser::MoveToScreen(std::size_t nScreen) {
    if (!m_session.m_pCatalog) return 0;
    m_ports.progress.Show(true);
    m_ports.progress.SetPos(0);
    m_ports.progress.SetRange(0, kScreenPageRows);
    m_ports.pageButtons.Enable(PageButton::Previous, true);
    m_ports.pageButtons.Enable(PageButton::Next, true);
    m_ports.records.DeleteAllItems();
    m_nListRow = 0;
    m_bRowLinesToFile = true;
    m_bNullCountsAsEmpty = false;

    m_app.m_bListingMode = true;
    m_app.m_pCurrentRowDecoder = m_pDecoder.get();
    const Screen s = ListScreen(m_bookmarks[nScreen], false);
    m_app.m_pCurrentRowDecoder = nullptr;
    m_app.m_bListingMode = false;
    // A full screen page names where the next one starts; the first visit records it.
    if (s.bFull) {
        if (nScreen + 1 < m_bookmarks.size())
            m_bookmarks[nScreen + 1] = s.stopAt;
        else
            m_bookmarks.push_back(s.stopAt);
    }
    ShowScreen(nScreen, s);
    m_ports.progress.Show(false);
    return 1;
}

void CRecordBrowser::ShowScreen(std::size_t nScreen, const Screen& s) {
    m_nScreen = nScreen;
    m_nFirst = static_cast<std::uint64_t>(nScreen) * kScreenPageRows;
    m_nLast = m_nFirst + s.nListed;
    m_nPageNumber = static_cast<int>(nScreen) + 1;
    m_ports.pageLabel.SetText(PageLabel(m_nPageNumber, s.nListed, m_nFirst, m_nLast));
    m_log.CaptionLine(RowsCaption(m_nFirst, m_nLast));
    m_ports.pageButtons.Enable(PageButton::Previous, nScreen > 0);
    m_ports.pageButtons.Enable(PageButton::Next, m_bookmarks.size() > nScreen + 1);
}
