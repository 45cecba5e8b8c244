#include "pagestore/Record.h"

#include <algorithm>

#include "appstate/CDravoltBrevantProjApp.h"
#include "pagestore/Bytes.h"
#include "pagestore/CMdfReader.h"
#include "pagestore/Compression.h"
#include "pagestore/RecordPage.h"

namespace {

bool PageIsReadable(const PageRef& page) {
    return page.pHeader && page.pApp && page.pHeader->m_nPageId >= 0 &&
           page.pHeader->m_nPageType <= 17;
}

} // namespace

SparseVector DecodeSparseVector(std::span<const std::uint8_t> value,
                                const CDravoltBrevantProjApp& app) {
    SparseVector v;
    const auto L = static_cast<std::int64_t>(value.size());
    const std::int64_t n = le::U16At(value, 2);
    v.nCount = static_cast<std::int32_t>(n);
    if (4 + 2 * n >= kPageSize || 4 + 4 * n >= kPageSize || L <= 4 || 4 + 2 * n >= L) {
        v.nCount = 0;
        return v;
    }
    std::int64_t nStart = 4 + 4 * n;
    for (std::int64_t k = 0; k < n && !app.StopRequested(); ++k) {
        VarValue e;
        e.nColumnId = le::U16At(value, static_cast<std::size_t>(4 + 2 * k));
        // An end offset past the value reads as 0, which gives the entry no bytes.
        const std::int64_t nEnd = le::U16At(value, static_cast<std::size_t>(4 + 2 * n + 2 * k));
        const std::int64_t nLen = nEnd - nStart;
        if (nLen > 0 && nLen <= kMaxRowSize && nStart < kMaxRowSize && nEnd <= L) {
            e.bytes.assign(value.begin() + nStart, value.begin() + nEnd);
            e.bytes.resize(e.bytes.size() + 2, 0);
        }
        e.nLength = static_cast<std::int32_t>(nLen);
        v.entries.push_back(std::move(e));
        nStart = nEnd;
    }
    return v;
}

bool CPrimaryRecord::AcceptType(const std::uint8_t* pRow) {
    const std::uint8_t a = pRow[0];
    m_nRecordType = (a >> 1) & 7;
    m_bCompressed = (a & 0x01) != 0;
    m_bHasNullBitmap = (a & 0x10) != 0;
    m_bHasVarColumns = (a & 0x20) != 0;
    const bool bShowDeleted = m_pPage->pApp->m_bShowDeleted;
    m_bDeleted = m_nRecordType >= 5 && !bShowDeleted;
    const bool bAccepted = m_nRecordType <= RECORD_FORWARDING_STUB ||
                           (bShowDeleted && m_nRecordType == RECORD_DELETED_DATA);
    if (!bAccepted) m_bInvalid = true;
    return bAccepted;
}

CPrimaryRecord::CPrimaryRecord(const std::uint8_t* pRow, const PageRef& page, int nAvailable,
                               bool bFollowStubs) {
    m_pPage = &page;
    m_nAvailable = std::clamp(nAvailable, 0, static_cast<int>(kPageSize));
    if (!PageIsReadable(page) || m_nAvailable < 1) {
        m_bInvalid = true;
        return;
    }
    if (!AcceptType(pRow)) return;
    if (m_bCompressed) {
        DecodeCompressed(pRow, m_nAvailable);
        return;
    }

    std::vector<std::uint8_t> target;
    if (m_nRecordType == RECORD_FORWARDING_STUB) {
        auto unresolved = [this] {
            m_nFixedLength = kUnresolvedStub;
            m_fixedData.clear();
        };
        if (!bFollowStubs || !page.pReader || m_nAvailable < 9) {
            unresolved();
            return;
        }
        const std::span<const std::uint8_t> stub(pRow, 9);
        const PagePointer ptr{le::I32At(stub, 1), le::I16At(stub, 5)};
        const std::int16_t nSlot = le::I16At(stub, 7);
        if (nSlot < 0) {
            unresolved();
            return;
        }
        PageBytes bytes = page.pReader->ReadRawPage(ptr);
        if (!bytes) {
            unresolved();
            return;
        }
        const PrimaryRecordPage targetPage(std::move(bytes), *page.pApp, page.pReader, nSlot,
                                           false);
        const CPrimaryRecord* pTarget = targetPage.Record(0);
        if (!pTarget || !pTarget->HasRecordBytes() || pTarget->m_nRecordLength == 0) {
            unresolved();
            return;
        }
        target = pTarget->m_recordBytes;
        m_forwardedTo = ptr;
        m_nForwardedSlot = nSlot;
        pRow = target.data();
        m_nAvailable = static_cast<int>(target.size());
        // The row's own flags; the record keeps the stub's type so users see how it was reached.
        const std::uint8_t a = pRow[0];
        m_bCompressed = (a & 0x01) != 0;
        m_bHasNullBitmap = (a & 0x10) != 0;
        m_bHasVarColumns = (a & 0x20) != 0;
        if (m_bCompressed) {
            // The row's prefixes and symbols refer to the compression record of its own page.
            DecodeCompressed(pRow, m_nAvailable);
            const IRowLayout* pLayout = page.pApp->m_pCurrentRowDecoder.load();
            if (pLayout && !page.pApp->m_bIsSql2000 && !m_bInvalid)
                CompleteCompressedRow(*this, DecodeCompressionInfo(targetPage.Ref()), *pLayout);
            return;
        }
    }
    DecodeBody(pRow, m_nAvailable);
}

