// Every user table of every real file: the rows decoded against the rows its rowset stores.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "rowdecode/TableListing.h"
#include "support/RecordingNotify.h"
#include "support/TestFiles.h"

using namespace qw;

TEST(CorpusRows, EveryTableDecodesItsStoredRows) {
    QUARVEL_REQUIRE_CORPUS();
    std::size_t nTables = 0, nRows = 0;
    for (const auto& [file, tables] : CorpusTables()) {
        CDravoltBrevantProjApp app;
        app.LoadCollationList(QUARVEL_DATA_DIR);
        RecordingNotify notify;
        CRecoverySession s;
        ASSERT_TRUE(OpenSession((CorpusDir() / file).string(), s, app, notify)) << file;
        CDbCatalog& c = *s.m_pCatalog;
        for (const auto& [table, nStored] : tables) {
            const auto cols = c.ResolveObject(table, "U ", {});
            ASSERT_TRUE(c.m_bResolved) << file << ": " << table;
            ASSERT_FALSE(cols.empty()) << file << ": " << table;
            app.m_bListingMode = true;
            auto decoder = MakeRowDecoder(c);
            app.m_pCurrentRowDecoder = decoder.get();
            CTableLister lister(c, *decoder, CollectTablePages(c, *decoder, false).pages);
            std::int64_t n = 0;
            bool bLobFailure = false;
            lister.List(0, 0, [&](const DecodedRow& row) {
                ++n;
                bLobFailure = bLobFailure || row.bLobFailure;
            });
            app.m_pCurrentRowDecoder = nullptr;
            EXPECT_EQ(n, nStored) << file << ": " << table;
            EXPECT_EQ(decoder->InvalidRecords(), 0u) << file << ": " << table;
            ++nTables;
            nRows += static_cast<std::size_t>(n);
        }
    }
    EXPECT_GT(nTables, 200u);
    std::printf("%zu tables, %zu rows\n", nTables, nRows);
}
