// Column value formatting: turns the stored bytes of one column value into the text the record
// list shows. Every SQL Server type is known by a small integer, the column type code, which
// selects how many bytes the value occupies and how they are written as text.
//
// Per value the row reader calls InitValueDescriptor (storage facts of the column's type), sets
// the descriptor's length and available, and calls FormatColumnValue (or FormatVariantValue
// for a sql_variant column). Text is UTF-8.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "catalog/TableColumn.h"
#include "pagestore/TypeCodes.h"

struct CDravoltBrevantProjApp;

// The bit columns of one row share bytes of the fixed part: eight columns to a byte, least
// significant bit first. The row reader makes one per row with next bit index 8 (so the first
// bit column takes a new byte) and both flags clear.
struct BitCursor {
    std::int32_t m_nNextBit = 8;
    std::uint8_t m_nCurrentByte = 0;
    std::uint8_t m_bNewByte = 0; // 1 when the current bit column took a new byte
    std::uint8_t m_bLoaded = 0;
};

// The formatting state of one value.
struct ValueDescriptor {
    BitCursor* m_pBitCursor = nullptr; // the row's cursor, for bit columns only
    // Bytes that may be read from the value's first byte; set by the caller.
    std::uint64_t m_nAvailable = 0;
    // Variable-length value: formatting sets available to the length.
    std::uint8_t m_bVariable = 0;
    // Bytes the value takes in the fixed part (bits: 1 when the column took a new byte).
    std::int16_t m_nSize = 0;
    // Storage length from the column's type text; filled by the first formatting call.
    std::int32_t m_nDeclaredLength = 0;
    // The value's byte count, set by the caller; fixed-size temporal, money and decimal values
    // replace it by the declared length.
    std::int32_t m_nLength = 0;
    std::int32_t m_nTypeCode = 0;
};

// The integer between the first "(" and the first ")" of a type text; 0 when there is none.
std::int32_t DeclaredLength(const std::string& strType);

// Storage facts of the column's type. For a bit column it also records in the cursor whether
// this column starts a new byte.
ValueDescriptor InitValueDescriptor(const TableColumn& column, BitCursor& cursor);

// Text of one stored value. pData may be null (empty text); the call reads at most
// min(length, available) bytes from it. May change the descriptor's declared length, length,
// size and available, and the bit cursor.
std::string FormatColumnValue(ValueDescriptor& desc, const std::uint8_t* pData,
                              const TableColumn& column, const CDravoltBrevantProjApp& app);

// Text of a sql_variant value of nTotalLength bytes (its own two-byte header included): base
// type in byte 0, version in byte 1, then the base type's data. Reads at most nTotalLength
// bytes from pData.
std::string FormatVariantValue(ValueDescriptor& desc, const std::uint8_t* pData, int nTotalLength,
                               const TableColumn& column, const CDravoltBrevantProjApp& app);

// True when the number of zero bytes among the n bytes equals n / 2 (rounded down): the way
// stored ntext and variant text is told apart from single-byte text.
bool LooksLikeUtf16(const std::uint8_t* pBytes, std::size_t n);

// Text of a stored xml value (binary xml); " " when it is empty or cannot be decoded.
std::string XmlValueText(std::span<const std::uint8_t> bytes);
