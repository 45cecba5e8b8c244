// Sequential whole-file page reading for the base-offset probe and the mapping passes. Pages
// are read in large blocks; a page that lies partly or wholly past the end reads as zeros.
#pragma once

#include <cstdint>
#include <vector>

#include "appstate/CDravoltBrevantProjApp.h"
#include "appstate/EngineMessages.h"

namespace filescan {

// Reads [offset, offset + size) with pread, retrying on interruption; bytes not read (end of
// file or a read error) are zero. Returns the number of bytes read.
std::size_t ReadAt(int fd, std::uint64_t nOffset, std::uint8_t* pBuf, std::size_t nSize);

class SequentialPages {
public:
    // Pages start at nStart; nLength is the file length.
    SequentialPages(int fd, std::uint64_t nStart, std::uint64_t nLength);
    // The next page's 8192 bytes.
    const std::uint8_t* Next();

private:
    int m_fd;
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

// Decides whether the bytes beyond a whole number of pages lie before the first page. Returns
// false when some probed page carries its own position as page id (nBaseOffset may then have
// been set to 0), true when none does.
bool ProbeBaseOffset(int fd, std::uint64_t nLength, std::uint64_t nPageCount,
                     std::uint64_t& nBaseOffset, const CDravoltBrevantProjApp& app,
                     IEngineNotify& notify, bool bStopInSecondPhase);

} // namespace filescan
