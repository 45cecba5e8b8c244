// One column of the table (or module) being read: what the layout resolution found out about
// it, what the row reader needs to find its bytes, and what the value formatter needs to show
// them. A listed row is a copy of the table's columns with each column's text filled in.
#pragma once

#include <cstdint>
#include <string>

// Storage column id of a column that is not stored in the row (computed, not persisted).
inline constexpr std::int32_t kNotStored = -99;

struct TableColumn {
    std::string m_strName;
    // Type name with the storage length in bytes, e.g. "int(4)", "varbinary(-1)".
    std::string m_strType;
    // Column type code 0..34, after the layout's adjustments.
    std::int32_t m_nTypeCode = 0;
    // Maximum length in bytes (the number in the type text), 0 for types without one.
    std::int32_t m_nMaxLength = 0;
    bool m_bVariableLength = false;
    std::int32_t m_nPrecision = 0;
    std::int32_t m_nScale = 0;
    // Collation of character data; -1 or 0 when the column has none.
    std::int32_t m_nCollationId = 0;

    std::int32_t m_nColumnId = 0;
    bool m_bNullable = false;
    bool m_bSparse = false;
    // Not-stored columns: the text of their computed definition; module pseudo columns: their
    // value.
    std::string m_strDefinition;
    // The column's id inside its rowset, which is its null bitmap position unless m_nNullBit is
    // greater than 0; kNotStored when the column is not stored in the row.
    std::int32_t m_nStorageColumnId = 0;
    // Placement found: m_nLeafOffset is valid.
    bool m_bStored = false;
    // >= 0: offset in the row (from its first byte); < 0: variable column number -1 - offset.
    std::int16_t m_nLeafOffset = 0;
    // Column offset of the 2000 layout; 0 otherwise.
    std::int16_t m_nLegacyVarOffset = 0;
    // Null bitmap position the rowset columns give; -1 when unknown.
    std::int32_t m_nNullBit = -1;

    bool m_bPrimaryKey = false;
    bool m_bUniqueIndex = false;
    bool m_bUniqueConstraint = false;
    bool m_bForeignKey = false;
    bool m_bStatusBit3 = false;
    std::string m_strReferencedTable;
    std::string m_strReferencedColumn;
    std::string m_strIdentity;
    std::uint8_t m_nKeyProperty = 0;

    // The shown text of this column's value in a listed row.
    std::string m_strText;
};
