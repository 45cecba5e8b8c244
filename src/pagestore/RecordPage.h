// Record pages: pages whose rows are reached through the slot array at the end of the page.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "pagestore/CPage_Header.h"
#include "pagestore/Compression.h"
#include "pagestore/PageTypes.h"
#include "pagestore/Record.h"

class CPage {
public:
    virtual ~CPage() = default;
};

class RecordPage : public CPage {
public:
    // Decodes the header (repairing torn pages) and reads the slot array. pBytes must hold a
    // whole page buffer (kPageBufferSize bytes). pReader may be null (no stub can be followed).
    RecordPage(PageBytes pBytes, const CDravoltBrevantProjApp& app, CMdfReader* pReader);
    RecordPage(const RecordPage&) = delete;
    RecordPage& operator=(const RecordPage&) = delete;

    const CPage_Header& Header() const { return m_header; }
    const std::uint8_t* Bytes() const { return m_pBytes.get(); }
    CMdfReader* Reader() const { return m_pReader; }
    const PageRef& Ref() const { return m_ref; }
    const std::vector<std::unique_ptr<CRecord>>& Records() const { return m_records; }

protected:
    // The checks a page must pass before any of its rows is decoded.
    bool PassesPageChecks() const;

    CPage_Header m_header;
    PageBytes m_pBytes;
    CMdfReader* m_pReader;
    const CDravoltBrevantProjApp& m_app;
    PageRef m_ref;
    bool m_bHasSlots = false;
    std::vector<std::uint16_t> m_slotOffsets;
    std::vector<std::unique_ptr<CRecord>> m_records;
};

class PrimaryRecordPage : public RecordPage {
public:
    // Decodes every slot, with the deleted-row filters and, when both deleted-row options are
    // on, the search for rows no slot points to.
    PrimaryRecordPage(PageBytes pBytes, const CDravoltBrevantProjApp& app, CMdfReader* pReader);
    // Decodes only the row of one slot (to follow a forwarding stub). bFollowStubs is passed to
    // the row decoder.
    PrimaryRecordPage(PageBytes pBytes, const CDravoltBrevantProjApp& app, CMdfReader* pReader,
                      int nSlot, bool bFollowStubs);

    // The record of slot i, or null (a bad slot, a filtered page, or i out of range).
    const CPrimaryRecord* Record(std::size_t i) const {
        return i < m_records.size() ? static_cast<const CPrimaryRecord*>(m_records[i].get())
                                    : nullptr;
    }
    std::size_t RecordCount() const { return m_records.size(); }
    // Offsets of the rows found by the search (the page's own slots first); empty otherwise.
    const std::vector<std::uint16_t>& FoundRowOffsets() const { return m_foundOffsets; }
    // The page's compression information (empty unless type flag bit 7 is set); decoded by the
    // full decode only, and not for a legacy catalog.
    const CompressionInfo& Compression() const { return m_compression; }

private:
    void SearchUnreferencedRows();
    std::unique_ptr<CPrimaryRecord> DecodeAt(std::uint16_t nOffset, bool bFollowStubs) const;
    std::unique_ptr<CPrimaryRecord> Completed(std::unique_ptr<CPrimaryRecord> pRecord) const;

    std::vector<std::uint16_t> m_foundOffsets;
    CompressionInfo m_compression;
};

class CDataPage : public PrimaryRecordPage {
public:
    CDataPage(PageBytes pBytes, const CDravoltBrevantProjApp& app, CMdfReader* pReader)
        : PrimaryRecordPage(std::move(pBytes), app, pReader) {}
};

// Row markers of the search for rows no slot points to: a row header with status 0x30 (or
// 0x3C for the deleted form), status B 0 and a fixed part ending at 132.
inline constexpr std::uint32_t kRowMarkerLive = 0x00840030;
inline constexpr std::uint32_t kRowMarkerDeleted = 0x0084003C;
