#include "pagestore/CPage_Header.h"

#include "pagestore/Bytes.h"

CPage_Header CPage_Header::Peek(const std::uint8_t* p) {
    CPage_Header h;
    h.m_nHeaderVersion = p[0];
    h.m_nPageType = p[1];
    h.m_nTypeFlagBits = p[2];
    h.m_nLevel = p[3];
    h.m_nFlagBits = le::I16(p + 4);
    h.m_nIndexId = le::I16(p + 6);
    h.m_nPrevPageId = le::I32(p + 8);
    h.m_nPrevFileId = le::I16(p + 12);
    h.m_nMinRecordLength = le::I16(p + 14);
    h.m_nNextPageId = le::I32(p + 16);
    h.m_nNextFileId = le::I16(p + 20);
    h.m_nSlotCount = le::I16(p + 22);
    h.m_nObjectId = le::I32(p + 24);
    h.m_nFreeByteCount = le::I16(p + 28);
    h.m_nFreeDataOffset = le::I16(p + 30);
    h.m_nPageId = le::I32(p + 32);
    h.m_nFileId = le::I16(p + 36);
    h.m_nReservedByteCount = le::I16(p + 38);
    h.m_nXactReservedByteCount = le::I16(p + 50);
    h.m_nGhostRecordCount = le::I16(p + 58);
    h.m_nTornBits = le::U32(p + 60);
    return h;
}

CPage_Header::CPage_Header(std::uint8_t* pPage) : CPage_Header(Peek(pPage)) {
    if (HasTornBits()) RepairTornPage(pPage, m_nTornBits);
}

void CPage_Header::RepairTornPage(std::uint8_t* pPage, std::uint32_t nTornBits) {
    // Sector 0 holds the header itself; its two bits are not used.
    for (std::uint32_t k = 1; k < 16; ++k) {
        std::uint8_t& b = pPage[512 * k + 511];
        b = static_cast<std::uint8_t>((b & 0xFC) | ((nTornBits >> (2 * k)) & 3));
    }
}
