// The reader and the writer against real files written by SQL Server.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "pagestore/Bytes.h"
#include "pagestore/CMdfReader.h"
#include "support/RecordingNotify.h"
#include "support/TestFiles.h"

using namespace qw;

namespace {

std::vector<std::filesystem::path> CorpusFiles() {
    std::vector<std::filesystem::path> out;
    for (const auto& e : std::filesystem::directory_iterator(CorpusDir()))
        if (e.path().extension() == ".mdf") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

// Rebuilds a decoded row with the writer.
Bytes RebuildRow(const CPrimaryRecord& r) {
    RowBuilder rb;
    rb.Type(r.m_nRecordType).StatusB(r.m_recordBytes[1]).Columns(r.m_nColumnCount);
    rb.NullBitmap(r.m_bHasNullBitmap).NullBitmapBytes(r.m_nullBitmap);
    if (r.HasFixedData()) rb.Fixed(r.m_fixedData);
    for (const VarValue& v : r.m_varValues)
        rb.Var(Bytes(v.Value().begin(), v.Value().end()), v.bComplex);
    return rb.Build();
}

} // namespace

TEST(Corpus, EveryRealFileOpensAligned) {
    QUARVEL_REQUIRE_CORPUS();
    const auto files = CorpusFiles();
    ASSERT_FALSE(files.empty());
    for (const auto& path : files) {
        CDravoltBrevantProjApp app;
        RecordingNotify notify;
        CMdfReader r(path.string(), app, notify);
        ASSERT_TRUE(r.IsOpen()) << path;
        EXPECT_EQ(r.BaseOffset(), 0u) << path;
        EXPECT_EQ(r.PageCount(), std::filesystem::file_size(path) / 8192) << path;
        EXPECT_FALSE(r.SystemPages().empty()) << path;
        // The catalog's base tables are where a reader starts.
        for (std::int32_t id : {7, 34, 41})
            EXPECT_FALSE(CMdfReader::PagesOf(r.SystemPages(), id).empty())
                << path << " object " << id;
        EXPECT_TRUE(notify.Texts(MSG_FATAL_ERROR).empty()) << path;
    }
}

TEST(Corpus, WriterAgreesWithRealPages) {
    QUARVEL_REQUIRE_CORPUS();
    int nPagesCompared = 0, nRowsCompared = 0;
    for (const char* name : {"db1.mdf", "nw2.mdf", "pubs2.mdf", "vn3.mdf"}) {
        const auto path = CorpusDir() / name;
        CDravoltBrevantProjApp app;
        app.m_bShowDeleted = true; // ghost rows too
        RecordingNotify notify;
        CMdfReader reader(path.string(), app, notify);
        ASSERT_TRUE(reader.IsOpen()) << name;
        // Pages of the objects, columns and allocation units tables.
        for (std::int32_t nObject : {7, 34, 41}) {
            for (const PageIndexEntry& e : CMdfReader::PagesOf(reader.SystemPages(), nObject)) {
                if (e.nPageType != PT_DATA) continue;
                auto page = reader.ReadDataPage(e.Pointer());
                ASSERT_NE(page, nullptr);
                const std::uint8_t* p = page->Bytes(); // torn pages repaired
                const CPage_Header& h = page->Header();
                ASSERT_GT(page->RecordCount(), 0u) << name << " page " << e.nPageNumber;

                // Every row, rebuilt from its decoded parts, is byte for byte the real row.
                std::vector<std::pair<std::uint16_t, std::size_t>> bySlotOffset;
                for (std::size_t i = 0; i < page->RecordCount(); ++i) {
                    const CPrimaryRecord* r = page->Record(i);
                    ASSERT_NE(r, nullptr) << name << " page " << e.nPageNumber << " slot " << i;
                    ASSERT_FALSE(r->m_bInvalid);
                    ASSERT_TRUE(r->HasRecordBytes())
                        << name << " page " << e.nPageNumber << " slot " << i;
                    EXPECT_EQ(RebuildRow(*r), r->m_recordBytes)
                        << name << " page " << e.nPageNumber << " slot " << i;
                    bySlotOffset.emplace_back(le::U16(p + 8190 - 2 * i), i);
                    ++nRowsCompared;
                }
                // Pages whose rows lie end to end from the header on are rebuilt whole.
                std::sort(bySlotOffset.begin(), bySlotOffset.end());
                std::size_t nEnd = 96;
                bool bContiguous = true;
                for (auto [nOffset, i] : bySlotOffset) {
                    bContiguous = bContiguous && nOffset == nEnd;
                    nEnd += static_cast<std::size_t>(page->Record(i)->m_nRecordLength);
                }
                if (!bContiguous || nEnd != static_cast<std::size_t>(h.m_nFreeDataOffset)) continue;
                PageBuilder pb(static_cast<std::uint8_t>(h.m_nPageType), h.m_nObjectId, h.Self());
                PageHeaderFields& f = pb.Header();
                f.nHeaderVersion = h.m_nHeaderVersion;
                f.nTypeFlagBits = h.m_nTypeFlagBits;
                f.nLevel = h.m_nLevel;
                f.nFlagBits = static_cast<std::uint16_t>(h.m_nFlagBits);
                f.nIndexId = h.m_nIndexId;
                f.prev = h.Previous();
                f.next = h.Next();
                f.nMinRecordLength = h.m_nMinRecordLength;
                f.nReservedByteCount = h.m_nReservedByteCount;
                f.nLsn1 = le::U32(p + 40);
                f.nLsn2 = le::U32(p + 44);
                f.nLsn3 = le::U16(p + 48);
                f.nXactReservedByteCount = h.m_nXactReservedByteCount;
                f.nXactId1 = le::U32(p + 52);
                f.nXactId2 = le::U16(p + 56);
                f.nGhostRecordCount = h.m_nGhostRecordCount;
                f.nTornBits = h.m_nTornBits;
                std::vector<std::size_t> slotOf(page->RecordCount());
                for (auto [nOffset, i] : bySlotOffset) {
                    const int nNew = pb.AddRow(page->Record(i)->m_recordBytes);
                    slotOf[static_cast<std::size_t>(nNew)] = i;
                }
                for (auto [nOffset, i] : bySlotOffset) pb.SetSlot(static_cast<int>(i), nOffset);
                pb.FreeByteCount(h.m_nFreeByteCount);
                const Page built = pb.Build();
                EXPECT_TRUE(std::equal(built.begin(), built.begin() + 96, p))
                    << name << " header of page " << e.nPageNumber;
                EXPECT_TRUE(std::equal(built.begin() + 96,
                                       built.begin() + static_cast<std::ptrdiff_t>(nEnd), p + 96))
                    << name << " rows of page " << e.nPageNumber;
                const std::size_t nSlots = 2 * page->RecordCount();
                EXPECT_TRUE(std::equal(built.end() - static_cast<std::ptrdiff_t>(nSlots),
                                       built.end(), p + 8192 - nSlots))
                    << name << " slot array of page " << e.nPageNumber;
                ++nPagesCompared;
            }
        }
    }
    EXPECT_GT(nRowsCompared, 1000);
    EXPECT_GT(nPagesCompared, 5);
}
