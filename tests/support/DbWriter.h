// The database file writer: lays out real SQL Server structures byte for byte so tests can
// build small data files named for the fault they show. Pages are built with PageBuilder, rows
// with RowBuilder, whole files with FileBuilder.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "pagestore/PageTypes.h"

namespace qw {

using Bytes = std::vector<std::uint8_t>;
using Page = std::array<std::uint8_t, kPageSize>;

// Page types of a data file beyond the ones the reader names.
enum : std::uint8_t {
    PT_DATA = 1,
    PT_INDEX = 2,
    PT_TEXT_MIX = 3,
    PT_TEXT_TREE = 4,
    PT_SORT = 7,
    PT_GAM = 8,
    PT_SGAM = 9,
    PT_IAM = 10,
    PT_PFS = 11,
    PT_BOOT = 13,
    PT_FILE_HEADER = 15,
    PT_DCM = 16,
    PT_BCM = 17
};

// Little-endian helpers for building values.
Bytes LE16(std::uint16_t v);
Bytes LE32(std::uint32_t v);
Bytes LE64(std::uint64_t v);
Bytes Cat(std::initializer_list<Bytes> parts);
Bytes Ascii(std::string_view s);
Bytes Utf16(std::string_view ascii); // ASCII text as UTF-16LE

// One row in the FixedVar format. Columns are given in order; the fixed part is the
// concatenation of the fixed values, the variable part the variable values.
class RowBuilder {
public:
    RowBuilder& Type(int nRecordType);     // bits 1..3 of status A (default 0)
    RowBuilder& Fixed(const Bytes& value); // append to the fixed part
    RowBuilder& Var(const Bytes& value, bool bComplex = false);
    RowBuilder& Null(int nColumn);  // set the null bit of a column
    RowBuilder& Columns(int n);     // column count (default: fixed + variable values)
    RowBuilder& NullBitmap(bool b); // default on, as SQL Server writes data rows
    // The bitmap bytes as given. The bits past the column count are whatever the server left
    // there (real rows hold both ones and zeros); Null() sets bits on top of these.
    RowBuilder& NullBitmapBytes(const Bytes& bitmap);
    RowBuilder& VarCountStored(bool b); // write the variable count (default on)
    RowBuilder& StatusB(std::uint8_t b);
    // Overrides the fixed-part end written at offset 2 (for damaged rows).
    RowBuilder& FixedEnd(std::int16_t n);
    // Overrides the end offset written for variable column i (bit 15 is still set for complex).
    RowBuilder& VarEnd(int i, std::uint16_t nEnd);
    Bytes Build() const;

private:
    int m_nType = 0;
    std::uint8_t m_nStatusB = 0;
    Bytes m_fixed;
    int m_nFixedColumns = 0;
    std::vector<std::pair<Bytes, bool>> m_var;
    std::vector<int> m_nulls;
    Bytes m_bitmap;
    std::optional<int> m_nColumns;
    bool m_bNullBitmap = true;
    bool m_bVarCount = true;
    std::optional<std::int16_t> m_nFixedEnd;
    std::map<int, std::uint16_t> m_varEnds;
};

// A forwarding stub pointing at a row elsewhere.
Bytes ForwardingStub(PagePointer target, std::uint16_t nSlot);
// A sparse column vector (the value of the complex column that holds sparse columns).
Bytes SparseVectorValue(const std::vector<std::pair<std::uint16_t, Bytes>>& entries);

// Fragment rows of text pages, as SQL Server writes them (status 0x08, the fixed part holds
// the blob id, the structure type and the payload; roots are at least 84 bytes long).
struct LobLink {
    std::uint32_t nSize = 0; // large root and in-row root: the value's length up to this part
    PagePointer page{};
    std::uint16_t nSlot = 0;
};
Bytes SmallRootRow(std::uint64_t nBlobId, const Bytes& data);
Bytes DataFragmentRow(std::uint64_t nBlobId, const Bytes& data);
Bytes InternalRow(std::uint64_t nBlobId, const std::vector<LobLink>& links);
Bytes LargeRootRow(std::uint64_t nBlobId, const std::vector<LobLink>& links);
// A 16-byte text pointer (text, ntext, image columns).
Bytes TextPointer(PagePointer page, std::uint16_t nSlot);
// An in-row root (max-type columns stored off the row): a 12-byte header and the links.
Bytes InRowRoot(const std::vector<LobLink>& links);

// Header fields of a page, laid out as SQL Server writes them.
struct PageHeaderFields {
    std::uint8_t nHeaderVersion = 1;
    std::uint8_t nType = PT_DATA;
    std::uint8_t nTypeFlagBits = 0;
    std::uint8_t nLevel = 0;
    std::uint16_t nFlagBits = 0x200; // checksum protection, as current servers write
    std::int16_t nIndexId = 0;
    PagePointer prev{};
    std::int16_t nMinRecordLength = 0;
    PagePointer next{};
    std::int32_t nObjectId = 0;
    PagePointer self{0, 1};
    std::int16_t nReservedByteCount = 0;
    std::uint32_t nLsn1 = 0, nLsn2 = 0;
    std::uint16_t nLsn3 = 0;
    std::int16_t nXactReservedByteCount = 0;
    std::uint32_t nXactId1 = 0;
    std::uint16_t nXactId2 = 0;
    std::int16_t nGhostRecordCount = 0;
    std::uint32_t nTornBits = 0;
};

class PageBuilder {
public:
    PageBuilder() = default;
    PageBuilder(std::uint8_t nType, std::int32_t nObjectId, PagePointer self);

