#include "rowdecode/TableRowDecoder.h"

#include "pagestore/Bytes.h"
#include "pagestore/TextMixPage.h"
#include "rowdecode/TextConvert.h"
#include "rowdecode/ValueFormat.h"

namespace {

bool Bit(const CPrimaryRecord& r, int nIndex) {
    if (nIndex < 0) return false;
    return r.IsNull(nIndex);
}

bool IsBinaryShownWithPrefix(std::int32_t nTypeCode) {
    return nTypeCode == TYPE_VARBINARY || nTypeCode == TYPE_IMAGE;
}

// Storage size of a fixed-length column for the compressed-row completion (0: variable).
std::int32_t StorageSize(const TableColumn& c) {
    BitCursor cursor;
    const ValueDescriptor d = InitValueDescriptor(c, cursor);
    if (d.m_bVariable) return 0;
    return c.m_nTypeCode == TYPE_BIT ? 1 : d.m_nLength;
}

} // namespace

CTableRowDecoder::CTableRowDecoder(std::vector<TableColumn> columns, CDravoltBrevantProjApp& app,
                                   CMdfReader& reader, bool bLegacy)
    : m_columns(std::move(columns)), m_app(app), m_reader(reader), m_bLegacy(bLegacy) {
    // Compressed rows hold their columns in rowset order: the layout is indexed by storage
    // position (the column's id inside its rowset).
    m_declaredLengths.reserve(m_columns.size());
    for (const TableColumn& c : m_columns) m_declaredLengths.push_back(DeclaredLength(c.m_strType));
    for (std::size_t o = 0; o < m_columns.size(); ++o) {
        const TableColumn& c = m_columns[o];
        if (c.m_nStorageColumnId == kNotStored) continue;
        const std::size_t i = CompletedIndex(c, o);
        if (i >= m_layout.size()) {
            m_layout.resize(i + 1);
            m_scales.resize(i + 1, -1);
        }
        m_layout[i] = {c.m_nTypeCode, StorageSize(c)};
        m_scales[i] = c.m_nScale;
    }
}

int CTableRowDecoder::NarrowCodePage(const TableColumn& col) const {
    if (const CollationEntry* e = m_app.FindCollation(col.m_nCollationId); e && e->nCodePage != 0)
        return e->nCodePage;
    return m_app.m_bCollationFound && m_app.m_nCollationCodePage != 0 ? m_app.m_nCollationCodePage
                                                                      : m_app.m_nDefaultCodePage;
}

bool CTableRowDecoder::ReachedThroughStub(const CPrimaryRecord& r, PagePointer self,
                                          int nSlot) const {
    // A moved row keeps, as its last variable column, a pointer back to the stub left where it
    // was: kind 1024, then the stub's page id, file id and slot.
    if (r.m_varValues.empty()) return false;
    const VarValue& back = r.m_varValues.back();
    const std::span<const std::uint8_t> b = back.Value();
    if (!back.bComplex || b.size() < 10 || le::U16(b.data()) != 1024) return false;
    const PagePointer stubPage{le::I32(b.data() + 2), le::I16(b.data() + 6)};
    const int nStubSlot = le::I16(b.data() + 8);
    PageBytes bytes = m_reader.ReadRawPage(stubPage);
    if (!bytes || nStubSlot < 0) return false;
    const std::uint8_t* p = bytes.get();
    const int nSlots = le::I16(p + 22);
    if (nStubSlot >= nSlots || nStubSlot >= 4000) return false;
    const std::uint16_t nOffset = le::U16(p + kPageSize - 2 - 2 * nStubSlot);
    if (nOffset < kPageHeaderSize || nOffset + 9u > kPageSize) return false;
    const std::uint8_t* stub = p + nOffset;
    // The stub is listed, and shows this row, when it still points here.
    return ((stub[0] >> 1) & 7) == RECORD_FORWARDING_STUB && le::I32(stub + 1) == self.nPageId &&
           le::I16(stub + 5) == self.nFileId && le::I16(stub + 7) == nSlot;
}

