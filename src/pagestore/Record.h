// Row records: one row of a record page split into its fixed part, null bitmap and
// variable-length column values. Every piece is copied, bounded by the bytes the row may use,
// so a record never reads outside its page and outlives nothing but its page reference.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pagestore/PageTypes.h"

class CMdfReader;
class CPage_Header;
struct CDravoltBrevantProjApp;

// What a record keeps of its page.
struct PageRef {
    const CPage_Header* pHeader = nullptr;
    const std::uint8_t* pBytes = nullptr;
    CMdfReader* pReader = nullptr;
    const CDravoltBrevantProjApp* pApp = nullptr;
};

// Record types, bits 1..3 of status byte A.
enum : int {
    RECORD_PRIMARY = 0,
    RECORD_FORWARDED = 1,
    RECORD_FORWARDING_STUB = 2,
    RECORD_INDEX = 3,
    RECORD_DELETED_DATA = 6
};

// Fixed length of a forwarding stub whose row could not be reached.
inline constexpr std::int16_t kUnresolvedStub = -5;

struct VarValue {
    std::int32_t nColumnId = -1;     // -1, or the column id of a sparse column entry
    std::vector<std::uint8_t> bytes; // the value and two zero bytes; empty when there is none
    std::int32_t nLength = 0;
    std::string strText;
    bool bComplex = false;
    bool HasBytes() const { return !bytes.empty(); }
    std::span<const std::uint8_t> Value() const {
        return bytes.empty()
                   ? std::span<const std::uint8_t>()
                   : std::span<const std::uint8_t>(bytes.data(), static_cast<std::size_t>(nLength));
    }
};

struct SparseVector {
    std::int32_t nCount = 0;
    std::vector<VarValue> entries;
};

class CRecord {
public:
    virtual ~CRecord() = default;

    // The null bit of column j (false when the row has no bitmap or j lies outside it).
    bool IsNull(int j) const {
        if (j < 0 || static_cast<std::size_t>(j / 8) >= m_nullBitmap.size()) return false;
        return (m_nullBitmap[static_cast<std::size_t>(j / 8)] >> (j % 8)) & 1;
    }
    bool HasFixedData() const { return !m_fixedData.empty(); }
    bool HasRecordBytes() const { return !m_recordBytes.empty(); }

    const PageRef* m_pPage = nullptr;
    int m_nRecordType = 0;
    bool m_bCompressed = false;
    bool m_bHasNullBitmap = false;
    bool m_bHasVarColumns = false;
    bool m_bInvalid = false;
    bool m_bDeleted = false;
    std::vector<std::uint8_t> m_fixedData;
    std::int16_t m_nFixedLength = 0;
    int m_nColumnCount = 0;
    std::vector<std::uint8_t> m_nullBitmap;
    int m_nVarColumnCount = 0;
    std::vector<std::uint16_t> m_varEndOffsets;
    std::vector<VarValue> m_varValues;
    std::optional<SparseVector> m_sparse;
    std::vector<std::uint8_t> m_recordBytes;
    int m_nRecordLength = 0;
    int m_nAvailable = 0;
    bool m_bDisplay[3] = {false, false, false};
    // Where a row reached through a forwarding stub really lies (slot -1 when not forwarded).
    PagePointer m_forwardedTo{};
    int m_nForwardedSlot = -1;
};

class CPrimaryRecord : public CRecord {
public:
    // Decodes the row at pRow with nAvailable bytes readable from it. bFollowStubs is false for
    // the row a stub points to, so a stub that points to another stub is not followed again.
    CPrimaryRecord(const std::uint8_t* pRow, const PageRef& page, int nAvailable,
                   bool bFollowStubs = true);

    // Length of the row at pRow as far as it can be decoded, or -1: for the search of rows no
    // slot points to. Reads at most min(8060, nAvailable) bytes.
    static int ProbeLength(const std::uint8_t* pRow, const PageRef& page, int nAvailable);

    // Rows in the compressed format: one 4-bit descriptor per column (values below), the short
    // values back to back in m_fixedData, the long values in m_varValues (one per long column,
    // in column order; a value that failed its bounds has no bytes) and their offset entries.
    std::vector<std::uint8_t> m_columnDescriptors;
    struct LongEntry {
        std::uint16_t nEnd = 0; // end of the value, counted from the start of the long values
        bool bFlag = false;     // bit 15: the value is complex (a pointer to data off the row)
    };
    std::vector<LongEntry> m_longEntries;
    // A compressed row after completion: one entry per column, holding the value in the form
    // an uncompressed row stores it (so the value formatter reads it like any other). A value
    // that could not be rebuilt has no bytes and is not null: it shows empty.
    struct CompletedColumn {
        bool bNull = false;
        std::vector<std::uint8_t> bytes;
        bool bComplex = false; // a long value stored as a pointer to data off the row
    };
    std::vector<CompletedColumn> m_completed;
    bool m_bCompleted = false;

private:
    CPrimaryRecord() = default;
    // The header, descriptors, short data and long data region of a compressed row.
    void DecodeCompressed(const std::uint8_t* pRow, int nAvailable);
    // Fixed part, column count, null bitmap and variable part; returns the end position, 0 when
    // the row has no usable end, -1 when there is no column count.
    int DecodeBody(const std::uint8_t* pRow, int nAvailable);
    void DecodeVariablePart(const std::uint8_t* pRow, int nAvailable, int& p);
    bool AcceptType(const std::uint8_t* pRow);
};

// Decodes a sparse column vector from a complex column's value.
SparseVector DecodeSparseVector(std::span<const std::uint8_t> value,
                                const CDravoltBrevantProjApp& app);
