// The 96-byte header at the start of every page.
#pragma once

#include <cstdint>

#include "pagestore/PageTypes.h"

class CPage_Header {
public:
    CPage_Header() = default;
    // Decodes the header of an 8192-byte page and, when the page carries torn-page bits,
    // puts them back into the last byte of sectors 1 to 15. The buffer must be a whole page.
    explicit CPage_Header(std::uint8_t* pPage);
    // Decodes without touching the buffer (for callers that only look at header fields).
    static CPage_Header Peek(const std::uint8_t* pPage);

    // Restores the two low bits of the last byte of sectors 1..15 from the torn-page value.
    static void RepairTornPage(std::uint8_t* pPage, std::uint32_t nTornBits);

    bool HasTornBits() const { return (static_cast<std::uint16_t>(m_nFlagBits) & 0x100) != 0; }
    bool IsCompressedPage() const { return (m_nTypeFlagBits & 0x80) != 0; }
    PagePointer Self() const { return {m_nPageId, m_nFileId}; }
    PagePointer Previous() const { return {m_nPrevPageId, m_nPrevFileId}; }
    PagePointer Next() const { return {m_nNextPageId, m_nNextFileId}; }

    std::uint8_t m_nHeaderVersion = 0;
    std::uint32_t m_nPageType = 0;
    std::uint8_t m_nTypeFlagBits = 0;
    std::uint8_t m_nLevel = 0;
    std::int16_t m_nFlagBits = 0;
    std::int16_t m_nIndexId = 0;
    std::int32_t m_nPrevPageId = 0;
    std::int16_t m_nPrevFileId = 0;
    std::int16_t m_nMinRecordLength = 0;
    std::int32_t m_nNextPageId = 0;
    std::int16_t m_nNextFileId = 0;
    std::int16_t m_nSlotCount = 0;
    std::int32_t m_nObjectId = 0;
    std::int16_t m_nFreeByteCount = 0;
    std::int16_t m_nFreeDataOffset = 0;
    std::int32_t m_nPageId = 0;
    std::int16_t m_nFileId = 0;
    std::int16_t m_nReservedByteCount = 0;
    std::int16_t m_nXactReservedByteCount = 0;
    std::int16_t m_nGhostRecordCount = 0;
    std::uint32_t m_nTornBits = 0;
};
