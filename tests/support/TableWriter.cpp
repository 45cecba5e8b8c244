#include "support/TableWriter.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "pagestore/Bytes.h"

namespace qw {

Cell Null() {
    return {};
}
Cell Val(Bytes b) {
    return {Cell::Kind::Value, std::move(b), LobForm::SmallRoot, 8000};
}
Cell Int(std::int32_t v) {
    return Val(LE32(static_cast<std::uint32_t>(v)));
}
Cell BigInt(std::int64_t v) {
    return Val(LE64(static_cast<std::uint64_t>(v)));
}
Cell Bit(bool b) {
    return Val(Bytes{static_cast<std::uint8_t>(b ? 1 : 0)});
}
Cell Text(std::string_view s) {
    return Val(Ascii(s));
}
Cell NText(std::string_view s) {
    return Val(Utf16(s));
}
Cell Complex(Bytes b) {
    return {Cell::Kind::Complex, std::move(b), LobForm::SmallRoot, 8000};
}
Cell Lob(Bytes data, LobForm form, std::size_t nChunk) {
    return {Cell::Kind::Lob, std::move(data), form, std::max<std::size_t>(nChunk, 1)};
}

namespace {

constexpr std::size_t kBodyBytes = kPageSize - kPageHeaderSize;

// Pages handed out from page 16 on.
struct Allocator {
    std::int32_t nNext = 16;
    std::int32_t Take() { return nNext++; }
    void AlignExtent() { nNext = (nNext + 7) / 8 * 8; }
};

// Fragment rows of one table's large values, packed onto text pages.
class TextPages {
public:
    TextPages(Allocator& alloc, std::int32_t nObjectId, std::int16_t nIndexId)
        : m_alloc(alloc), m_nObjectId(nObjectId), m_nIndexId(nIndexId) {}

    LobLink Put(const Bytes& row) {
        if (m_pages.empty() || m_nUsed + row.size() + 2 > kBodyBytes) {
            m_pages.emplace_back(PT_TEXT_MIX, m_nObjectId, PagePointer{m_alloc.Take(), 1});
            m_pages.back().Header().nIndexId = m_nIndexId;
            m_nUsed = 0;
        }
        if (row.size() + 2 > kBodyBytes) throw std::length_error("fragment longer than a page");
        m_nUsed += row.size() + 2;
        const int nSlot = m_pages.back().AddRow(row);
        return {0, m_pages.back().Header().self, static_cast<std::uint16_t>(nSlot)};
    }
    // Data fragments of a value; sizes are the cumulative end offsets.
    std::vector<LobLink> Fragments(const Bytes& data, std::size_t nChunk) {
        std::vector<LobLink> links;
        for (std::size_t at = 0; at < data.size() || (at == 0 && data.empty()); at += nChunk) {
            const std::size_t n = std::min(nChunk, data.size() - at);
            const Bytes part(data.begin() + static_cast<std::ptrdiff_t>(at),
                             data.begin() + static_cast<std::ptrdiff_t>(at + n));
            LobLink l = Put(DataFragmentRow(++m_nBlobId, part));
            l.nSize = static_cast<std::uint32_t>(at + n);
            links.push_back(l);
            if (data.empty()) break;
        }
        return links;
    }
    // The bytes a row holds for a large value.
    Bytes Pointer(const Cell& c) {
        switch (c.form) {
        case LobForm::SmallRoot: {
            const LobLink l = Put(SmallRootRow(++m_nBlobId, c.bytes));
            return TextPointer(l.page, l.nSlot);
        }
        case LobForm::LargeRoot: {
            const LobLink l = Put(LargeRootRow(++m_nBlobId, Fragments(c.bytes, c.nChunk)));
            return TextPointer(l.page, l.nSlot);
        }
        case LobForm::Tree: {
            std::vector<LobLink> data = Fragments(c.bytes, c.nChunk);
            LobLink node = Put(InternalRow(++m_nBlobId, data));
            node.nSize = static_cast<std::uint32_t>(c.bytes.size());
            const LobLink root = Put(LargeRootRow(++m_nBlobId, {node}));
            return TextPointer(root.page, root.nSlot);
        }
        case LobForm::MaxRoot:
            return InRowRoot(Fragments(c.bytes, c.nChunk));
        case LobForm::Overflow: {
            LobLink l = Put(DataFragmentRow(++m_nBlobId, c.bytes));
            l.nSize = static_cast<std::uint32_t>(c.bytes.size());
            Bytes b = InRowRoot({l});
            b[0] = 2;
            return b;
        }
        }
        return {};
    }
    const std::vector<PageBuilder>& Pages() const { return m_pages; }

private:
    Allocator& m_alloc;
    std::int32_t m_nObjectId;
    std::int16_t m_nIndexId;
    std::vector<PageBuilder> m_pages;
    std::size_t m_nUsed = 0;
    std::uint64_t m_nBlobId = 0x10000;
};

// A row's parts before it is placed: the fixed part, null bits, variable values.
struct RowParts {
    int nType = 0;
    Bytes fixed;
    int nColumns = 0;
    std::vector<int> nulls;
    std::vector<std::pair<Bytes, bool>> var;
    bool bForwarded = false;

