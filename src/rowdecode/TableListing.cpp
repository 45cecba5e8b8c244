#include "rowdecode/TableListing.h"

#include <set>

bool IsValidPage(const CMdfReader& reader, PagePointer p) {
    const std::int16_t nFile = p.nFileId <= 1 ? kPrimaryFileId : p.nFileId;
    return p.nPageId > 0 && static_cast<std::uint64_t>(p.nPageId) < reader.FilePageCount(nFile);
}

std::vector<PagePointer> ListByIamChain(CMdfReader& reader, PagePointer start,
                                        std::int32_t nObjectId) {
    std::vector<PagePointer> out;
    auto addMap = [&](IamPage& iam) {
        for (const PagePointer& s : iam.SinglePages())
            if (s.nPageId > 0 && static_cast<std::uint64_t>(s.nPageId) <= reader.PageCount() &&
                s.nFileId != 0)
                out.push_back(s);
        for (ExtentRange& range : iam.ExtentList())
            for (const PagePointer& p : ExtentAllocationMap::PageList(range))
                if (p.nFileId != 0 && p.nPageId != 0) out.push_back(p);
    };
    if (reader.App().m_bIsSql2000) {
        for (const PageIndexEntry& e : CMdfReader::PagesOf(reader.IamPages(), nObjectId)) {
            if (reader.App().StopRequested()) break;
            if (auto iam = reader.ReadIamPage(e.Pointer())) addMap(*iam);
        }
        return out;
    }
    std::set<PagePointer> visited;
    for (PagePointer p = start; p.nPageId != 0 && !reader.App().StopRequested();) {
        if (!visited.insert(p).second) break; // a chain that loops ends where it comes back
        auto iam = reader.ReadIamPage(p);
        if (!iam) break;
        addMap(*iam);
        p = iam->Header().Next();
    }
    return out;
}

namespace {

template <class ReadNext>
std::vector<PagePointer> FollowChain(CMdfReader& reader, PagePointer start, ReadNext&& next) {
    std::vector<PagePointer> out;
    std::set<PagePointer> visited;
    if (start.nFileId == 0 || start.nPageId == 0) return out;
    out.push_back(start);
    visited.insert(start);
    for (PagePointer p = start; !reader.App().StopRequested();) {
        PagePointer n{};
        if (!next(p, n) || n.nPageId == 0 || n.nFileId == 0) break;
        if (!visited.insert(n).second) break; // a looping chain ends at the first page seen twice
        out.push_back(n);
        p = n;
    }
    return out;
}

} // namespace

std::vector<PagePointer> ListByPageChain(CMdfReader& reader, PagePointer start) {
    return FollowChain(reader, start, [&](PagePointer p, PagePointer& next) {
        auto h = reader.ReadPageHeader(p);
        if (!h || h->m_nPageType != PAGE_TYPE_DATA) return false;
        next = h->Next();
        return true;
    });
}

std::vector<PagePointer> ListLegacyPageChain(CMdfReader& reader, PagePointer start) {
    return FollowChain(reader, start, [&](PagePointer p, PagePointer& next) {
        auto page = reader.ReadDataPage(p);
        if (!page) return false;
        next = page->Header().Next();
        return true;
    });
}

std::vector<PagePointer> ListByTablePages(const CDbCatalog& catalog) {
    std::vector<PagePointer> out;
    for (const TablePage& t : catalog.m_tablePages)
        if (t.m_nFileId != 0 && t.m_nPageIndex != 0) out.push_back({t.m_nPageIndex, t.m_nFileId});
    return out;
}

std::unique_ptr<CTableRowDecoder> MakeRowDecoder(CDbCatalog& catalog) {
    const bool bLegacy = catalog.IsSql2000() ||
                         (catalog.m_tableRsColumns.empty() && catalog.m_tableHobtColumns.empty());
    return std::make_unique<CTableRowDecoder>(catalog.m_tableColumnList, catalog.Reader().App(),
                                              catalog.Reader(), bLegacy);
}

