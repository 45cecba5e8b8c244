#include <gtest/gtest.h>

#include <cstring>

#include "pagestore/CPage_Header.h"
#include "support/DbWriter.h"

using namespace qw;

TEST(PageHeader, DecodesEveryField) {
    PageBuilder pb(PT_INDEX, 1234567, {77, 3});
    PageHeaderFields& h = pb.Header();
    h.nTypeFlagBits = 0x84;
    h.nLevel = 2;
    h.nIndexId = -3;
    h.prev = {76, 3};
    h.next = {78, 4};
    h.nMinRecordLength = 37;
    h.nReservedByteCount = 11;
    h.nXactReservedByteCount = 12;
    h.nGhostRecordCount = 5;
    pb.AddRow(Bytes(20, 0x41));
    Page p = pb.Build();
    const CPage_Header d(p.data());
    EXPECT_EQ(d.m_nHeaderVersion, 1);
    EXPECT_EQ(d.m_nPageType, 2u);
    EXPECT_TRUE(d.IsCompressedPage());
    EXPECT_EQ(d.m_nLevel, 2);
    EXPECT_EQ(d.m_nIndexId, -3);
    EXPECT_EQ(d.Previous(), (PagePointer{76, 3}));
    EXPECT_EQ(d.Next(), (PagePointer{78, 4}));
    EXPECT_EQ(d.m_nMinRecordLength, 37);
    EXPECT_EQ(d.m_nSlotCount, 1);
    EXPECT_EQ(d.m_nObjectId, 1234567);
    EXPECT_EQ(d.m_nFreeDataOffset, 96 + 20);
    EXPECT_EQ(d.m_nFreeByteCount, 8192 - 116 - 2);
    EXPECT_EQ(d.Self(), (PagePointer{77, 3}));
    EXPECT_EQ(d.m_nReservedByteCount, 11);
    EXPECT_EQ(d.m_nXactReservedByteCount, 12);
    EXPECT_EQ(d.m_nGhostRecordCount, 5);
}

TEST(PageHeader, TornPageRepair) {
    struct Case {
        const char* name;
        std::uint16_t nFlags;
        std::uint32_t nTornBits;
        std::uint8_t nExpectLowBits; // of bytes 1023, 1535, ..., 8191
    };
    const Case cases[] = {
        {"flag clear: untouched", 0x200, 0xFFFFFFFF, 0x2},
        {"torn value 0 clears", 0x100, 0, 0x0},
        {"torn value all ones sets", 0x100, 0xFFFFFFFF, 0x3},
    };
    for (const Case& c : cases) {
        Page p{};
        for (std::uint32_t k = 0; k < 16; ++k) p[512 * k + 511] = 0xA6; // low bits 10
        PageHeaderFields h;
        h.nFlagBits = c.nFlags;
        h.nTornBits = c.nTornBits;
        WriteHeader(p.data(), h);
        const CPage_Header d(p.data());
        EXPECT_EQ(p[511], 0xA6) << c.name; // sector 0 is never changed
        for (std::uint32_t k = 1; k < 16; ++k) {
            EXPECT_EQ(p[512 * k + 511] & 3, c.nExpectLowBits) << c.name << " sector " << k;
            EXPECT_EQ(p[512 * k + 511] & 0xFC, 0xA4) << c.name;
        }
    }
}

TEST(PageHeader, TornPageProtectionRoundTrip) {
    PageBuilder pb(PT_DATA, 500, {20, 1});
    Bytes body(4000);
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<std::uint8_t>(i * 7 + 3);
    pb.AddRow(body);
    const Page original = PageBuilder(pb).Build();
    Page torn = pb.TornPageProtect(1).Build();
    EXPECT_NE(std::memcmp(torn.data() + 96, original.data() + 96, 8192 - 96), 0);
    const CPage_Header d(torn.data());
    EXPECT_TRUE(d.HasTornBits());
    EXPECT_EQ(std::memcmp(torn.data() + 96, original.data() + 96, 8192 - 96), 0);
}