    Bytes Build(const std::optional<Bytes>& backPointer = std::nullopt) const {
        RowBuilder b;
        b.Type(nType).Fixed(fixed).Columns(nColumns);
        for (int k : nulls) b.Null(k);
        for (const auto& [v, bComplex] : var) b.Var(v, bComplex);
        if (backPointer) b.Var(*backPointer, true);
        return b.Build();
    }
};

RowParts MakeRow(const ObjectSpec& o, const std::vector<ColumnPlace>& place, const TableRow& row,
                 TextPages& text) {
    RowParts parts;
    parts.nType = row.nRecordType;
    parts.bForwarded = row.bForwarded;
    parts.nColumns = static_cast<int>(o.columns.size());
    int nFixedEnd = 4, nVars = 0;
    for (std::size_t i = 0; i < o.columns.size(); ++i) {
        const ColumnSpec& c = o.columns[i];
        if (IsVariableColumn(c))
            nVars = std::max(nVars, -place[i].nOffset);
        else
            nFixedEnd = std::max(
                nFixedEnd,
                place[i].nOffset + (c.nSystemType == ST_BIT ? 1 : std::max<int>(c.nMaxLength, 0)));
    }
    parts.fixed.assign(static_cast<std::size_t>(nFixedEnd - 4), 0);
    std::vector<std::optional<std::pair<Bytes, bool>>> var(static_cast<std::size_t>(nVars));
    std::vector<std::pair<std::uint16_t, Bytes>> sparse;
    for (std::size_t i = 0; i < o.columns.size(); ++i) {
        const ColumnSpec& c = o.columns[i];
        const Cell cell = i < row.cells.size() ? row.cells[i] : Null();
        const bool bNull = cell.kind == Cell::Kind::Null;
        if (c.bSparse) {
            if (!bNull) sparse.emplace_back(static_cast<std::uint16_t>(i + 1), cell.bytes);
            parts.nulls.push_back(place[i].nPosition - 1);
            continue;
        }
        if (bNull) parts.nulls.push_back(place[i].nPosition - 1);
        if (IsVariableColumn(c)) {
            auto& slot = var[static_cast<std::size_t>(-place[i].nOffset - 1)];
            if (bNull) continue;
            if (cell.kind == Cell::Kind::Lob)
                slot = std::make_pair(text.Pointer(cell), true);
            else
                slot = std::make_pair(cell.bytes, cell.kind == Cell::Kind::Complex);
        } else if (!bNull) {
            const auto at = static_cast<std::size_t>(place[i].nOffset - 4);
            if (c.nSystemType == ST_BIT) {
                if (!cell.bytes.empty() && cell.bytes[0])
                    parts.fixed[at] |= static_cast<std::uint8_t>(1 << place[i].nBit);
            } else {
                Bytes v = cell.bytes;
                v.resize(static_cast<std::size_t>(std::max<int>(c.nMaxLength, 0)), 0);
                std::copy(v.begin(), v.end(),
                          parts.fixed.begin() + static_cast<std::ptrdiff_t>(at));
            }
        }
    }
    // Trailing NULL variable columns are left out, as the server writes rows; a moved row keeps
    // them all so its back pointer follows the last column.
    std::size_t nKeep = var.size();
    if (sparse.empty() && !row.bForwarded)
        while (nKeep > 0 && !var[nKeep - 1]) --nKeep;
    for (std::size_t k = 0; k < nKeep; ++k)
        parts.var.push_back(var[k] ? *var[k] : std::make_pair(Bytes{}, false));
    if (!sparse.empty()) parts.var.emplace_back(SparseVectorValue(sparse), true);
    return parts;
}

Bytes BackPointer(PagePointer stubPage, std::uint16_t nSlot) {
    return Cat({LE16(1024), LE32(static_cast<std::uint32_t>(stubPage.nPageId)),
                LE16(static_cast<std::uint16_t>(stubPage.nFileId)), LE16(nSlot)});
}

Bytes IamHeaderRow(const std::vector<PagePointer>& singles) {
    Bytes h(90, 0);
    le::Put16(h.data() + 14, 1); // status
    le::Put16(h.data() + 40, 1); // the interval's start page: page 0 of file 1
    for (std::size_t k = 0; k < singles.size() && k < 8; ++k) {
        le::Put32(h.data() + 42 + 6 * k, static_cast<std::uint32_t>(singles[k].nPageId));
        le::Put16(h.data() + 46 + 6 * k, static_cast<std::uint16_t>(singles[k].nFileId));
    }
    return RowBuilder().NullBitmap(false).Fixed(h).Columns(0).Build();
}

Bytes IamBitmapRow(const std::vector<std::int32_t>& extentStarts) {
    Bytes bitmap(7988, 0);
    for (std::int32_t p : extentStarts) {
        const auto e = static_cast<std::size_t>(p / 8);
        if (e / 8 < bitmap.size()) bitmap[e / 8] |= static_cast<std::uint8_t>(1 << (e % 8));
    }
    return RowBuilder().NullBitmap(false).Fixed(bitmap).Columns(0).Build();
}

// One table's pages, built once every position is known.
struct TablePlan {
    WrittenTable out;
    std::vector<RowParts> rows;
    std::vector<std::vector<std::size_t>> pageRows; // rows of each regular data page
    std::vector<std::size_t> moved;                 // rows on the page of moved rows
    std::vector<PageBuilder> textPages;
    std::vector<PagePointer> singles;
    std::vector<std::int32_t> extents;
    std::int64_t nRowCount = 0;
};

} // namespace

WrittenDatabase WriteTables(DatabaseSpec db, const std::vector<TableSpec>& tables) {
    const bool b2000 = db.bSql2000;
    Allocator alloc;
    std::vector<TablePlan> plans(tables.size());
    // Ids the writer gives: the spec's objects come first, then the tables in order.
    DatabaseSpec probe = db;
    for (const TableSpec& t : tables) probe.objects.push_back(t.object);

    for (std::size_t t = 0; t < tables.size(); ++t) {
        const TableSpec& ts = tables[t];
        TablePlan& plan = plans[t];
        const ObjectSpec& o = ts.object;
        const bool bBase = std::any_of(o.indexes.begin(), o.indexes.end(),
                                       [](const IndexSpec& i) { return i.nIndexId == 1; });
        plan.out.nObjectId = o.nId;
        plan.out.ids = StorageIdsOf(probe, o.nId, bBase ? 1 : 0);
        plan.out.nPageObjectId = b2000 ? o.nId : PageObjectIdOf(plan.out.ids.nAllocUnitId);
        plan.out.nPageIndexId = b2000 ? 0 : PageIndexIdOf(plan.out.ids.nAllocUnitId);
        const std::vector<ColumnPlace> place = PlaceTableColumns(o, b2000);

        // Large values first: their pages come before the table's data pages.
        TextPages text(
            alloc, b2000 ? o.nId : 0x7000 + static_cast<std::int32_t>(t),
            static_cast<std::int16_t>(b2000 ? 255 : PageIndexIdOf(plan.out.ids.nAllocUnitId)));
        for (const TableRow& r : ts.rows) {
            plan.rows.push_back(MakeRow(o, place, r, text));
            if (r.nRecordType == 0) ++plan.nRowCount;
        }
        plan.textPages = text.Pages();
        for (PageBuilder& p : plan.textPages) plan.out.textPages.push_back(p.Header().self);

        // Rows onto pages: a moved row leaves a 9-byte stub and goes to the last page.
        std::size_t nUsed = kBodyBytes;
        const std::size_t nPerPage = ts.nRowsPerPage ? ts.nRowsPerPage : SIZE_MAX;
        for (std::size_t i = 0; i < plan.rows.size(); ++i) {
            const std::size_t nSize = plan.rows[i].bForwarded ? 9 : plan.rows[i].Build().size();
            if (plan.pageRows.empty() || nUsed + nSize + 2 > kBodyBytes ||
                plan.pageRows.back().size() >= nPerPage) {
                plan.pageRows.emplace_back();
                nUsed = 0;
            }
            plan.pageRows.back().push_back(i);
            nUsed += nSize + 2;
            if (plan.rows[i].bForwarded) plan.moved.push_back(i);
        }
        const std::size_t nPages = plan.pageRows.size() + (plan.moved.empty() ? 0 : 1);
        // Up to eight pages per allocation map as single pages, the rest in whole extents.
        const std::size_t nMaps = static_cast<std::size_t>(std::max(ts.nIamPages, 0));
        const std::size_t nSingles =
            nMaps == 0 || nPages <= 8 * nMaps ? nPages : std::min<std::size_t>(nPages, 8);
        for (std::size_t k = 0; k < nPages; ++k) {
            if (k == nSingles) alloc.AlignExtent();
            const PagePointer p{alloc.Take(), 1};
            plan.out.dataPages.push_back(p);
            if (k < nSingles)
                plan.singles.push_back(p);
            else if ((k - nSingles) % 8 == 0)
                plan.extents.push_back(p.nPageId);
        }
        if (nPages > nSingles) alloc.nNext = (alloc.nNext + 7) / 8 * 8;
    }
    // Allocation maps last, each chain from its end, so the highest table page is a first
    // map page (the database writer puts the system tables after the highest named page).
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const int n = std::max(tables[t].nIamPages, 0);
        std::vector<PagePointer> chain(static_cast<std::size_t>(n));
        for (int k = n - 1; k >= 0; --k) chain[static_cast<std::size_t>(k)] = {alloc.Take(), 1};
        plans[t].out.iamPages = chain;
    }

