// Allocation map pages (page type 10): up to eight single pages and a bitmap with one bit per
// extent of the map's interval of 511232 pages.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "pagestore/RecordPage.h"

// Pages covered by one allocation map page.
inline constexpr std::int32_t kIamIntervalPages = 511232;
inline constexpr std::size_t kIamIntervalExtents = kIamIntervalPages / kPagesPerExtent;

struct ExtentRange {
    std::int32_t m_nPageCount = 0; // filled by PageList
    PagePointer m_first{};
    PagePointer m_last{};
};

class ExtentAllocationMap : public PrimaryRecordPage {
public:
    ExtentAllocationMap(PageBytes pBytes, const CDravoltBrevantProjApp& app, CMdfReader* pReader);

    // One range per allocated extent, in ascending order, limited to the extent count of the
    // map's file (or to the whole interval without a reader); empty when none is allocated.
    std::vector<ExtentRange> ExtentList();
    // Every page of a range; stores their number in the range.
    static std::vector<PagePointer> PageList(ExtentRange& range);

    const std::vector<std::uint8_t>& ExtentFlags() const { return m_extentFlags; }
    std::size_t AllocatedExtentCount() const { return m_nAllocatedExtents; }

private:
    std::vector<std::uint8_t> m_extentFlags;
    std::size_t m_nAllocatedExtents = 0;
};

class IamPage : public ExtentAllocationMap {
public:
    IamPage(PageBytes pBytes, const CDravoltBrevantProjApp& app, CMdfReader* pReader);
    // The single-page slots; an unused slot is page 0 of file 1.
    const std::array<PagePointer, 8>& SinglePages() const { return m_singlePages; }

private:
    std::array<PagePointer, 8> m_singlePages;
};
