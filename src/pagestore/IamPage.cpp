#include "pagestore/IamPage.h"

#include "appstate/CDravoltBrevantProjApp.h"
#include "pagestore/Bytes.h"
#include "pagestore/CMdfReader.h"

ExtentAllocationMap::ExtentAllocationMap(PageBytes pBytes, const CDravoltBrevantProjApp& app,
                                         CMdfReader* pReader)
    : PrimaryRecordPage(std::move(pBytes), app, pReader) {
    if (m_app.StopRequested()) return;
    const CPrimaryRecord* pBitmap = Record(1);
    if (RecordCount() < 2 || !pBitmap || !pBitmap->HasFixedData()) return;
    const std::size_t nBytes = std::min<std::size_t>(pBitmap->m_fixedData.size(), 7988);
    m_extentFlags.reserve(nBytes * 8);
    for (std::size_t i = 0; i < nBytes; ++i)
        for (int j = 0; j < 8; ++j) m_extentFlags.push_back((pBitmap->m_fixedData[i] >> j) & 1);
}

std::vector<ExtentRange> ExtentAllocationMap::ExtentList() {
    std::vector<ExtentRange> out;
    const std::int64_t nBase = static_cast<std::int64_t>(std::max(m_header.m_nPageId, 0)) /
                               kIamIntervalPages * kIamIntervalPages;
    // Extents past the end of the map's own file cannot be read: a secondary file larger than
    // the primary is measured by its own length.
    std::size_t nLimit = m_extentFlags.size();
    if (m_pReader)
        nLimit = std::min<std::size_t>(nLimit, m_pReader->FilePageCount(m_header.m_nFileId) /
                                                   kPagesPerExtent);
    for (std::size_t i = 0; i < nLimit; ++i) {
        if (!m_extentFlags[i]) continue;
        const std::int64_t nFirst = nBase + 8 * static_cast<std::int64_t>(i);
        if (nFirst + 7 > INT32_MAX) break;
        ExtentRange r;
        r.m_first = {static_cast<std::int32_t>(nFirst), m_header.m_nFileId};
        r.m_last = {static_cast<std::int32_t>(nFirst + 7), m_header.m_nFileId};
        out.push_back(r);
    }
    m_nAllocatedExtents = out.size();
    return out;
}

std::vector<PagePointer> ExtentAllocationMap::PageList(ExtentRange& range) {
    std::vector<PagePointer> out;
    for (std::int64_t p = range.m_first.nPageId; p <= range.m_last.nPageId; ++p)
        out.push_back({static_cast<std::int32_t>(p), range.m_first.nFileId});
    range.m_nPageCount = static_cast<std::int32_t>(out.size());
    return out;
}

IamPage::IamPage(PageBytes pBytes, const CDravoltBrevantProjApp& app, CMdfReader* pReader)
    : ExtentAllocationMap(std::move(pBytes), app, pReader) {
    m_singlePages.fill(PagePointer{0, kPrimaryFileId});
    const CPrimaryRecord* pHeader = Record(0);
    if (!pHeader || !pHeader->HasFixedData()) return;
    const std::span<const std::uint8_t> d(pHeader->m_fixedData);
    for (std::size_t k = 0; k < 8; ++k) {
        const std::size_t nOff = 42 + 6 * k;
        if (nOff + 6 > d.size()) break;
        m_singlePages[k] = {le::I32At(d, nOff), le::I16At(d, nOff + 4)};
    }
}