    for (std::size_t t = 0; t < tables.size(); ++t) {
        ObjectSpec o = tables[t].object;
        TablePlan& plan = plans[t];
        if (!plan.out.dataPages.empty()) o.nFirstPage = plan.out.dataPages.front().nPageId;
        if (!plan.out.iamPages.empty()) o.nFirstIamPage = plan.out.iamPages.front().nPageId;
        const bool bClustered = std::any_of(o.indexes.begin(), o.indexes.end(),
                                            [](const IndexSpec& i) { return i.nIndexId == 1; });
        // A one-level clustered index has its leaf as root; a table without maps names its last
        // page as root, so the highest table page is named.
        if (!plan.out.dataPages.empty() && (bClustered || plan.out.iamPages.empty()))
            o.nRootPage = bClustered ? o.nFirstPage : plan.out.dataPages.back().nPageId;
        o.nRowCount = plan.nRowCount;
        db.objects.push_back(o);
    }
    FileBuilder fb = WriteDatabase(db);
    WrittenDatabase w;
    w.spec = db;

    for (TablePlan& plan : plans) {
        const std::vector<PagePointer>& pages = plan.out.dataPages;
        auto header = [&](PageBuilder& pb, std::size_t k) {
            pb.Header().nIndexId = plan.out.nPageIndexId;
            if (k > 0) pb.Header().prev = pages[k - 1];
            if (k + 1 < pages.size()) pb.Header().next = pages[k + 1];
        };
        // Where each moved row goes on the last page.
        std::map<std::size_t, std::uint16_t> movedSlot;
        for (std::size_t m = 0; m < plan.moved.size(); ++m)
            movedSlot[plan.moved[m]] = static_cast<std::uint16_t>(m);
        std::map<std::size_t, std::pair<PagePointer, std::uint16_t>> stubAt;
        for (std::size_t k = 0; k < plan.pageRows.size(); ++k) {
            PageBuilder pb(PT_DATA, plan.out.nPageObjectId, pages[k]);
            header(pb, k);
            std::int16_t nGhosts = 0;
            for (std::size_t i : plan.pageRows[k]) {
                const RowParts& r = plan.rows[i];
                if (r.nType == 6) ++nGhosts;
                if (r.bForwarded) {
                    const int nSlot = pb.AddRow(ForwardingStub(pages.back(), movedSlot[i]));
                    stubAt[i] = {pages[k], static_cast<std::uint16_t>(nSlot)};
                } else {
                    pb.AddRow(r.Build());
                }
            }
            pb.Header().nGhostRecordCount = nGhosts;
            fb.SetPage(static_cast<std::size_t>(pages[k].nPageId), pb);
        }
        if (!plan.moved.empty()) {
            const std::size_t k = pages.size() - 1;
            PageBuilder pb(PT_DATA, plan.out.nPageObjectId, pages[k]);
            header(pb, k);
            for (std::size_t i : plan.moved) {
                RowParts r = plan.rows[i];
                r.nType = 1;
                pb.AddRow(r.Build(BackPointer(stubAt[i].first, stubAt[i].second)));
            }
            fb.SetPage(static_cast<std::size_t>(pages[k].nPageId), pb);
        }
        for (PageBuilder& p : plan.textPages)
            fb.SetPage(static_cast<std::size_t>(p.Header().self.nPageId), p);
        // The single pages and extents, spread over the chain's maps in turn.
        const std::vector<PagePointer>& chain = plan.out.iamPages;
        for (std::size_t m = 0; m < chain.size(); ++m) {
            std::vector<PagePointer> singles;
            std::vector<std::int32_t> extents;
            for (std::size_t s = 0; s < plan.singles.size(); ++s)
                if (s % chain.size() == m) singles.push_back(plan.singles[s]);
            for (std::size_t e = 0; e < plan.extents.size(); ++e)
                if (e % chain.size() == m) extents.push_back(plan.extents[e]);
            PageBuilder pb(PT_IAM, plan.out.nPageObjectId, chain[m]);
            pb.Header().nIndexId = plan.out.nPageIndexId;
            if (m + 1 < chain.size()) pb.Header().next = chain[m + 1];
            if (m > 0) pb.Header().prev = chain[m - 1];
            pb.AddRow(IamHeaderRow(singles));
            pb.AddRow(IamBitmapRow(extents));
            fb.SetPage(static_cast<std::size_t>(chain[m].nPageId), pb);
        }
        w.tables.push_back(plan.out);
    }
    w.file = fb.Build();
    return w;
}

} // namespace qw
