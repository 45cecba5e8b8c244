// What the completion of compressed rows needs to know about the table being listed: each
// column's type code and its storage size in bytes (0 for variable-length columns). The row
// reader of a running listing publishes one in the application state.
#pragma once

#include <cstdint>
#include <vector>

struct RowLayoutColumn {
    std::int32_t nTypeCode = 0;
    std::int32_t nStorageSize = 0;
};

class IRowLayout {
public:
    virtual ~IRowLayout() = default;
    virtual const std::vector<RowLayoutColumn>& LayoutColumns() const = 0;
};
