#include "pagestore/RecordPage.h"

#include <bitset>

#include "appstate/CDravoltBrevantProjApp.h"
#include "pagestore/Bytes.h"

namespace {

PageBytes WholePage(PageBytes p) {
    return p ? std::move(p) : MakePageBuffer();
}

} // namespace

RecordPage::RecordPage(PageBytes pBytes, const CDravoltBrevantProjApp& app, CMdfReader* pReader)
    : m_pBytes(WholePage(std::move(pBytes))), m_pReader(pReader), m_app(app) {
    m_header = CPage_Header(m_pBytes.get());
    m_ref = PageRef{&m_header, m_pBytes.get(), m_pReader, &m_app};
    if (m_app.StopRequested()) return;
    const int n = m_header.m_nSlotCount;
    if (n <= 0 || n >= 4000) return;
    m_slotOffsets.resize(static_cast<std::size_t>(n));
    for (int j = 0; j < n; ++j)
        m_slotOffsets[static_cast<std::size_t>(j)] =
            le::U16(m_pBytes.get() + kPageSize - 2 - 2 * j);
    m_bHasSlots = true;
}

bool RecordPage::PassesPageChecks() const {
    const CPage_Header& h = m_header;
    return m_bHasSlots && h.m_nSlotCount <= 8192 && h.m_nGhostRecordCount >= 0 &&
           h.m_nFreeByteCount >= 0 && h.m_nNextFileId >= 0 && h.m_nNextPageId >= 0 &&
           h.m_nFileId >= 0 && h.m_nPageId >= 0 && h.m_nPrevFileId >= 0 && h.m_nPrevPageId >= 0;
}

std::unique_ptr<CPrimaryRecord> PrimaryRecordPage::DecodeAt(std::uint16_t nOffset,
                                                            bool bFollowStubs) const {
    if (nOffset == 0 || nOffset >= kPageSize || nOffset < kPageHeaderSize) return nullptr;
    return std::make_unique<CPrimaryRecord>(m_pBytes.get() + nOffset, m_ref,
                                            static_cast<int>(kPageSize - nOffset), bFollowStubs);
}

std::unique_ptr<CPrimaryRecord>
PrimaryRecordPage::Completed(std::unique_ptr<CPrimaryRecord> pRecord) const {
    // Compressed rows are completed only while a listing has published its column types; a row
    // reached through a forwarding stub was completed against its own page.
    if (!pRecord || !pRecord->m_bCompressed || pRecord->m_bInvalid || pRecord->m_bCompleted ||
        pRecord->m_nForwardedSlot >= 0 || m_app.m_bIsSql2000)
        return pRecord;
    if (const IRowLayout* pLayout = m_app.m_pCurrentRowDecoder.load())
        CompleteCompressedRow(*pRecord, m_compression, *pLayout);
    return pRecord;
}

PrimaryRecordPage::PrimaryRecordPage(PageBytes pBytes, const CDravoltBrevantProjApp& app,
                                     CMdfReader* pReader)
    : RecordPage(std::move(pBytes), app, pReader) {
    if (PassesPageChecks()) {
        if (!m_app.m_bIsSql2000) m_compression = DecodeCompressionInfo(m_ref);
        if (m_app.m_bShowDeleted && m_app.m_bShowAdvancedDeleted) SearchUnreferencedRows();
        const bool bUpperIndexLevel =
            m_header.m_nPageType == PAGE_TYPE_INDEX && m_header.m_nLevel != 0;
        const bool bAllGhosts =
            m_header.m_nGhostRecordCount >= m_header.m_nSlotCount && !m_app.m_bShowDeleted;
        m_records.reserve(m_slotOffsets.size());
        for (std::uint16_t nOffset : m_slotOffsets) {
            if (bUpperIndexLevel || bAllGhosts)
                m_records.emplace_back();
            else
                m_records.push_back(Completed(DecodeAt(nOffset, true)));
        }
    }
    m_slotOffsets.clear();
    m_slotOffsets.shrink_to_fit();
}

PrimaryRecordPage::PrimaryRecordPage(PageBytes pBytes, const CDravoltBrevantProjApp& app,
                                     CMdfReader* pReader, int nSlot, bool bFollowStubs)
    : RecordPage(std::move(pBytes), app, pReader) {
    if (nSlot >= 0 && static_cast<std::size_t>(nSlot) < m_slotOffsets.size())
        m_records.push_back(DecodeAt(m_slotOffsets[static_cast<std::size_t>(nSlot)], bFollowStubs));
    m_slotOffsets.clear();
}

void PrimaryRecordPage::SearchUnreferencedRows() {
    const std::uint8_t* page = m_pBytes.get();
    m_foundOffsets = m_slotOffsets;
    std::bitset<kPageSize> own;
    for (std::uint16_t o : m_slotOffsets)
        if (o < kPageSize) own.set(o);

    auto isMarker = [page](int p) {
        if (p < 0 || p + 4 > static_cast<int>(kPageSize)) return false;
        const std::uint32_t v = le::U32(page + p);
        return v == kRowMarkerLive || v == kRowMarkerDeleted;
    };
    constexpr int kEnd = static_cast<int>(kPageSize) - 2;
    int p = static_cast<int>(kPageHeaderSize);
    int m = 0;
    bool bDecode = true;
    while (p < kEnd && !m_app.StopRequested()) {
        if (bDecode) {
            const int nLen =
                CPrimaryRecord::ProbeLength(page + p, m_ref, static_cast<int>(kPageSize) - p);
            if (nLen > 0) {
                if (!own.test(static_cast<std::size_t>(p)))
                    m_foundOffsets.push_back(static_cast<std::uint16_t>(p));
                p += nLen;
                bDecode = !(p < static_cast<int>(kPageSize) && !isMarker(p));
                continue;
            }
        }
        // Search forward for the next row marker; a marker that failed to decode is stepped over.
        if (p == m) ++p;
        while (p < kEnd && !isMarker(p)) ++p;
        if (p >= kEnd) break;
        m = p;
        bDecode = true;
    }
    if (static_cast<std::size_t>(m_header.m_nSlotCount) <= m_foundOffsets.size()) {
        m_header.m_nSlotCount = static_cast<std::int16_t>(m_foundOffsets.size());
        m_slotOffsets = m_foundOffsets;
    }
}