namespace {

// Whether some page of the list yields a row.
bool YieldsRows(CMdfReader& reader, CTableRowDecoder& decoder,
                const std::vector<PagePointer>& pages) {
    for (const PagePointer& p : pages) {
        if (reader.App().StopRequested()) return false;
        if (auto page = reader.ReadDataPage(p); page && !decoder.ReadRows(*page).empty())
            return true;
    }
    return false;
}

} // namespace

TablePageList CollectTablePages(CDbCatalog& catalog, CTableRowDecoder& decoder,
                                bool bAdvancedMode) {
    CMdfReader& reader = catalog.Reader();
    if (bAdvancedMode) return {ListByTablePages(catalog), PageSource::TablePages};
    const std::int32_t nObjectId = catalog.m_currentObject.m_nId;
    if (catalog.IsSql2000()) {
        if (auto it = catalog.m_legacyIndexes.find(nObjectId);
            it != catalog.m_legacyIndexes.end()) {
            const PagePointer start{it->second.m_nFirstPageId, it->second.m_nFileId};
            auto pages = ListLegacyPageChain(reader, start);
            if (!pages.empty()) return {std::move(pages), PageSource::LegacyPageChain};
            return {ListByTablePages(catalog), PageSource::TablePages};
        }
        const auto& iams = CMdfReader::PagesOf(reader.IamPages(), nObjectId);
        if (!iams.empty() && IsValidPage(reader, iams.front().Pointer()))
            return {ListByIamChain(reader, iams.front().Pointer(), nObjectId),
                    PageSource::IamChain};
        return {};
    }
    const PagePointer first = catalog.m_currentAllocUnit.m_firstPage;
    const PagePointer iam = catalog.m_currentAllocUnit.m_firstIamPage;
    if (iam.nPageId <= 0) {
        // Freed pages of an empty table hold only deleted rows.
        if (catalog.m_bAllocationUnitEmpty && !reader.App().m_bShowDeleted) return {};
        return {ListByTablePages(catalog), PageSource::TablePages};
    }
    // A heap whose map is damaged is listed along its page chain, and so is an index whose
    // map is damaged: the leaf pages of an index are chained too.
    const bool bHeap = catalog.m_currentRowset.m_nIndexId == 0;
    if (!IsValidPage(reader, iam)) {
        if (bHeap || IsValidPage(reader, first))
            return {ListByPageChain(reader, first), PageSource::PageChain};
        return {ListByTablePages(catalog), PageSource::TablePages};
    }
    auto pages = ListByIamChain(reader, iam, nObjectId);
    if (YieldsRows(reader, decoder, pages) || !IsValidPage(reader, first))
        return {std::move(pages), PageSource::IamChain};
    return {ListByPageChain(reader, first), PageSource::PageChain};
}

bool RowHasValues(const DecodedRow& row, const std::vector<TableColumn>& columns,
                  std::size_t nFirstStored, bool bNullCountsAsEmpty) {
    std::size_t nShown = 0, nEmpty = 0;
    for (std::size_t i = nFirstStored; i < columns.size() && i < row.texts.size(); ++i) {
        if (columns[i].m_nStorageColumnId == kNotStored) continue;
        ++nShown;
        const std::string& t = row.texts[i];
        if (t.empty() || ((i == nFirstStored || bNullCountsAsEmpty) && t == "NULL")) ++nEmpty;
    }
    return nShown == 0 ? false : nEmpty < nShown;
}

CTableLister::CTableLister(CDbCatalog& catalog, CTableRowDecoder& decoder,
                           std::vector<PagePointer> pages)
    : m_catalog(catalog), m_decoder(decoder), m_pages(std::move(pages)) {}

CTableListing::CTableListing(CDbCatalog& catalog, bool bFullValues)
    : m_app(catalog.Reader().App()), m_pDecoder(MakeRowDecoder(catalog)) {
    m_pDecoder->SetFullValues(bFullValues);
    m_app.m_pCurrentRowDecoder = m_pDecoder.get();
    TablePageList pages = CollectTablePages(catalog, *m_pDecoder, false);
    m_nSource = pages.source;
    m_nPages = pages.pages.size();
    m_pLister = std::make_unique<CTableLister>(catalog, *m_pDecoder, std::move(pages.pages));
}

CTableListing::~CTableListing() {
    m_app.m_pCurrentRowDecoder = nullptr;
}
