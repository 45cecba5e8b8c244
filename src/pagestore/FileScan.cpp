#include "pagestore/FileScan.h"

#include <cstring>

#include "pagestore/Bytes.h"
#include "pagestore/PageTypes.h"

namespace filescan {

namespace {
constexpr std::size_t kBlockPages = 128; // 1 MiB per read
}

SequentialPages::SequentialPages(const IDataFile& file, std::uint64_t nStart)
    : m_file(file), m_nNextRead(nStart), m_nLength(file.Length()),
      m_block(kBlockPages * kPageSize) {
    file.WillReadSequentially(nStart);
}

const std::uint8_t* SequentialPages::Next() {
    if (m_nPos == m_nInBlock) {
        m_nPos = 0;
        m_nInBlock = kBlockPages;
        std::size_t nWant = m_block.size();
        if (m_nNextRead >= m_nLength) {
            // Wholly past the end: one zero page, no read.
            m_nInBlock = 1;
            nWant = 0;
        } else if (m_nLength - m_nNextRead < nWant) {
            const std::uint64_t nLeft = m_nLength - m_nNextRead;
            m_nInBlock = static_cast<std::size_t>((nLeft + kPageSize - 1) / kPageSize);
            nWant = static_cast<std::size_t>(nLeft);
        }
        const std::size_t nRead = m_file.ReadAt(m_nNextRead, m_block.data(), nWant);
        std::memset(m_block.data() + nRead, 0, m_nInBlock * kPageSize - nRead);
        m_nNextRead += m_nInBlock * kPageSize;
    }
    return m_block.data() + (m_nPos++) * kPageSize;
}

std::uint64_t ProbeBaseOffset(const IDataFile& file, std::uint64_t nPageCount,
                              std::uint64_t nBaseOffset, const CDravoltBrevantProjApp& app,
                              IEngineNotify& notify) {
    notify.StatusText("Checking for file corruption ...........");
    notify.ProgressRange(nPageCount & 0xFFFFFFFFu);
    notify.ProgressPos(0);
    std::uint64_t nResult = nBaseOffset;
    // With no odd bytes the base offset is 0 whatever the pages say: nothing to read.
    if (nBaseOffset != 0) {
        const std::uint64_t nStep = ProgressStep(nPageCount);
        const std::uint64_t p0 = nPageCount > 8 ? 8 : nPageCount / 4;
        auto carriesPosition = [](const std::uint8_t* page, std::uint64_t p) {
            return static_cast<std::int64_t>(le::I32(page + 32)) == static_cast<std::int64_t>(p);
        };
        SequentialPages leading(file, nBaseOffset + p0 * kPageSize);
        // The start-aligned reading only from page 8 on: below it a small file cannot tell.
        const std::uint64_t nFirstTrailing = nPageCount > 8 ? 8 : nPageCount + 1;
        SequentialPages trailing(file, nFirstTrailing * kPageSize);
        for (std::uint64_t p = p0; p <= nPageCount && !app.StopRequested(); ++p) {
            if (carriesPosition(leading.Next(), p)) break;
            if (p >= nFirstTrailing && carriesPosition(trailing.Next(), p)) {
                nResult = 0;
                break;
            }
            if (p % nStep == 0) notify.ProgressPos(p);
        }
    }
    notify.ProgressPos(nPageCount);
    notify.StatusText("Checking for file corruption is done...........");
    return nResult;
}

} // namespace filescan
