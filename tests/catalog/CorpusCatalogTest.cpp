// The catalog of every real file: version, name, collation, the user tables the files are
// known to hold and the rows each stores.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "catalog/CDbCatalog.h"
#include "support/RecordingNotify.h"
#include "support/TestFiles.h"

using namespace qw;

TEST(CorpusCatalog, EveryRealFileYieldsItsTables) {
    QUARVEL_REQUIRE_CORPUS();
    const auto known = CorpusTables();
    ASSERT_GT(known.size(), 30u);
    int nFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
        if (entry.path().extension() != ".mdf") continue;
        const std::string name = entry.path().filename().string();
        ++nFiles;
        CDravoltBrevantProjApp app;
        app.LoadCollationList(QUARVEL_DATA_DIR);
        RecordingNotify notify;
        CRecoverySession s;
        ASSERT_TRUE(OpenSession(entry.path().string(), s, app, notify)) << name;
        const CDbCatalog& c = *s.m_pCatalog;
        EXPECT_NE(app.m_strVersion, "Unknown SQL Version") << name;
        EXPECT_EQ(app.m_strVersion.substr(0, 12), " SQL Server ") << name;
        EXPECT_FALSE(s.m_pReader->DatabaseName().empty()) << name;
        EXPECT_TRUE(app.m_bCollationFound) << name;
        EXPECT_FALSE(app.m_strCollationName.empty()) << name;
        EXPECT_FALSE(app.m_bIsSql2000) << name;
        ASSERT_FALSE(c.m_objects.empty()) << name;
        EXPECT_FALSE(c.m_columns.empty()) << name;
        EXPECT_FALSE(c.m_scalarTypes.empty()) << name;

        auto it = known.find(name);
        if (it == known.end()) continue; // files listed without user tables
        for (const auto& [table, nRows] : it->second) {
            const ObjectEntry o = c.FindObject(table, "U ");
            ASSERT_NE(o.m_nId, -1) << name << ": " << table;
            EXPECT_EQ(o.m_strType, "U ") << name << ": " << table;
            // The heap or clustered rowset of the table holds its row count.
            std::int64_t nStored = -1;
            for (const RowsetEntry& r : c.m_rowsets)
                if (r.m_nObjectId == o.m_nId && (r.m_nIndexId == 0 || r.m_nIndexId == 1))
                    nStored = r.m_nRowCount;
            EXPECT_EQ(nStored, nRows) << name << ": " << table;
        }
    }
    EXPECT_GT(nFiles, 40);
}
