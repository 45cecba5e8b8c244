// Feeds arbitrary pages to the page header, record page and row record decoders, with every
// combination of the deleted-row options.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "appstate/CDravoltBrevantProjApp.h"
#include "pagestore/CPage_Header.h"
#include "pagestore/RecordPage.h"

namespace {

std::size_t Touch(const CPrimaryRecord& r) {
    std::size_t n = r.m_fixedData.size() + r.m_nullBitmap.size() + r.m_recordBytes.size();
    for (const VarValue& v : r.m_varValues)
        n += v.Value().size() + (v.HasBytes() ? v.bytes.back() : 0);
    if (r.m_sparse)
        for (const VarValue& v : r.m_sparse->entries) n += v.Value().size();
    for (int c = 0; c < r.m_nColumnCount + 8; ++c) n += r.IsNull(c);
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the options; the rest is the page (zero-padded to a whole page).
    const std::uint8_t options = data[0];
    PageBytes page = MakePageBuffer();
    std::memcpy(page.get(), data + 1, std::min<std::size_t>(size - 1, kPageSize));

    CDravoltBrevantProjApp app;
    app.m_bShowDeleted = options & 1;
    app.m_bShowAdvancedDeleted = options & 2;
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
    for (int off = 96; off < static_cast<int>(kPageSize); off += 997)
        sink = sink + static_cast<std::size_t>(
                          CPrimaryRecord::ProbeLength(p.Bytes() + off, p.Ref(),
                                                      static_cast<int>(kPageSize) - off) +
                          1);
    return 0;
}
