// Listing a table: which pages hold its rows (through its allocation maps, its page chain or
// the pages the page maps list for it) and the rows of those pages, a screen page of 1000
// rows at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalog/CDbCatalog.h"
#include "rowdecode/TableRowDecoder.h"

inline constexpr std::size_t kScreenPageRows = 1000;

enum class PageSource { None, IamChain, PageChain, LegacyPageChain, TablePages };

// The pages named by the allocation maps from `start` on, following the maps' next-page
// links (each map read once). With the 2000 layout the maps are those the page maps list for
// the object.
std::vector<PagePointer> ListByIamChain(CMdfReader& reader, PagePointer start,
                                        std::int32_t nObjectId);
// `start` and the data pages its next-page links lead to; a page already listed ends the chain.
std::vector<PagePointer> ListByPageChain(CMdfReader& reader, PagePointer start);
// The same, reading each page as a data page.
std::vector<PagePointer> ListLegacyPageChain(CMdfReader& reader, PagePointer start);
// The table pages the layout resolution found.
std::vector<PagePointer> ListByTablePages(const CDbCatalog& catalog);

// A page lies inside its file (page 0 and pages past the end are not).
bool IsValidPage(const CMdfReader& reader, PagePointer p);

// The pages of the table the catalog resolved last, chosen as the record browser does: the
// allocation maps first, the page chain from the first page when the maps are not valid or
// give no rows, the page maps when the table has no allocation map (or neither map nor first
// page is valid). bAdvancedMode takes the page maps' list directly.
struct TablePageList {
    std::vector<PagePointer> pages;
    PageSource source = PageSource::None;
};
TablePageList CollectTablePages(CDbCatalog& catalog, CTableRowDecoder& decoder, bool bAdvancedMode);

// A row decoder for the table the catalog resolved last (its columns and layout scheme).
std::unique_ptr<CTableRowDecoder> MakeRowDecoder(CDbCatalog& catalog);

// Whether a listed row is shown: a row all of whose shown values are empty is not.
bool RowHasValues(const DecodedRow& row, const std::vector<TableColumn>& columns,
                  std::size_t nFirstStored, bool bNullCountsAsEmpty);

// Rows of a page list in listing order, a screen page at a time.
class CTableLister {
public:
    CTableLister(CDbCatalog& catalog, CTableRowDecoder& decoder, std::vector<PagePointer> pages);
    // Calls fn(row) for every shown row from row number nFirst (0-based over the whole
    // listing) on, at most nCount of them (0: all). Returns how many were given.
    template <class Fn> std::uint64_t List(std::uint64_t nFirst, std::uint64_t nCount, Fn&& fn);
    std::uint64_t PagesRead() const { return m_nPagesRead; }

private:
    CDbCatalog& m_catalog;
    CTableRowDecoder& m_decoder;
    std::vector<PagePointer> m_pages;
    std::uint64_t m_nPagesRead = 0;
};

// A listing of the table the catalog resolved last: its row decoder, published as the
// application's current row decoder for as long as the listing lives, its pages as the record
// browser chooses them, and a lister over them.
class CTableListing {
public:
    CTableListing(CDbCatalog& catalog, bool bFullValues);
    ~CTableListing();
    CTableListing(const CTableListing&) = delete;
    CTableListing& operator=(const CTableListing&) = delete;

    CTableRowDecoder& Decoder() { return *m_pDecoder; }
    PageSource Source() const { return m_nSource; }
    std::size_t PageCount() const { return m_nPages; }
    CTableLister& Lister() { return *m_pLister; }

private:
    CDravoltBrevantProjApp& m_app;
    std::unique_ptr<CTableRowDecoder> m_pDecoder;
    PageSource m_nSource = PageSource::None;
    std::size_t m_nPages = 0;
    std::unique_ptr<CTableLister> m_pLister;
};

template <class Fn>
std::uint64_t CTableLister::List(std::uint64_t nFirst, std::uint64_t nCount, Fn&& fn) {
    CMdfReader& reader = m_catalog.Reader();
    const auto nFirstStored = static_cast<std::size_t>(std::max(m_catalog.m_nFirstStoredColumn, 0));
    std::uint64_t nSeen = 0, nGiven = 0;
    for (const PagePointer& p : m_pages) {
        if (reader.App().StopRequested() || (nCount && nGiven >= nCount)) break;
        auto page = reader.ReadDataPage(p);
        ++m_nPagesRead;
        if (!page) continue;
        for (DecodedRow& row : m_decoder.ReadRows(*page)) {
            if (!RowHasValues(row, m_decoder.Columns(), nFirstStored, false)) continue;
            if (nSeen++ < nFirst) continue;
            if (nCount && nGiven >= nCount) break;
            fn(row);
            ++nGiven;
        }
    }
    return nGiven;
}
