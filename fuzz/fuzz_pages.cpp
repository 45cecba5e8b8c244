// Feeds arbitrary pages to the page header, record page and row record decoders, with every
// combination of the deleted-row options. Option bit 6 publishes a row layout of several
// column types so compressed rows are completed; bit 7 marks the page as page-compressed.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "appstate/CDravoltBrevantProjApp.h"
#include "pagestore/CPage_Header.h"
#include "pagestore/Compression.h"
#include "pagestore/RecordPage.h"
#include "pagestore/RowLayout.h"
#include "pagestore/TypeCodes.h"

namespace {

// Columns of the usual type families, repeated past 30 columns.
struct FuzzLayout : IRowLayout, IRowLayoutScales {
    std::vector<RowLayoutColumn> columns;
    FuzzLayout() {
        const RowLayoutColumn kinds[] = {{TYPE_INT, 4},
                                         {TYPE_VARCHAR, 0},
                                         {TYPE_NVARCHAR, 0},
                                         {TYPE_DECIMAL, 9},
                                         {TYPE_DATETIME2, 8},
                                         {TYPE_NCHAR, 10},
                                         {TYPE_BIT, 1},
                                         {TYPE_FLOAT, 8},
                                         {TYPE_UNIQUEIDENTIFIER, 16},
                                         {TYPE_CHAR, 5},
                                         {TYPE_BIGINT, 8},
                                         {TYPE_NUMERIC, 17},
                                         {TYPE_MONEY, 8},
                                         {TYPE_DATETIMEOFFSET, 10},
                                         {TYPE_TINYINT, 1},
                                         {TYPE_SMALLINT, 2},
                                         {TYPE_REAL, 4},
                                         {TYPE_BINARY, 6},
                                         {TYPE_DATE, 3},
                                         {TYPE_SMALLDATETIME, 4},
                                         {TYPE_DATETIME, 8}};
        for (int i = 0; i < 40; ++i) columns.push_back(kinds[i % std::size(kinds)]);
    }
    const std::vector<RowLayoutColumn>& LayoutColumns() const override { return columns; }
    std::int32_t ColumnScale(std::size_t i) const override {
        return static_cast<std::int32_t>(i % 5) - 1; // includes an unknown scale
    }
};

std::size_t Touch(const CPrimaryRecord& r) {
    std::size_t n = r.m_fixedData.size() + r.m_nullBitmap.size() + r.m_recordBytes.size();
    for (const VarValue& v : r.m_varValues)
        n += v.Value().size() + (v.HasBytes() ? v.bytes.back() : 0);
    if (r.m_sparse)
        for (const VarValue& v : r.m_sparse->entries) n += v.Value().size();
    for (int c = 0; c < r.m_nColumnCount + 8; ++c) n += r.IsNull(c);
    for (const auto& c : r.m_completed)
        n += c.bNull + c.bytes.size() + (c.bytes.empty() ? 0 : c.bytes.back());
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the options; the rest is the page (zero-padded to a whole page).
    const std::uint8_t options = data[0];
    PageBytes page = MakePageBuffer();
    std::memcpy(page.get(), data + 1, std::min<std::size_t>(size - 1, kPageSize));
    if (options & 0x80) page[2] |= 0x80;

    static const FuzzLayout layout;
    CDravoltBrevantProjApp app;
    app.m_bShowDeleted = options & 1;
    app.m_bShowAdvancedDeleted = options & 2;
    if (options & 0x40) app.m_pCurrentRowDecoder = &layout;
    volatile std::size_t sink = 0;
    if (options & 4) {
        const int nSlot = (options >> 3) & 7;
        PrimaryRecordPage single(std::move(page), app, nullptr, nSlot, true);
        if (const CPrimaryRecord* r = single.Record(0)) sink = sink + Touch(*r);
        return 0;
    }
    PrimaryRecordPage p(std::move(page), app, nullptr);
    for (std::size_t i = 0; i < p.RecordCount(); ++i)
        if (const CPrimaryRecord* r = p.Record(i)) sink = sink + Touch(*r);
    const CompressionInfo& ci = p.Compression();
    for (const AnchorValue& a : ci.anchorValues) sink = sink + a.bytes.size();
    for (const auto& e : ci.dictionary) sink = sink + e.bytes.size();
    for (int off = 96; off < static_cast<int>(kPageSize); off += 997)
        sink = sink + static_cast<std::size_t>(
                          CPrimaryRecord::ProbeLength(p.Bytes() + off, p.Ref(),
                                                      static_cast<int>(kPageSize) - off) +
                          1);
    return 0;
}
