// One column of the table (or module) being read, as the value formatter sees it. The table
// layout resolution fills it; the fields here are the ones value formatting reads, and the
// layout resolution adds its own (placement, keys, definition text) beside them.
#pragma once

#include <cstdint>
#include <string>

struct TableColumn {
    std::string m_strName;
    // Type name with the storage length in bytes, e.g. "int(4)", "varbinary(-1)".
    std::string m_strType;
    // Column type code 0..34 (see TypeCodeFromSystemType), after the layout's adjustments.
    std::int32_t m_nTypeCode = 0;
    // Maximum length in bytes and whether the column is stored as variable-length.
    std::int32_t m_nMaxLength = 0;
    bool m_bVariableLength = false;
    std::int32_t m_nPrecision = 0;
    std::int32_t m_nScale = 0;
    // Collation of character data; -1 or 0 when the column has none.
    std::int32_t m_nCollationId = 0;
};
