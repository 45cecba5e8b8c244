// Row and page compression. A compressed row (first byte bit 0 set) describes each column by a
// 4-bit descriptor and keeps short values (up to 8 bytes) back to back and longer ones in a long
// data region. A page-compressed page (type flag bit 7) also carries, right after the page
// header, a compression information record: an anchor row holding one prefix value per column
// and a dictionary of values the rows refer to by number. Completion turns each column of a
// compressed row back into the bytes an uncompressed row would hold for it, by the column types
// of the table being listed.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "pagestore/Record.h"

class IRowLayout;

// Column descriptors of the compressed row format.
enum : std::uint8_t {
    CD_NULL = 0,
    CD_EMPTY = 1, // the type's zero or empty value (or, with an anchor, the anchor value)
    CD_SHORT_1 = 2,
    CD_SHORT_8 = 9,
    CD_LONG = 10,
    CD_BIT_ONE = 11,
    CD_SYMBOL = 12 // a dictionary entry number in one byte of short data
};

// Bytes of short data a descriptor takes.
inline int ShortSize(std::uint8_t nDescriptor) {
    if (nDescriptor >= CD_SHORT_1 && nDescriptor <= CD_SHORT_8) return nDescriptor - 1;
    return nDescriptor == CD_SYMBOL ? 1 : 0;
}

// Flags of the compression information record.
enum : std::uint8_t { CI_HAS_ANCHOR = 0x02, CI_HAS_DICTIONARY = 0x04 };

// A value of the anchor row. nLength -2 means NULL, -1 empty; otherwise the bytes.
struct AnchorValue {
    std::vector<std::uint8_t> bytes;
    std::int32_t nLength = -2;
    bool HasPrefix() const { return nLength >= 1; }
};

// The compression state of one page.
struct CompressionInfo {
    bool bPresent = false; // the page is page-compressed and its record passed the first checks
    std::uint8_t nFlags = 0;
    std::uint16_t nDictionaryOffset = 0; // counted from the end of the page header
    std::uint16_t nRecordSize = 0;
    std::unique_ptr<CPrimaryRecord> pAnchor;
    std::vector<AnchorValue> anchorValues; // one per anchor column
    // Entries in number order; an entry that failed its bounds is empty and has bValid false.
    struct Entry {
        std::vector<std::uint8_t> bytes;
        bool bValid = false;
    };
    std::vector<Entry> dictionary;

    const AnchorValue* Anchor(std::size_t nColumn) const {
        return nColumn < anchorValues.size() ? &anchorValues[nColumn] : nullptr;
    }
};

// Decodes the compression information record of a page (page.pBytes, a whole page) when the
// header's type flag bit 7 is set; otherwise the result is empty. Reads only inside the page.
CompressionInfo DecodeCompressionInfo(const PageRef& page);

// A published row layout may also know the scale of its decimal and numeric columns (needed to
// rebuild their stored form); without it those columns of compressed rows show empty.
class IRowLayoutScales {
public:
    virtual ~IRowLayoutScales() = default;
    virtual std::int32_t ColumnScale(std::size_t nColumn) const = 0;
};

// Fills record.m_completed from its descriptors, short data and long values and the page's
// anchor values and dictionary, by the layout's column types. Sets m_bCompleted.
void CompleteCompressedRow(CPrimaryRecord& record, const CompressionInfo& info,
                           const IRowLayout& layout);

// One column value of a compressed row after prefix and dictionary resolution, rebuilt into the
// stored form of an uncompressed row. bBitOne: descriptor 11. nScale is used by decimal and
// numeric only (-1: unknown). Returns false when the value cannot be rebuilt (it then shows
// empty).
bool RebuildStoredValue(std::int32_t nTypeCode, std::int32_t nStorageSize, std::int32_t nScale,
                        std::span<const std::uint8_t> compressed, bool bBitOne,
                        std::vector<std::uint8_t>& out);

// Unicode text compressed with the Standard Compression Scheme for Unicode, as UTF-16LE bytes
// (empty when the bytes do not decode). And the reverse, for the test-file writer.
std::vector<std::uint8_t> ScsuToUtf16(std::span<const std::uint8_t> scsu);
std::vector<std::uint8_t> Utf16ToScsu(std::span<const std::uint8_t> utf16le);