void CPrimaryRecord::DecodeCompressed(const std::uint8_t* pRow, int nAvailable) {
    const std::span<const std::uint8_t> row(pRow, static_cast<std::size_t>(nAvailable));
    // Bit 4 of the header byte marks the long data region; there is no null bitmap (NULL is a
    // descriptor) and bit 5 marks versioning information after the row, which is not read.
    const bool bHasLong = (pRow[0] & 0x10) != 0;
    m_bHasNullBitmap = false;
    m_bHasVarColumns = bHasLong;

    // Column count: one byte, or two when the first has bit 7 set (bit 7 is the marker, the
    // other 15 bits the count, high byte first).
    int p = 1;
    const std::uint8_t b0 = le::U8At(row, 1);
    int nCount = b0;
    if (b0 & 0x80) {
        nCount = ((b0 & 0x7F) << 8) | le::U8At(row, 2);
        p = 3;
    } else {
        p = 2;
    }
    if (nAvailable < p || nCount < 1 || nCount > 1024) {
        m_bInvalid = true;
        return;
    }
    m_nColumnCount = nCount;

    const int nDescriptorBytes = (nCount + 1) / 2;
    m_columnDescriptors.reserve(static_cast<std::size_t>(nCount));
    for (int i = 0; i < nCount && p + i / 2 < nAvailable; ++i) {
        const std::uint8_t b = pRow[p + i / 2];
        m_columnDescriptors.push_back(static_cast<std::uint8_t>(i % 2 == 0 ? b & 0x0F : b >> 4));
    }
    const int nClusters = (nCount - 1) / 30;
    const int nShortStart = p + nDescriptorBytes + nClusters;
    int nShort = 0;
    for (std::uint8_t d : m_columnDescriptors) nShort += ShortSize(d);
    const int nShortEnd = nShortStart + nShort;
    if (nShort >= 1 && nShort < kMaxRowSize && nShortEnd < kMaxRowSize && nShortEnd <= nAvailable) {
        m_fixedData.assign(pRow + nShortStart, pRow + nShortEnd);
        m_nFixedLength = static_cast<std::int16_t>(nShort);
    }
    int nEnd = nShortEnd;

    if (bHasLong && nShortEnd < nAvailable) {
        int q = nShortEnd;
        const std::uint8_t nFlag = pRow[q++];
        int nEntries = 0;
        if ((nFlag & 1) && nAvailable - nShortEnd > 3) {
            nEntries = le::U16At(row, static_cast<std::size_t>(q));
            q += 2;
            if (nEntries < 1 || nEntries > nCount) nEntries = 0;
            for (int k = 0; k < nEntries; ++k) {
                const std::uint16_t v = le::U16At(row, static_cast<std::size_t>(q + 2 * k));
                m_longEntries.push_back(
                    {static_cast<std::uint16_t>(v & 0x7FFF), (v & 0x8000) != 0});
            }
            q += 2 * nEntries;
        }
        q += nClusters;
        const int nValuesStart = q;
        int nPrevEnd = 0;
        const CDravoltBrevantProjApp& app = *m_pPage->pApp;
        for (int k = 0; k < nEntries && !app.StopRequested(); ++k) {
            const LongEntry& e = m_longEntries[static_cast<std::size_t>(k)];
            VarValue value;
            value.bComplex = e.bFlag;
            const int nLen = e.nEnd - nPrevEnd;
            const int nStop = nValuesStart + e.nEnd;
            if (nLen > 0 && nLen < nAvailable && nLen < static_cast<int>(kPageSize) &&
                nStop < static_cast<int>(kPageSize) && nStop <= nAvailable) {
                value.bytes.assign(pRow + nValuesStart + nPrevEnd, pRow + nStop);
                value.bytes.resize(value.bytes.size() + 2, 0);
                value.nLength = nLen;
                nPrevEnd = e.nEnd;
                nEnd = nStop;
            }
            m_varValues.push_back(std::move(value));
        }
        m_nVarColumnCount = nEntries;
        nEnd = std::max(nEnd, nValuesStart);
    }
    if (nEnd > 0 && nEnd <= nAvailable) {
        m_recordBytes.assign(pRow, pRow + nEnd);
        m_nRecordLength = nEnd;
    }
}

