// The table row reader: turns the records of one data page of a table into the texts of its
// columns, finding each column's bytes in the fixed part, the variable part, the sparse
// vector or a large-object tree, and deciding NULL from the null bitmap.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "appstate/CDravoltBrevantProjApp.h"
#include "catalog/TableColumn.h"
#include "pagestore/CMdfReader.h"
#include "pagestore/Compression.h"
#include "pagestore/RowLayout.h"
#include "rowdecode/ValueFormat.h"

// One listed row: a text per table column, and where the row came from.
struct DecodedRow {
    std::vector<std::string> texts;
    PagePointer page{};
    std::int32_t nSlot = -1;
    std::int32_t nRecordType = 0;
    // A large value of the row could not be read whole.
    bool bLobFailure = false;
};

class CTableRowDecoder final : public IRowLayout, public IRowLayoutScales {
public:
    // bLegacy: the columns carry the 2000 layout's offsets, or no placement was found for them.
    CTableRowDecoder(std::vector<TableColumn> columns, CDravoltBrevantProjApp& app,
                     CMdfReader& reader, bool bLegacy);

    // The rows of the accepted records of a page, in slot order.
    std::vector<DecodedRow> ReadRows(const CDataPage& page);

    const std::vector<TableColumn>& Columns() const { return m_columns; }
    const std::vector<RowLayoutColumn>& LayoutColumns() const override { return m_layout; }
    std::int32_t ColumnScale(std::size_t i) const override {
        return i < m_scales.size() ? m_scales[i] : -1;
    }

    // Large values in full instead of the listing's placeholders (the listing-mode flag still
    // decides which collations apply).
    void SetFullValues(bool b) { m_bFullValues = b; }

    // Records of the pages read so far that the row format rejected (damaged rows).
    std::uint64_t InvalidRecords() const { return m_nInvalid; }

private:
    void DecodeRecord(const CPrimaryRecord& r, DecodedRow& row);
    void DecodeCompleted(const CPrimaryRecord& r, DecodedRow& row);
    // Where a column's value lies among a completed compressed row's columns.
    static std::size_t CompletedIndex(const TableColumn& c, std::size_t nListIndex);
    // The formatting state of a value of column o.
    ValueDescriptor Descriptor(std::size_t o, BitCursor& cursor) const;
    std::string LargeValue(const VarValue& v, const TableColumn& col, bool& bFailure);
    int NarrowCodePage(const TableColumn& col) const;
    // A moved row whose stub still points to it is listed through the stub, not a second time
    // where it lies.
    bool ReachedThroughStub(const CPrimaryRecord& r, PagePointer self, int nSlot) const;

    std::vector<TableColumn> m_columns;
    std::vector<RowLayoutColumn> m_layout;
    std::vector<std::int32_t> m_scales;
    std::vector<std::int32_t> m_declaredLengths; // per column, from its type text
    CDravoltBrevantProjApp& m_app;
    CMdfReader& m_reader;
    bool m_bLegacy;
    bool m_bFullValues = false;
    std::uint64_t m_nInvalid = 0;
};
