#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "pagestore/Bytes.h"
#include "pagestore/CMdfReader.h"
#include "support/RecordingNotify.h"
#include "support/TestFiles.h"

using namespace qw;
using ::testing::ElementsAre;

namespace {

Bytes IamHeader(const std::vector<PagePointer>& singles) {
    Bytes h(90, 0);
    for (std::size_t k = 0; k < singles.size() && k < 8; ++k) {
        le::Put32(h.data() + 42 + 6 * k, static_cast<std::uint32_t>(singles[k].nPageId));
        le::Put16(h.data() + 46 + 6 * k, static_cast<std::uint16_t>(singles[k].nFileId));
    }
    return h;
}

// An allocation map page as SQL Server lays it out: the header row and the bitmap row.
Page Iam(PagePointer self, const std::vector<PagePointer>& singles,
         const std::vector<std::size_t>& extents, bool bBitmapRow = true) {
    PageBuilder pb(PT_IAM, 500, self);
    pb.AddRow(RowBuilder().NullBitmap(false).Fixed(IamHeader(singles)).Columns(0).Build());
    if (bBitmapRow) {
        Bytes bitmap(7988, 0);
        for (std::size_t e : extents) bitmap[e / 8] |= static_cast<std::uint8_t>(1 << (e % 8));
        pb.AddRow(RowBuilder().NullBitmap(false).Fixed(bitmap).Columns(0).Build());
    }
    return pb.Build();
}

PageBytes ToBytes(const Page& p) {
    PageBytes b = MakePageBuffer();
    std::copy(p.begin(), p.end(), b.get());
    return b;
}

} // namespace

TEST(IamPage, SinglePagesExtentsAndLimits) {
    TempDir dir;
    FileBuilder f = SkeletonFile(64); // 8 extents
    f.SetPage(16, SystemTablePage(7, {16, 1}));
    f.SetPage(20, Iam({20, 1}, {{30, 1}, {31, 1}}, {2, 5, 7, 8, 900}));
    f.SetPage(21, Iam({21, 1}, {{33, 1}}, {}, false));
    CDravoltBrevantProjApp app;
    RecordingNotify n;
    CMdfReader r(dir.Write("iam.mdf", f), app, n);
    ASSERT_TRUE(r.IsOpen());

    auto iam = r.ReadIamPage({20, 1});
    ASSERT_NE(iam, nullptr);
    EXPECT_EQ(iam->SinglePages()[0], (PagePointer{30, 1}));
    EXPECT_EQ(iam->SinglePages()[1], (PagePointer{31, 1}));
    EXPECT_EQ(iam->SinglePages()[2], (PagePointer{0, 0})); // written as zeros
    EXPECT_EQ(iam->ExtentFlags().size(), 7988u * 8);
    auto ranges = iam->ExtentList(); // extents 8 and 900 lie beyond the file's 8 extents
    EXPECT_EQ(iam->AllocatedExtentCount(), 3u);
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[1].m_first, (PagePointer{40, 1}));
    EXPECT_EQ(ranges[1].m_last, (PagePointer{47, 1}));
    const auto pages = ExtentAllocationMap::PageList(ranges[2]);
    EXPECT_EQ(ranges[2].m_nPageCount, 8);
    EXPECT_EQ(pages.front(), (PagePointer{56, 1}));
    EXPECT_EQ(pages.back(), (PagePointer{63, 1}));

    // Only a header row: no extents, the single pages are still read.
    auto header = r.ReadIamPage({21, 1});
    ASSERT_NE(header, nullptr);
    EXPECT_TRUE(header->ExtentFlags().empty());
    EXPECT_TRUE(header->ExtentList().empty());
    EXPECT_EQ(header->SinglePages()[0], (PagePointer{33, 1}));
}

TEST(IamPage, IntervalBaseAboveTheFirstInterval) {
    CDravoltBrevantProjApp app;
    ExtentAllocationMap map(ToBytes(Iam({kIamIntervalPages + 1234, 3}, {}, {0, 10})), app, nullptr);
    auto ranges = map.ExtentList();
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].m_first, (PagePointer{kIamIntervalPages, 3}));
    EXPECT_EQ(ranges[1].m_last, (PagePointer{kIamIntervalPages + 87, 3}));
}

TEST(IamPage, RealMapsListTheirDataPages) {
    QUARVEL_REQUIRE_CORPUS();
    for (const char* name : {"db1.mdf", "nw2.mdf", "vn3.mdf", "aspnet2.mdf"}) {
        CDravoltBrevantProjApp app;
        RecordingNotify n;
        CMdfReader r((CorpusDir() / name).string(), app, n);
        ASSERT_TRUE(r.IsOpen());
        std::size_t nData = 0, nListed = 0;
        for (const auto& [nObject, iams] : r.IamPages()) {
            const auto& data = CMdfReader::PagesOf(r.DataPages(), nObject);
            if (data.empty()) continue;
            std::set<std::int32_t> listed;
            for (const PageIndexEntry& e : iams) {
                auto iam = r.ReadIamPage(e.Pointer());
                ASSERT_NE(iam, nullptr);
                for (const PagePointer& p : iam->SinglePages()) listed.insert(p.nPageId);
                for (ExtentRange& range : iam->ExtentList())
                    for (const PagePointer& p : ExtentAllocationMap::PageList(range))
                        listed.insert(p.nPageId);
            }
            nData += data.size();
            for (const PageIndexEntry& e : data) nListed += listed.count(e.nPageNumber);
        }
        // Nearly every data page is named by an allocation map of its object; the others are
        // pages freed since (they keep their old headers until they are used again).
        std::printf("%s: %zu of %zu data pages listed\n", name, nListed, nData);
        EXPECT_GE(nListed * 100, nData * 90) << name;
    }
}