std::vector<DecodedRow> CTableRowDecoder::ReadRows(const CDataPage& page) {
    std::vector<DecodedRow> rows;
    const std::size_t n = std::min<std::size_t>(
        static_cast<std::size_t>(std::max<int>(page.Header().m_nSlotCount, 0)), page.RecordCount());
    for (std::size_t i = 0; i < n && !m_app.StopRequested(); ++i) {
        const CPrimaryRecord* r = page.Record(i);
        if (!r) continue;
        // Index rows (of the index levels among a table's pages) and deleted rows are left out;
        // rows the row format rejected are counted.
        if (r->m_nRecordType == RECORD_INDEX || r->m_bDeleted) continue;
        if (r->m_bInvalid) {
            ++m_nInvalid;
            continue;
        }
        if (r->m_nRecordType == RECORD_FORWARDED &&
            ReachedThroughStub(*r, page.Header().Self(), static_cast<int>(i)))
            continue;
        DecodedRow row;
        row.texts.resize(m_columns.size());
        row.page = page.Header().Self();
        row.nSlot = static_cast<std::int32_t>(i);
        row.nRecordType = r->m_nRecordType;
        if (r->m_bCompressed) {
            if (!r->m_bCompleted) {
                ++m_nInvalid; // a compressed row that could not be completed shows nothing
                continue;
            }
            DecodeCompleted(*r, row);
        } else {
            DecodeRecord(*r, row);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string CTableRowDecoder::LargeValue(const VarValue& v, const TableColumn& col,
                                         bool& bFailure) {
    const std::span<const std::uint8_t> bytes = v.Value();
    const bool bListing = m_app.m_bListingMode && !m_bFullValues;
    const std::int32_t nCode = col.m_nTypeCode == TYPE_IMAGE ? TYPE_VARBINARY : col.m_nTypeCode;
    LobOptions opt;
    opt.nHexMode = nCode == TYPE_VARBINARY || nCode == TYPE_CLR ? 1 : 0;
    opt.bVariantHeader = nCode == TYPE_SQL_VARIANT;
    opt.bWide = nCode == TYPE_NVARCHAR || nCode == TYPE_NTEXT;
    const int nCodePage = NarrowCodePage(col);
    opt.narrow = [nCodePage](std::span<const std::uint8_t> b) {
        std::string s;
        if (!text::AppendCodePage(s, b, nCodePage)) text::AppendWidened(s, b);
        return s;
    };
    std::vector<std::vector<std::uint8_t>> chunks;
    auto xml = [&](auto&& render) {
        LobOptions collect;
        collect.pCollector = &chunks;
        LobRenderer r(m_reader, collect);
        render(r);
        bFailure = bFailure || r.HadFailures();
        std::vector<std::uint8_t> all;
        for (const auto& c : chunks) all.insert(all.end(), c.begin(), c.end());
        return XmlValueText(all);
    };
    // An in-row root (kind 2: also the pointer of a value pushed off the row; kind 4: the root
    // of a large value) is a 12-byte header and 12-byte links.
    const std::uint16_t nKind = bytes[0] != 0 ? bytes[0] : le::U16At(bytes, 0);
    const bool bRoot =
        (nKind == 2 || nKind == 4) && bytes.size() >= 24 && (bytes.size() - 12) % 12 == 0;
    if (bRoot) {
        if (nCode == TYPE_XML) return xml([&](LobRenderer& r) { r.RenderInRowRoot(bytes); });
        if (bListing && (nKind == 4 || m_bLegacy)) return "<BIG BINARY DATA>";
        LobRenderer r(m_reader, opt);
        std::string s = r.RenderInRowRoot(bytes);
        bFailure = bFailure || r.HadFailures();
        return s;
    }
    // Text pointers of text, ntext and image values: 16 bytes naming the root fragment.
    if (bytes.size() == 16) {
        if (nCode == TYPE_XML) return xml([&](LobRenderer& r) { r.RenderTextPointer(bytes); });
        if (bListing) return "<BINARY DATA>";
        LobRenderer r(m_reader, opt);
        std::string s = r.RenderTextPointer(bytes);
        bFailure = bFailure || r.HadFailures();
        return s;
    }
    return {};
}

void CTableRowDecoder::DecodeRecord(const CPrimaryRecord& r, DecodedRow& row) {
    BitCursor cursor;
    int nFixedPos = 0;
    std::size_t nVarIndex = 0;
    int nColumnPos = 0;
    const int nSparse = r.m_sparse ? static_cast<int>(r.m_sparse->entries.size()) : 0;
    const int nCount = r.m_nColumnCount;
    const std::size_t n =
        std::min<std::size_t>(m_columns.size(), static_cast<std::size_t>(std::max(nCount, 0)));
    const bool b2000 = m_app.m_bIsSql2000;
    const int nFixedLength = r.HasFixedData() ? static_cast<int>(r.m_fixedData.size()) : 0;

    for (std::size_t o = 0; o < n; ++o) {
        TableColumn& col = m_columns[o];
        if (col.m_nStorageColumnId == kNotStored) continue;
        ValueDescriptor desc = Descriptor(o, cursor);
        std::size_t nSlot = desc.m_bVariable && col.m_nLeafOffset < 0
                                ? static_cast<std::size_t>(-1 - col.m_nLeafOffset)
                                : nVarIndex;
        if (nCount < col.m_nStorageColumnId) col.m_nStorageColumnId = col.m_nColumnId;

        bool bNullFlag = false;
        if (!m_app.StopRequested()) {
            const int a = col.m_nNullBit;
            if (m_bLegacy) {
                bNullFlag = a >= 1 && a <= nCount ? Bit(r, a - 1) : Bit(r, nColumnPos);
            } else if (a > 0 && a <= nCount) {
                bNullFlag = Bit(r, a - 1);
            } else {
                const int k = col.m_nStorageColumnId - nSparse - 1;
                bNullFlag = k > 0 && k <= nCount ? Bit(r, k) : Bit(r, nSparse);
            }
        }
        std::string& text = row.texts[o];
        if (!col.m_bSparse && (!col.m_bStored || bNullFlag)) {
            text = "NULL";
            ++nColumnPos;
            continue;
        }
        if (col.m_bSparse) {
            if (r.m_sparse)
                for (const VarValue& e : r.m_sparse->entries)
                    if (e.nColumnId == col.m_nColumnId && e.HasBytes()) {
                        desc.m_nLength = e.nLength;
                        desc.m_nAvailable = static_cast<std::uint64_t>(e.nLength);
                        text = FormatColumnValue(desc, e.bytes.data(), col, m_app);
                        break;
                    }
            continue;
        }
        if (nCount < nColumnPos) continue;

        if (desc.m_bVariable) {
            if (m_bLegacy && b2000) {
                nSlot = nVarIndex;
                const auto nLegacy = static_cast<std::uint16_t>(col.m_nLegacyVarOffset);
                if ((nLegacy & 0x8000) && static_cast<std::size_t>(static_cast<std::uint16_t>(
                                              ~nLegacy)) < r.m_varValues.size()) {
                    nSlot = static_cast<std::uint16_t>(~nLegacy);
                    nVarIndex = nSlot;
                }
            }
            if (nSlot < r.m_varValues.size()) {
                const VarValue& v = r.m_varValues[nSlot];
                if (v.bComplex) {
                    if (v.HasBytes()) {
                        text = LargeValue(v, col, row.bLobFailure);
                        ++nColumnPos;
                    }
                    ++nVarIndex;
                } else {
                    if (col.m_nTypeCode == TYPE_SQL_VARIANT) {
                        desc.m_nAvailable = static_cast<std::uint64_t>(v.nLength);
                        text = FormatVariantValue(desc, v.HasBytes() ? v.bytes.data() : nullptr,
                                                  v.nLength, col, m_app);
                    } else {
                        desc.m_nLength = v.nLength;
                        desc.m_nAvailable = static_cast<std::uint64_t>(v.nLength);
                        text = FormatColumnValue(desc, v.HasBytes() ? v.bytes.data() : nullptr, col,
                                                 m_app);
                    }
                    ++nVarIndex;
                    ++nColumnPos;
                }
            }
        } else if (nFixedLength > 0) {
            const int lo = col.m_nLeafOffset;
            int nStart = -1;
            int nAdvance = desc.m_nSize;
            if (m_bLegacy && b2000) {
                const int nLegacy = static_cast<std::uint16_t>(col.m_nLegacyVarOffset);
                if (lo < 0 && nLegacy > 0 && nLegacy - 4 < nFixedLength) {
                    nStart = nLegacy - 4;
                    if (desc.m_nSize <= 0) nAdvance = desc.m_nLength;
                } else if (nLegacy < 4 || nLegacy == nFixedPos + 4 || nLegacy - 4 >= nFixedLength) {
                    nStart = nFixedPos < nFixedLength ? nFixedPos : -1;
                } else {
                    nStart = nLegacy - 4;
                }
            } else if (lo - 4 < 0 || nFixedLength < lo - 4) {
                nStart = nFixedPos < nFixedLength ? nFixedPos : -1;
            } else {
                nStart = lo - 4;
            }
            if (nStart >= 0 && nStart < nFixedLength) {
                desc.m_nAvailable = static_cast<std::uint64_t>(nFixedLength - nStart);
                text = FormatColumnValue(desc, r.m_fixedData.data() + nStart, col, m_app);
                if (col.m_nTypeCode == TYPE_BIT) nAdvance = cursor.m_bNewByte ? 1 : 0;
            }
            nFixedPos += nAdvance;
            ++nColumnPos;
        } else {
            nFixedPos += desc.m_nSize;
            ++nColumnPos;
        }
        if (IsBinaryShownWithPrefix(col.m_nTypeCode) && text != " " && text.rfind("0x", 0) != 0 &&
            !text.empty() && text[0] != '<')
            text = "0x" + text;
    }
}

ValueDescriptor CTableRowDecoder::Descriptor(std::size_t o, BitCursor& cursor) const {
    ValueDescriptor d = InitValueDescriptor(m_columns[o], cursor);
    // The type text's length, parsed once per column rather than once per value.
    if (d.m_nDeclaredLength == 0) d.m_nDeclaredLength = m_declaredLengths[o];
    return d;
}

std::size_t CTableRowDecoder::CompletedIndex(const TableColumn& c, std::size_t nListIndex) {
    return c.m_nStorageColumnId >= 1 ? static_cast<std::size_t>(c.m_nStorageColumnId - 1)
                                     : nListIndex;
}

void CTableRowDecoder::DecodeCompleted(const CPrimaryRecord& r, DecodedRow& row) {
    // A completed compressed row holds every column in its stored form, in rowset order.
    for (std::size_t o = 0; o < m_columns.size(); ++o) {
        const TableColumn& col = m_columns[o];
        if (col.m_nStorageColumnId == kNotStored) continue;
        const std::size_t i = CompletedIndex(col, o);
        if (i >= r.m_completed.size()) continue;
        const CPrimaryRecord::CompletedColumn& v = r.m_completed[i];
        std::string& text = row.texts[o];
        if (v.bNull) {
            text = "NULL";
            continue;
        }
        if (v.bComplex) {
            VarValue lob;
            lob.bytes = v.bytes;
            lob.nLength = static_cast<std::int32_t>(v.bytes.size());
            lob.bytes.resize(lob.bytes.size() + 2, 0);
            lob.bComplex = true;
            if (lob.nLength > 0) text = LargeValue(lob, col, row.bLobFailure);
            continue;
        }
        BitCursor cursor;
        ValueDescriptor desc = Descriptor(o, cursor);
        desc.m_nLength = static_cast<std::int32_t>(v.bytes.size());
        desc.m_nAvailable = v.bytes.size();
        if (col.m_nTypeCode == TYPE_SQL_VARIANT)
            text = FormatVariantValue(desc, v.bytes.data(), static_cast<int>(v.bytes.size()), col,
                                      m_app);
        else
            text = FormatColumnValue(desc, v.bytes.data(), col, m_app);
        if (IsBinaryShownWithPrefix(col.m_nTypeCode) && text != " " && !text.empty())
            text = "0x" + text;
    }
}
