#include "support/DbWriter.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "pagestore/Bytes.h"
#include "pagestore/Compression.h"
#include "pagestore/TypeCodes.h"

namespace qw {

Bytes LE16(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}
Bytes LE32(std::uint32_t v) {
    Bytes b(4);
    le::Put32(b.data(), v);
    return b;
}
Bytes LE64(std::uint64_t v) {
    Bytes b(8);
    le::Put64(b.data(), v);
    return b;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Ascii(std::string_view s) {
    return Bytes(s.begin(), s.end());
}
Bytes Utf16(std::string_view s) {
    Bytes b;
    for (char c : s) {
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(0);
    }
    return b;
}

// ---- rows ----

RowBuilder& RowBuilder::Type(int n) {
    m_nType = n;
    return *this;
}
RowBuilder& RowBuilder::Fixed(const Bytes& v) {
    m_fixed.insert(m_fixed.end(), v.begin(), v.end());
    ++m_nFixedColumns;
    return *this;
}
RowBuilder& RowBuilder::Var(const Bytes& v, bool bComplex) {
    m_var.emplace_back(v, bComplex);
    return *this;
}
RowBuilder& RowBuilder::Null(int n) {
    m_nulls.push_back(n);
    return *this;
}
RowBuilder& RowBuilder::Columns(int n) {
    m_nColumns = n;
    return *this;
}
RowBuilder& RowBuilder::NullBitmap(bool b) {
    m_bNullBitmap = b;
    return *this;
}
RowBuilder& RowBuilder::NullBitmapBytes(const Bytes& b) {
    m_bitmap = b;
    return *this;
}
RowBuilder& RowBuilder::VarCountStored(bool b) {
    m_bVarCount = b;
    return *this;
}
RowBuilder& RowBuilder::StatusB(std::uint8_t b) {
    m_nStatusB = b;
    return *this;
}
RowBuilder& RowBuilder::FixedEnd(std::int16_t n) {
    m_nFixedEnd = n;
    return *this;
}
RowBuilder& RowBuilder::VarEnd(int i, std::uint16_t n) {
    m_varEnds[i] = n;
    return *this;
}

Bytes RowBuilder::Build() const {
    const int nColumns = m_nColumns.value_or(m_nFixedColumns + static_cast<int>(m_var.size()));
    std::uint8_t a = static_cast<std::uint8_t>((m_nType & 7) << 1);
    if (m_bNullBitmap) a |= 0x10;
    if (!m_var.empty()) a |= 0x20;
    Bytes row{a, m_nStatusB};
    const auto nFixedEnd = static_cast<std::uint16_t>(
        m_nFixedEnd.value_or(static_cast<std::int16_t>(4 + m_fixed.size())));
    auto append = [&row](const Bytes& b) { row.insert(row.end(), b.begin(), b.end()); };
    append(LE16(nFixedEnd));
    append(m_fixed);
    append(LE16(static_cast<std::uint16_t>(nColumns)));
    if (m_bNullBitmap) {
        Bytes bitmap = m_bitmap;
        bitmap.resize(static_cast<std::size_t>(std::max(nColumns + 7, 0) / 8), 0);
        for (int c : m_nulls)
            if (c >= 0 && c / 8 < static_cast<int>(bitmap.size()))
                bitmap[static_cast<std::size_t>(c / 8)] |= static_cast<std::uint8_t>(1 << (c % 8));
        append(bitmap);
    }
    if (!m_var.empty()) {
        if (m_bVarCount) append(LE16(static_cast<std::uint16_t>(m_var.size())));
        std::size_t nEnd = row.size() + 2 * m_var.size();
        for (std::size_t i = 0; i < m_var.size(); ++i) {
            nEnd += m_var[i].first.size();
            std::uint16_t e = static_cast<std::uint16_t>(nEnd);
            if (auto it = m_varEnds.find(static_cast<int>(i)); it != m_varEnds.end())
                e = it->second;
            if (m_var[i].second) e |= 0x8000;
            append(LE16(e));
        }
        for (const auto& v : m_var) append(v.first);
    }
    return row;
}

Bytes ForwardingStub(PagePointer target, std::uint16_t nSlot) {
    Bytes b{static_cast<std::uint8_t>(2 << 1)};
    b.resize(9);
    le::Put32(b.data() + 1, static_cast<std::uint32_t>(target.nPageId));
    le::Put16(b.data() + 5, static_cast<std::uint16_t>(target.nFileId));
    le::Put16(b.data() + 7, nSlot);
    return b;
}

Bytes SparseVectorValue(const std::vector<std::pair<std::uint16_t, Bytes>>& entries) {
    const auto n = static_cast<std::uint16_t>(entries.size());
    Bytes b = Cat({LE16(5), LE16(n)}); // complex column type 5: sparse vector
    for (const auto& e : entries) {
        auto x = LE16(e.first);
        b.insert(b.end(), x.begin(), x.end());
    }
    std::size_t nEnd = 4 + 4u * n;
    for (const auto& e : entries) {
        nEnd += e.second.size();
        auto x = LE16(static_cast<std::uint16_t>(nEnd));
        b.insert(b.end(), x.begin(), x.end());
    }
    for (const auto& e : entries) b.insert(b.end(), e.second.begin(), e.second.end());
    return b;
}

// ---- large values ----

namespace {

Bytes FragmentRow(std::uint64_t nBlobId, std::uint16_t nType, const Bytes& payload,
                  std::size_t nMinFixed) {
    Bytes fixed = Cat({LE64(nBlobId), LE16(nType), payload});
    if (fixed.size() < nMinFixed) fixed.resize(nMinFixed, 0);
    Bytes row{0x08, 0x00};
    const Bytes end = LE16(static_cast<std::uint16_t>(4 + fixed.size()));
    row.insert(row.end(), end.begin(), end.end());
    row.insert(row.end(), fixed.begin(), fixed.end());
    return row;
}

} // namespace

Bytes SmallRootRow(std::uint64_t nBlobId, const Bytes& data) {
    return FragmentRow(nBlobId, 0,
                       Cat({LE16(static_cast<std::uint16_t>(data.size())), Bytes(4, 0), data}), 80);
}

Bytes DataFragmentRow(std::uint64_t nBlobId, const Bytes& data) {
    return FragmentRow(nBlobId, 3, data, 0);
}

Bytes InternalRow(std::uint64_t nBlobId, const std::vector<LobLink>& links) {
    Bytes payload = Cat({LE16(0), LE16(static_cast<std::uint16_t>(links.size())), LE16(0)});
    for (const LobLink& l : links)
        payload =
            Cat({payload, LE32(l.nSize), LE32(0), LE32(static_cast<std::uint32_t>(l.page.nPageId)),
                 LE16(static_cast<std::uint16_t>(l.page.nFileId)), LE16(l.nSlot)});
    return FragmentRow(nBlobId, 2, payload, 80);
}

Bytes LargeRootRow(std::uint64_t nBlobId, const std::vector<LobLink>& links) {
    Bytes payload =
        Cat({LE16(5), LE16(static_cast<std::uint16_t>(links.size())), LE16(0), LE32(0)});
    for (const LobLink& l : links)
        payload = Cat({payload, LE32(l.nSize), LE32(static_cast<std::uint32_t>(l.page.nPageId)),
                       LE16(static_cast<std::uint16_t>(l.page.nFileId)), LE16(l.nSlot)});
    return FragmentRow(nBlobId, 5, payload, 80);
}

Bytes TextPointer(PagePointer page, std::uint16_t nSlot) {
    return Cat({Bytes(8, 0), LE32(static_cast<std::uint32_t>(page.nPageId)),
                LE16(static_cast<std::uint16_t>(page.nFileId)), LE16(nSlot)});
}

Bytes InRowRoot(const std::vector<LobLink>& links) {
    Bytes b{0x04, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    for (const LobLink& l : links)
        b = Cat({b, LE32(l.nSize), LE32(static_cast<std::uint32_t>(l.page.nPageId)),
                 LE16(static_cast<std::uint16_t>(l.page.nFileId)), LE16(l.nSlot)});
    return b;
}

// ---- pages ----

void OverwriteKeepingIdentity(std::uint8_t* pPage, std::span<const std::uint8_t> bytes) {
    std::uint8_t objectId[4], indexId[2];
    std::memcpy(objectId, pPage + 24, 4);
    std::memcpy(indexId, pPage + 6, 2);
    const std::uint8_t nType = pPage[1];
    std::memcpy(pPage, bytes.data(), std::min<std::size_t>(kPageSize, bytes.size()));
    std::memcpy(pPage + 24, objectId, 4);
    std::memcpy(pPage + 6, indexId, 2);
    pPage[1] = nType;
}

void OverwritePagesKeepingIdentity(Bytes& file, const std::vector<std::size_t>& positions,
                                   std::size_t nFirst, std::span<const std::uint8_t> input) {
    if (positions.empty()) return;
    for (std::size_t off = 0, k = nFirst % positions.size();
         off < input.size() && k < positions.size(); off += kPageSize, ++k) {
        if ((positions[k] + 1) * kPageSize > file.size()) continue;
        OverwriteKeepingIdentity(
            file.data() + positions[k] * kPageSize,
            input.subspan(off, std::min<std::size_t>(kPageSize, input.size() - off)));
    }
}

void WriteHeader(std::uint8_t* p, const PageHeaderFields& h) {
    p[0] = h.nHeaderVersion;
    p[1] = h.nType;
    p[2] = h.nTypeFlagBits;
    p[3] = h.nLevel;
    le::Put16(p + 4, h.nFlagBits);
    le::Put16(p + 6, static_cast<std::uint16_t>(h.nIndexId));
    le::Put32(p + 8, static_cast<std::uint32_t>(h.prev.nPageId));
    le::Put16(p + 12, static_cast<std::uint16_t>(h.prev.nFileId));
    le::Put16(p + 14, static_cast<std::uint16_t>(h.nMinRecordLength));
    le::Put32(p + 16, static_cast<std::uint32_t>(h.next.nPageId));
    le::Put16(p + 20, static_cast<std::uint16_t>(h.next.nFileId));
    le::Put32(p + 24, static_cast<std::uint32_t>(h.nObjectId));
    le::Put32(p + 32, static_cast<std::uint32_t>(h.self.nPageId));
    le::Put16(p + 36, static_cast<std::uint16_t>(h.self.nFileId));
    le::Put16(p + 38, static_cast<std::uint16_t>(h.nReservedByteCount));
    le::Put32(p + 40, h.nLsn1);
    le::Put32(p + 44, h.nLsn2);
    le::Put16(p + 48, h.nLsn3);
    le::Put16(p + 50, static_cast<std::uint16_t>(h.nXactReservedByteCount));
    le::Put32(p + 52, h.nXactId1);
    le::Put16(p + 56, h.nXactId2);
    le::Put16(p + 58, static_cast<std::uint16_t>(h.nGhostRecordCount));
    le::Put32(p + 60, h.nTornBits);
}

PageBuilder::PageBuilder(std::uint8_t nType, std::int32_t nObjectId, PagePointer self) {
    m_h.nType = nType;
    m_h.nObjectId = nObjectId;
    m_h.self = self;
}

int PageBuilder::AddRow(const Bytes& row) {
    m_slots.push_back(AddUnslotted(row));
    return static_cast<int>(m_slots.size()) - 1;
}

std::uint16_t PageBuilder::AddUnslotted(const Bytes& row) {
    const std::size_t nSlotArray = 2 * (m_slots.size() + 1);
    if (m_nFreeData + row.size() + nSlotArray > kPageSize) throw std::length_error("page full");
    const std::uint16_t nAt = m_nFreeData;
    std::copy(row.begin(), row.end(), m_body.begin() + nAt);
    m_nFreeData = static_cast<std::uint16_t>(m_nFreeData + row.size());
    return nAt;
}

PageBuilder& PageBuilder::SetSlot(int nSlot, std::uint16_t nOffset) {
    if (static_cast<std::size_t>(nSlot) >= m_slots.size())
        m_slots.resize(static_cast<std::size_t>(nSlot) + 1, 0);
    m_slots[static_cast<std::size_t>(nSlot)] = nOffset;
    return *this;
}
PageBuilder& PageBuilder::SlotCount(std::int16_t n) {
    m_nSlotCount = n;
    return *this;
}
PageBuilder& PageBuilder::FreeByteCount(std::int16_t n) {
    m_nFreeBytes = n;
    return *this;
}
PageBuilder& PageBuilder::Put(std::size_t nOffset, const Bytes& bytes) {
    if (nOffset + bytes.size() > kPageSize) throw std::out_of_range("outside the page");
    std::copy(bytes.begin(), bytes.end(), m_body.begin() + static_cast<std::ptrdiff_t>(nOffset));
    return *this;
}
PageBuilder& PageBuilder::TornPageProtect(std::uint8_t nPattern) {
    m_nTornPattern = nPattern & 3;
    return *this;
}

Page PageBuilder::Build() const {
    Page p = m_body;
    for (std::size_t j = 0; j < m_slots.size(); ++j)
        le::Put16(p.data() + kPageSize - 2 - 2 * j, m_slots[j]);
    PageHeaderFields h = m_h;
    const auto nSlotCount = m_nSlotCount.value_or(static_cast<std::int16_t>(m_slots.size()));
    const auto nFree = m_nFreeBytes.value_or(
        static_cast<std::int16_t>(kPageSize - m_nFreeData - 2 * m_slots.size()));
    if (m_nTornPattern) {
        h.nFlagBits = static_cast<std::uint16_t>((h.nFlagBits & ~0x300) | 0x100);
        h.nTornBits = *m_nTornPattern;
        for (std::uint32_t k = 1; k < 16; ++k) {
            std::uint8_t& b = p[512 * k + 511];
            h.nTornBits |= static_cast<std::uint32_t>(b & 3) << (2 * k);
            b = static_cast<std::uint8_t>((b & 0xFC) | *m_nTornPattern);
        }
    }
    WriteHeader(p.data(), h);
    le::Put16(p.data() + 22, static_cast<std::uint16_t>(nSlotCount));
    le::Put16(p.data() + 28, static_cast<std::uint16_t>(nFree));
    le::Put16(p.data() + 30, m_nFreeData);
    return p;
}

// ---- files ----

FileBuilder& FileBuilder::SetPage(std::size_t n, const Page& page) {
    if (n >= m_pages.size()) m_pages.resize(n + 1);
    m_pages[n] = page;
    return *this;
}
FileBuilder& FileBuilder::Leading(std::size_t n, std::uint8_t fill) {
    m_nLeading = n;
    m_leadFill = fill;
    return *this;
}
FileBuilder& FileBuilder::Trailing(std::size_t n, std::uint8_t fill) {
    m_nTrailing = n;
    m_trailFill = fill;
    return *this;
}

Bytes FileBuilder::Build() const {
    Bytes out(m_nLeading, m_leadFill);
    out.reserve(m_nLeading + m_pages.size() * kPageSize + m_nTrailing);
    for (const auto& page : m_pages) {
        if (page)
            out.insert(out.end(), page->begin(), page->end());
        else
            out.insert(out.end(), kPageSize, 0);
    }
    out.insert(out.end(), m_nTrailing, m_trailFill);
    return out;
}

void FileBuilder::Write(const std::string& strPath) const {
    const Bytes b = Build();
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    if (!out) throw std::runtime_error("cannot write " + strPath);
}

FileBuilder SkeletonFile(std::size_t nPages, std::int16_t nFileId) {
    FileBuilder f(nPages);
    // The allocation pages belong to object 99 in the header; a row of each kind is enough
    // for the mapping pass, which only reads headers.
    const std::pair<std::size_t, std::uint8_t> fixedPages[] = {
        {0, PT_FILE_HEADER}, {1, PT_PFS}, {2, PT_GAM}, {3, PT_SGAM},
        {6, PT_DCM},         {7, PT_BCM}, {9, PT_BOOT}};
    for (auto [nPos, nType] : fixedPages) {
        if (nPos >= nPages || (nType == PT_BOOT && nFileId != 1)) continue;
        PageBuilder pb(nType, 99, PagePointer{static_cast<std::int32_t>(nPos), nFileId});
        pb.AddRow(RowBuilder().Fixed(Bytes(8, 0)).Build());
        f.SetPage(nPos, pb);
    }
    return f;
}

PageBuilder SystemTablePage(std::int32_t nObjectId, PagePointer self,
                            const std::vector<Bytes>& rows) {
    PageBuilder pb(PT_DATA, nObjectId, self);
    pb.Header().nTypeFlagBits = 4;
    for (const Bytes& r : rows) pb.AddRow(r);
    return pb;
}

PageBytes ToPageBytes(const Page& page) {
    PageBytes b = MakePageBuffer();
    std::copy(page.begin(), page.end(), b.get());
    return b;
}

// ---- compressed rows and pages ----

Bytes CdRow(const std::vector<CdColumn>& columns, int nRecordType) {
    const std::size_t n = columns.size();
    std::vector<const CdColumn*> longs;
    bool bComplex = false;
    for (const CdColumn& c : columns)
        if (c.nDescriptor == CD_LONG) {
            longs.push_back(&c);
            bComplex = bComplex || c.bComplex;
        }
    std::uint8_t a = static_cast<std::uint8_t>(0x01 | ((nRecordType & 7) << 1));
    if (!longs.empty()) a |= 0x10;
    Bytes row{a};
    if (n < 0x80) {
        row.push_back(static_cast<std::uint8_t>(n));
    } else {
        row.push_back(static_cast<std::uint8_t>(0x80 | (n >> 8)));
        row.push_back(static_cast<std::uint8_t>(n & 0xFF));
    }
    for (std::size_t i = 0; i < n; i += 2) {
        std::uint8_t b = columns[i].nDescriptor & 0x0F;
        if (i + 1 < n) b |= static_cast<std::uint8_t>((columns[i + 1].nDescriptor & 0x0F) << 4);
        row.push_back(b);
    }
    const std::size_t nClusters = n == 0 ? 0 : (n - 1) / 30;
    for (std::size_t k = 0; k < nClusters; ++k) {
        int nSize = 0;
        for (std::size_t i = 30 * k; i < std::min(n, 30 * k + 30); ++i)
            nSize += ShortSize(columns[i].nDescriptor);
        row.push_back(static_cast<std::uint8_t>(nSize));
    }
    for (const CdColumn& c : columns)
        if (ShortSize(c.nDescriptor) > 0) row.insert(row.end(), c.bytes.begin(), c.bytes.end());
    if (longs.empty()) return row;
    row.push_back(static_cast<std::uint8_t>(0x01 | (bComplex ? 0x02 : 0)));
    const Bytes count = LE16(static_cast<std::uint16_t>(longs.size()));
    row.insert(row.end(), count.begin(), count.end());
    std::size_t nEnd = 0;
    for (const CdColumn* c : longs) {
        nEnd += c->bytes.size();
        const Bytes e = LE16(static_cast<std::uint16_t>(nEnd | (c->bComplex ? 0x8000 : 0)));
        row.insert(row.end(), e.begin(), e.end());
    }
    // Per cluster of 30 columns after the first, the number of long columns in it.
    for (std::size_t k = 0; k < nClusters; ++k) {
        int nLong = 0;
        for (std::size_t i = 30 * k; i < std::min(n, 30 * k + 30); ++i)
            nLong += columns[i].nDescriptor == CD_LONG;
        row.push_back(static_cast<std::uint8_t>(nLong));
    }
    for (const CdColumn* c : longs) row.insert(row.end(), c->bytes.begin(), c->bytes.end());
    return row;
}

Bytes Dictionary(const std::vector<Bytes>& entries) {
    Bytes d = LE16(static_cast<std::uint16_t>(entries.size()));
    std::size_t nEnd = 2 + 2 * entries.size();
    for (const Bytes& e : entries) {
        nEnd += e.size();
        const Bytes v = LE16(static_cast<std::uint16_t>(nEnd));
        d.insert(d.end(), v.begin(), v.end());
    }
    for (const Bytes& e : entries) d.insert(d.end(), e.begin(), e.end());
    return d;
}

Bytes CompressionInfoRecord(const std::optional<Bytes>& anchorRow,
                            const std::vector<Bytes>& dictionary) {
    const bool bDictionary = !dictionary.empty();
    std::uint8_t nFlags = 0;
    if (anchorRow) nFlags |= CI_HAS_ANCHOR;
    if (bDictionary) nFlags |= CI_HAS_DICTIONARY;
    const Bytes anchor = anchorRow.value_or(Bytes{});
    const Bytes dict = bDictionary ? Dictionary(dictionary) : Bytes{};
    Bytes ci{nFlags, 0, 0};
    if (anchorRow && bDictionary) {
        const std::size_t nDictAt = 7 + anchor.size();
        ci = Cat({ci, LE16(static_cast<std::uint16_t>(nDictAt)),
                  LE16(static_cast<std::uint16_t>(nDictAt + dict.size()))});
    } else {
        ci = Cat({ci, LE16(static_cast<std::uint16_t>(5 + anchor.size() + dict.size()))});
    }
    return Cat({ci, anchor, dict});
}

namespace {

Bytes SignedCompressed(const Bytes& stored, std::size_t nWidth) {
    std::uint64_t u = 0;
    for (std::size_t k = 0; k < nWidth && k < stored.size(); ++k)
        u |= static_cast<std::uint64_t>(stored[k]) << (8 * k);
    if (nWidth < 8 && (u >> (8 * nWidth - 1)) & 1) u |= ~std::uint64_t{0} << (8 * nWidth);
    const auto v = static_cast<std::int64_t>(u);
    if (v == 0) return {};
    std::size_t n = 1;
    while (n < 8) {
        const std::int64_t nLimit = std::int64_t{1} << (8 * n - 1);
        if (v >= -nLimit && v < nLimit) break;
        ++n;
    }
    Bytes out(n);
    for (std::size_t k = 0; k < n; ++k) out[n - 1 - k] = static_cast<std::uint8_t>(u >> (8 * k));
    out[0] ^= 0x80;
    return out;
}

Bytes VardecimalCompressed(const Bytes& stored, std::int32_t nScale) {
    unsigned __int128 m = 0;
    for (std::size_t k = stored.size(); k > 1; --k) m = (m << 8) | stored[k - 1];
    if (m == 0) return {};
    std::string digits;
    for (; m != 0; m /= 10) digits.insert(digits.begin(), static_cast<char>('0' + int(m % 10)));
    const int nExponent = static_cast<int>(digits.size()) - 1 - nScale;
    while (digits.back() == '0') digits.pop_back();
    while (digits.size() % 3) digits.push_back('0');
    std::vector<bool> bits;
    for (std::size_t i = 0; i < digits.size(); i += 3) {
        const int g = std::stoi(digits.substr(i, 3));
        for (int b = 9; b >= 0; --b) bits.push_back((g >> b) & 1);
    }
    Bytes out{static_cast<std::uint8_t>(((stored.empty() || stored[0] != 0) ? 0x80 : 0) |
                                        ((nExponent + 64) & 0x7F))};
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        std::uint8_t b = 0;
        for (std::size_t j = 0; j < 8; ++j)
            b = static_cast<std::uint8_t>(b << 1 | (i + j < bits.size() && bits[i + j]));
        out.push_back(b);
    }
    // Trailing zero bytes of the digit groups are left out.
    while (out.size() > 1 && out.back() == 0) out.pop_back();
    return out;
}

Bytes UnicodeCompressed(const Bytes& utf16) {
    if (utf16.empty()) return {};
    // SCSU when it is shorter; an odd length is what marks a value as SCSU, so an even SCSU
    // form would read as UTF-16 and the value is then kept as it is.
    const Bytes scsu = Utf16ToScsu(utf16);
    if (!scsu.empty() && scsu.size() % 2 == 1 && scsu.size() < utf16.size()) return scsu;
    return utf16;
}

} // namespace

Bytes CompressValue(const CompressedColumnType& column, const Bytes& stored) {
    Bytes b = stored;
    switch (column.nTypeCode) {
    case TYPE_BIT:
        return {};
    case TYPE_TINYINT:
        return !b.empty() && b[0] != 0 ? Bytes{b[0]} : Bytes{};
    case TYPE_SMALLINT:
        return SignedCompressed(b, 2);
    case TYPE_INT:
    case TYPE_SMALLMONEY:
        return SignedCompressed(b, 4);
    case TYPE_BIGINT:
    case TYPE_MONEY:
    case TYPE_DATETIME:
        return SignedCompressed(b, 8);
    case TYPE_REAL:
    case TYPE_FLOAT:
        std::reverse(b.begin(), b.end());
        while (!b.empty() && b.back() == 0) b.pop_back();
        return b;
    case TYPE_DATE:
    case TYPE_SMALLDATETIME:
    case TYPE_TIME:
    case TYPE_DATETIME2:
    case TYPE_DATETIMEOFFSET:
        while (!b.empty() && b.back() == 0) b.pop_back();
        std::reverse(b.begin(), b.end());
        return b;
    case TYPE_DECIMAL:
    case TYPE_NUMERIC:
        return VardecimalCompressed(b, column.nScale);
    case TYPE_UNIQUEIDENTIFIER:
        return std::all_of(b.begin(), b.end(), [](std::uint8_t x) { return x == 0; }) ? Bytes{} : b;
    case TYPE_CHAR:
        while (!b.empty() && b.back() == 0x20) b.pop_back();
        return b;
    case TYPE_BINARY:
        while (!b.empty() && b.back() == 0) b.pop_back();
        return b;
    case TYPE_NCHAR:
        while (b.size() >= 2 && b[b.size() - 2] == 0x20 && b.back() == 0) b.resize(b.size() - 2);
        return UnicodeCompressed(b);
    case TYPE_NVARCHAR:
    case TYPE_SYSTEM_232:
        return UnicodeCompressed(b);
    default:
        return b;
    }
}

CompressedPageBuilder::CompressedPageBuilder(std::vector<CompressedColumnType> columns,
                                             Compression mode, std::int32_t nObjectId,
                                             PagePointer self)
    : m_columns(std::move(columns)), m_mode(mode), m_nObjectId(nObjectId), m_self(self) {}

CompressedPageBuilder& CompressedPageBuilder::AddRow(const std::vector<StoredValue>& row) {
    m_rows.push_back(row);
    return *this;
}

namespace {

std::size_t CommonPrefix(const Bytes& a, const Bytes& b) {
    std::size_t n = 0;
    while (n < a.size() && n < b.size() && n < 255 && a[n] == b[n]) ++n;
    return n;
}

CdColumn Plain(const Bytes& c) {
    if (c.empty()) return {CD_EMPTY, {}};
    if (c.size() <= 8) return {static_cast<std::uint8_t>(c.size() + 1), c};
    return {CD_LONG, c};
}

} // namespace

CompressedPageBuilder::Plan CompressedPageBuilder::MakePlan() const {
    Plan plan;
    const std::size_t nColumns = m_columns.size();
    // Compressed values; nullopt is NULL.
    std::vector<std::vector<std::optional<Bytes>>> values;
    for (const auto& row : m_rows) {
        std::vector<std::optional<Bytes>> v;
        for (std::size_t i = 0; i < nColumns; ++i) {
            if (i < row.size() && row[i])
                v.push_back(CompressValue(m_columns[i], *row[i]));
            else
                v.push_back(std::nullopt);
        }
        values.push_back(std::move(v));
    }
    const bool bPage = m_mode == Compression::Page;
    plan.anchors.assign(nColumns, std::nullopt);
    if (bPage) {
        for (std::size_t i = 0; i < nColumns; ++i) {
            if (m_columns[i].nTypeCode == TYPE_BIT) continue;
            long nBest = 0;
            for (const auto& cand : values) {
                if (!cand[i] || cand[i]->empty()) continue;
                long nScore = 0;
                for (const auto& other : values)
                    if (other[i] && !other[i]->empty())
                        nScore += static_cast<long>(CommonPrefix(*cand[i], *other[i])) - 1;
                if (nScore > nBest) {
                    nBest = nScore;
                    plan.anchors[i] = cand[i];
                }
            }
            if (plan.anchors[i]) ++plan.stats.nAnchors;
        }
    }
    // Per value its stored column, and for page compression its dictionary form.
    struct Cell {
        CdColumn column;
        std::optional<Bytes> dictForm;
    };
    std::vector<std::vector<Cell>> cells;
    std::map<Bytes, int> counts;
    for (std::size_t r = 0; r < values.size(); ++r) {
        std::vector<Cell> row;
        for (std::size_t i = 0; i < nColumns; ++i) {
            Cell cell;
            const auto& v = values[r][i];
            const std::optional<Bytes>& anchor = plan.anchors[i];
            if (!v) {
                cell.column = {CD_NULL, {}};
            } else if (m_columns[i].nTypeCode == TYPE_BIT) {
                const bool bOne = !m_rows[r][i]->empty() && (*m_rows[r][i])[0] != 0;
                cell.column = {bOne ? CD_BIT_ONE : CD_EMPTY, {}};
            } else if (anchor && *v == *anchor) {
                cell.column = {CD_EMPTY, {}};
                ++plan.stats.nSameAsAnchor;
            } else if (anchor) {
                const std::size_t p = CommonPrefix(*anchor, *v);
                Bytes form{static_cast<std::uint8_t>(p)};
                form.insert(form.end(), v->begin() + static_cast<std::ptrdiff_t>(p), v->end());
                // Values without a common prefix may stay plain short values.
                if (p == 0 && !v->empty() && v->size() <= 8)
                    cell.column = Plain(*v);
                else
                    cell.column = {CD_LONG, form};
                if (p > 0) ++plan.stats.nPrefixed;
                cell.dictForm = form;
            } else {
                cell.column = Plain(*v);
                if (bPage && !v->empty()) cell.dictForm = *v;
            }
            if (cell.dictForm) ++counts[*cell.dictForm];
            row.push_back(std::move(cell));
        }
        cells.push_back(std::move(row));
    }
    std::map<Bytes, int> symbols;
    for (const auto& [form, n] : counts)
        if (n >= 2 && form.size() >= 2 && symbols.size() < 255) {
            symbols[form] = static_cast<int>(plan.dictionary.size());
            plan.dictionary.push_back(form);
        }
    plan.stats.nDictionaryEntries = static_cast<int>(plan.dictionary.size());
    for (auto& row : cells) {
        std::vector<CdColumn> out;
        for (Cell& cell : row) {
            if (cell.dictForm) {
                if (auto it = symbols.find(*cell.dictForm); it != symbols.end()) {
                    cell.column = {CD_SYMBOL, {static_cast<std::uint8_t>(it->second)}};
                    ++plan.stats.nSymbols;
                }
            }
            out.push_back(std::move(cell.column));
        }
        plan.rows.push_back(std::move(out));
    }
    return plan;
}

CompressedPageBuilder::Stats CompressedPageBuilder::Statistics() const {
    return MakePlan().stats;
}

PageBuilder CompressedPageBuilder::Builder() const {
    const Plan plan = MakePlan();
    PageBuilder pb(PT_DATA, m_nObjectId, m_self);
    if (m_mode == Compression::Page) {
        pb.Header().nTypeFlagBits = 0x80;
        std::vector<CdColumn> anchor;
        for (const auto& a : plan.anchors) anchor.push_back(a ? Plain(*a) : CdColumn{CD_NULL, {}});
        pb.AddUnslotted(CompressionInfoRecord(CdRow(anchor), plan.dictionary));
    }
    for (const auto& row : plan.rows) pb.AddRow(CdRow(row));
    return pb;
}

} // namespace qw