int CPrimaryRecord::DecodeBody(const std::uint8_t* pRow, int nAvailable) {
    const std::span<const std::uint8_t> row(pRow, static_cast<std::size_t>(nAvailable));
    int p = 4;
    const int nFixedEnd = le::I16At(row, 2);
    m_nFixedLength = static_cast<std::int16_t>(nFixedEnd - 4);
    if (m_nFixedLength > 0 && m_nFixedLength < kMaxRowSize && nFixedEnd <= nAvailable) {
        m_fixedData.assign(pRow + 4, pRow + nFixedEnd);
        p = nFixedEnd;
    }
    const int nColumns = le::I16At(row, static_cast<std::size_t>(p));
    if (nColumns < 1 || nColumns > 1023) return -1;
    m_nColumnCount = nColumns;
    p += 2;
    if (m_bHasNullBitmap) {
        const int nBitmap = (nColumns + 7) / 8;
        const int nCopy = std::clamp(nAvailable - p, 0, nBitmap);
        m_nullBitmap.assign(pRow + p, pRow + p + nCopy);
        m_nullBitmap.resize(static_cast<std::size_t>(nBitmap), 0);
        p += nBitmap;
    }
    if (m_bHasVarColumns) DecodeVariablePart(pRow, nAvailable, p);
    if (p > 0 && p <= nAvailable) {
        m_recordBytes.assign(pRow, pRow + p);
        m_nRecordLength = p;
        return p;
    }
    return 0;
}

void CPrimaryRecord::DecodeVariablePart(const std::uint8_t* pRow, int nAvailable, int& p) {
    const std::span<const std::uint8_t> row(pRow, static_cast<std::size_t>(nAvailable));
    int nVar = m_nColumnCount;
    if (HasFixedData() || m_bHasNullBitmap) {
        nVar = le::I16At(row, static_cast<std::size_t>(p));
        p += 2;
    }
    if (nVar > m_nColumnCount) {
        m_nVarColumnCount = 0;
        p = 0;
        return;
    }
    m_nVarColumnCount = std::max(nVar, 0);
    if (nVar < 1 || nVar > 1023) return;

    m_varEndOffsets.resize(static_cast<std::size_t>(nVar));
    std::vector<bool> complex(static_cast<std::size_t>(nVar));
    for (int i = 0; i < nVar; ++i) {
        const std::uint16_t v = le::U16At(row, static_cast<std::size_t>(p + 2 * i));
        complex[static_cast<std::size_t>(i)] = (v & 0x8000) != 0;
        m_varEndOffsets[static_cast<std::size_t>(i)] = v & 0x7FFF;
    }
    p += 2 * nVar;
    const CDravoltBrevantProjApp& app = *m_pPage->pApp;
    for (int i = 0; i < nVar && !app.StopRequested(); ++i) {
        VarValue value;
        value.bComplex = complex[static_cast<std::size_t>(i)];
        const int nStart = p;
        const int nEnd = m_varEndOffsets[static_cast<std::size_t>(i)];
        const int nLen = nEnd - nStart;
        const bool bEmpty = nLen <= 0 || nEnd > nAvailable || nEnd >= static_cast<int>(kPageSize) ||
                            nLen >= static_cast<int>(kPageSize) || nStart < 1 ||
                            nStart > static_cast<int>(kPageSize) - 1;
        if (!bEmpty) {
            value.bytes.assign(pRow + nStart, pRow + nEnd);
            value.bytes.resize(value.bytes.size() + 2, 0);
            value.nLength = nLen;
            p = nEnd;
            if (value.bComplex && nLen != 16 && value.bytes[0] == 5)
                m_sparse = DecodeSparseVector(value.Value(), app);
        }
        m_varValues.push_back(std::move(value));
    }
}

int CPrimaryRecord::ProbeLength(const std::uint8_t* pRow, const PageRef& page, int nAvailable) {
    nAvailable = std::min(nAvailable, static_cast<int>(kMaxRowSize));
    if (!PageIsReadable(page) || nAvailable < 1) return -1;
    CPrimaryRecord probe;
    probe.m_pPage = &page;
    probe.m_nAvailable = nAvailable;
    if (!probe.AcceptType(pRow) || probe.m_bCompressed ||
        probe.m_nRecordType == RECORD_FORWARDING_STUB)
        return -1;
    const int p = probe.DecodeBody(pRow, nAvailable);
    return p > 0 ? p : -1;
}