    PageHeaderFields& Header() { return m_h; }
    // Appends a row at the free data offset and a slot for it; returns the slot number.
    int AddRow(const Bytes& row);
    // Writes bytes into the page body without a slot (a row no slot points to any more).
    std::uint16_t AddUnslotted(const Bytes& row);
    // Slot overrides for damaged pages.
    PageBuilder& SetSlot(int nSlot, std::uint16_t nOffset);
    PageBuilder& SlotCount(std::int16_t n); // written as is, whatever the slot array holds
    PageBuilder& FreeByteCount(std::int16_t n);
    PageBuilder& Put(std::size_t nOffset, const Bytes& bytes);
    // Torn-page protection as SQL Server applies it: the low two bits of the last byte of
    // sectors 1..15 move into the header's torn bits and are replaced by `pattern`'s bits.
    PageBuilder& TornPageProtect(std::uint8_t nPattern = 1);

    Page Build() const;

private:
    PageHeaderFields m_h;
    Page m_body{};
    std::vector<std::uint16_t> m_slots;
    std::uint16_t m_nFreeData = kPageHeaderSize;
    std::optional<std::int16_t> m_nSlotCount;
    std::optional<std::int16_t> m_nFreeBytes;
    std::optional<std::uint8_t> m_nTornPattern;
};

// A built page as the page store's buffer (a whole page and the guard byte).
PageBytes ToPageBytes(const Page& page);

// Replaces a page's bytes by `bytes` (at most a page) but keeps the header's object id, page
// type and index id, so the page maps still file the page under its object (for fuzzing).
void OverwriteKeepingIdentity(std::uint8_t* pPage, std::span<const std::uint8_t> bytes);
// Cuts `input` into chunks of a page and overwrites, keeping their identity, the file's pages
// at the given positions in turn, from the one at nFirst (taken modulo their count) on.
void OverwritePagesKeepingIdentity(Bytes& file, const std::vector<std::size_t>& positions,
                                   std::size_t nFirst, std::span<const std::uint8_t> input);

// Writes the 96-byte header into a page.
void WriteHeader(std::uint8_t* pPage, const PageHeaderFields& h);

// A data file: pages by physical position, with optional odd bytes before the first page or
// after the last one.
class FileBuilder {
public:
    explicit FileBuilder(std::size_t nPages = 0) : m_pages(nPages) {}
    std::size_t PageCount() const { return m_pages.size(); }
    FileBuilder& SetPage(std::size_t nPosition, const Page& page);
    FileBuilder& SetPage(std::size_t nPosition, const PageBuilder& page) {
        return SetPage(nPosition, page.Build());
    }
    FileBuilder& Leading(std::size_t nBytes, std::uint8_t fill = 0xEE);
    FileBuilder& Trailing(std::size_t nBytes, std::uint8_t fill = 0xEE);
    Bytes Build() const;
    void Write(const std::string& strPath) const;

private:
    std::vector<std::optional<Page>> m_pages;
    std::size_t m_nLeading = 0, m_nTrailing = 0;
    std::uint8_t m_leadFill = 0xEE, m_trailFill = 0xEE;
};

// The allocation pages every file starts with (file header, PFS, GAM, SGAM, DCM, BCM, and the
// boot page in the primary file), with page ids equal to their positions. nFileId 1 is the
// primary file. The file keeps the other positions empty for the test to fill.
FileBuilder SkeletonFile(std::size_t nPages, std::int16_t nFileId = 1);

// A page of a system table at a position, with the given rows.
PageBuilder SystemTablePage(std::int32_t nObjectId, PagePointer self,
                            const std::vector<Bytes>& rows = {});

// ---- compressed rows and pages ----

// One column of a row in the compressed format as stored: its 4-bit descriptor and its bytes
// (the short value for descriptors 2..9, the symbol byte for 12, the long value for 10).
struct CdColumn {
    std::uint8_t nDescriptor = 0;
    Bytes bytes;
    bool bComplex = false; // a long value that points to data off the row
};
// A row in the compressed format: header byte, column count, descriptors, cluster bytes (one
// per 30 columns after the first 30, each the short data size of its cluster), short data and,
// when a column is long, the long data region.
Bytes CdRow(const std::vector<CdColumn>& columns, int nRecordType = 0);
// The compression information record that starts a page-compressed page: flags, two unused
// bytes, an end offset per part present, the anchor row and the dictionary.
Bytes CompressionInfoRecord(const std::optional<Bytes>& anchorRow,
                            const std::vector<Bytes>& dictionary);
// A dictionary as the compression information record holds it: entry count, end offsets
// (counted from the dictionary's start), entries.
Bytes Dictionary(const std::vector<Bytes>& entries);

// A column of a table being compressed: its type code, storage size in bytes (0 for
// variable-length columns) and, for decimal and numeric, its scale.
struct CompressedColumnType {
    std::int32_t nTypeCode = 0;
    std::int32_t nStorageSize = 0;
    std::int32_t nScale = 0;
};
// A value in its uncompressed stored form (a bit column: one byte 0 or 1); nullopt is NULL.
using StoredValue = std::optional<Bytes>;
// The compressed form of a stored value; empty for the type's zero or empty value.
Bytes CompressValue(const CompressedColumnType& column, const Bytes& stored);

enum class Compression { Row, Page };

// A page of compressed rows built from rows of stored values, as the server compresses them.
// Page compression adds the compression information record: per column the anchor value that
// saves most as a common prefix (values then store a prefix byte and the rest in the long data
// region, the anchor value itself is descriptor 1), and a dictionary of the stored forms that
// occur more than once on the page (descriptor 12 and the entry number).
class CompressedPageBuilder {
public:
    CompressedPageBuilder(std::vector<CompressedColumnType> columns, Compression mode,
                          std::int32_t nObjectId = 500, PagePointer self = {20, 1});
    CompressedPageBuilder& AddRow(const std::vector<StoredValue>& row);
    PageBuilder Builder() const;
    Page Build() const { return Builder().Build(); }

    // What page compression used, for tests that must know a feature was exercised.
    struct Stats {
        int nAnchors = 0;
        int nDictionaryEntries = 0;
        int nPrefixed = 0; // values stored as a prefix of the anchor value and a rest
        int nSymbols = 0;  // values stored as a dictionary entry number
        int nSameAsAnchor = 0;
    };
    Stats Statistics() const;

private:
    struct Plan {
        std::vector<std::optional<Bytes>> anchors;
        std::vector<Bytes> dictionary;
        std::vector<std::vector<CdColumn>> rows;
        Stats stats;
    };
    Plan MakePlan() const;

    std::vector<CompressedColumnType> m_columns;
    Compression m_mode;
    std::int32_t m_nObjectId;
    PagePointer m_self;
    std::vector<std::vector<StoredValue>> m_rows;
};

} // namespace qw
