// Sequential whole-file page reading for the base-offset probe and the mapping passes. Pages
// are read in large blocks; a page that lies partly or wholly past the end reads as zeros.
#pragma once

#include <cstdint>
#include <vector>

#include "appstate/CDravoltBrevantProjApp.h"
#include "appstate/EngineMessages.h"
#include "pagestore/DataFile.h"

namespace filescan {

class SequentialPages {
public:
    // Pages start at nStart.
    SequentialPages(const IDataFile& file, std::uint64_t nStart);
    // The next page's 8192 bytes.
    const std::uint8_t* Next();

private:
    const IDataFile& m_file;
    std::uint64_t m_nNextRead;
    std::uint64_t m_nLength;
    std::vector<std::uint8_t> m_block;
    std::size_t m_nInBlock = 0;
    std::size_t m_nPos = 0;
};

// Progress step for a pass over nPageCount pages: about a hundred positions a file.
inline std::uint64_t ProgressStep(std::uint64_t nPageCount) {
    const std::uint64_t n = (nPageCount + 99) / 100;
    return n == 0 ? 1 : n;
}

// Decides where the first whole page starts when the file length is not a multiple of the
// page size: returns nBaseOffset (length mod 8192) when the pages are aligned to it, so the
// odd bytes lie before the first page; 0 when pages aligned to the start of the file carry
// their own position as page id, so the odd bytes lie after the last page; nBaseOffset when no
// probed page says either. Both alignments are probed side by side from page 8 (or a quarter
// of a small file) on, and the probe ends at the first page that decides.
std::uint64_t ProbeBaseOffset(const IDataFile& file, std::uint64_t nPageCount,
                              std::uint64_t nBaseOffset, const CDravoltBrevantProjApp& app,
                              IEngineNotify& notify);

} // namespace filescan
