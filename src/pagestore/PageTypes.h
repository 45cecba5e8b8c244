// Basic page-store types shared by the reader, the page classes and the callers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

inline constexpr std::uint32_t kPageSize = 8192;
inline constexpr std::uint32_t kPageHeaderSize = 96;
inline constexpr std::uint32_t kPagesPerExtent = 8;
inline constexpr std::int16_t kPrimaryFileId = 1;
// Longest row SQL Server stores in a page; copies of row data never exceed it.
inline constexpr std::int32_t kMaxRowSize = 8060;

// A page's bytes as read: 8192 bytes and one spare zero byte.
using PageBytes = std::unique_ptr<std::uint8_t[]>;
inline constexpr std::size_t kPageBufferSize = kPageSize + 1;
inline PageBytes MakePageBuffer() {
    return PageBytes(new std::uint8_t[kPageBufferSize]());
}

// Page types read from byte 1 of a page header.
enum : std::uint32_t {
    PAGE_TYPE_DATA = 1,
    PAGE_TYPE_INDEX = 2,
    PAGE_TYPE_TEXT_MIX = 3,
    PAGE_TYPE_IAM = 10
};

// A page address. On disk: the page id's 4 bytes followed by the file id's 2 bytes.
struct PagePointer {
    std::int32_t nPageId = 0;
    std::int16_t nFileId = 0;
    friend bool operator==(const PagePointer&, const PagePointer&) = default;
    friend auto operator<=>(const PagePointer&, const PagePointer&) = default;
};

// One mapped page: the file id it is filed under, its physical position in that file counted
// from the file's base offset, and its page type.
struct PageIndexEntry {
    std::int16_t nFileId = 0;
    std::int32_t nPageNumber = 0;
    std::int32_t nPageType = 0;
    // The header's index id: with the later layout, the top 16 bits of the page's allocation
    // unit id (256 for user data), which tell a user unit's pages from a system table's pages
    // that carry the same object id.
    std::int16_t nIndexId = 0;
    friend bool operator==(const PageIndexEntry&, const PageIndexEntry&) = default;
    PagePointer Pointer() const { return PagePointer{nPageNumber, nFileId}; }
};

using PageMap = std::map<std::int32_t, std::vector<PageIndexEntry>>;

// Status bit of a listed file that is a transaction log, not a data file.
inline constexpr std::int32_t kFileStatusLog = 0x40;

// One secondary data file of the database.
struct SecondaryFile {
    std::int32_t nStatus = 0;
    std::int32_t nFileId = 0;
    std::string strLogicalName;
    std::string strPath;
    std::uint64_t nLength = 0;
    std::uint64_t nPageCount = 0;
    std::int32_t nBaseOffset = 0;
    bool IsLog() const { return (nStatus & kFileStatusLog) != 0; }
};
