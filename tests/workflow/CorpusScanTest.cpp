// The scan worker on every real file: it completes and the tree holds the file's user tables;
// a click on a table shows its first screen page of stored rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "support/TestFiles.h"
#include "workflow/MemoryPorts.h"
#include "workflow/RecoveryWorkflow.h"

TEST(CorpusScan, EveryFileCompletesWithItsUserTables) {
    QUARVEL_REQUIRE_CORPUS();
    std::vector<std::filesystem::path> mdfs;
    for (const auto& e : std::filesystem::directory_iterator(qw::CorpusDir()))
        if (e.path().extension() == ".mdf") mdfs.push_back(e.path());
    std::sort(mdfs.begin(), mdfs.end());
    ASSERT_FALSE(mdfs.empty());
    const auto stored = qw::CorpusTables();
    std::size_t nListed = 0;
    for (const auto& path : mdfs) {
        SCOPED_TRACE(path.string());
        CDravoltBrevantProjApp app;
        app.LoadCollationList(QUARVEL_DATA_DIR);
        CMemoryPorts ports;
        CRecoveryWorkflow wf(app, ports.Ports());
        ScanSettings s;
        s.strMdfPath = path.string();
        ASSERT_TRUE(wf.Open(s));
        wf.Wait();
        ASSERT_FALSE(ports.output.Lines().empty());
        EXPECT_EQ(ports.output.Lines().back(), kTextCompleted);
        ASSERT_TRUE(wf.Session().m_pCatalog);
        std::multiset<std::string> expected;
        for (const ObjectEntry& o : wf.Session().m_pCatalog->m_objects)
            if (o.m_strType == "U " && !o.m_strName.empty()) expected.insert(o.m_strName);
        const TreeItem userTables = wf.Tree().UserTables();
        ASSERT_NE(userTables, kTreeRoot);
        const auto shown = ports.objectTree.ChildTexts(userTables);
        EXPECT_EQ(std::multiset<std::string>(shown.begin(), shown.end()), expected);
        EXPECT_TRUE(std::is_sorted(
            shown.begin(), shown.end(), [](const std::string& a, const std::string& b) {
                return std::lexicographical_compare(
                    a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                        return std::tolower(static_cast<unsigned char>(x)) <
                               std::tolower(static_cast<unsigned char>(y));
                    });
            }));

        const auto file = stored.find(path.filename().string());
        if (file == stored.end()) continue;
        for (TreeItem table : ports.objectTree.Children(userTables)) {
            const std::string name = ports.objectTree.ItemText(table);
            const auto rows = file->second.find(name);
            if (rows == file->second.end()) continue;
            SCOPED_TRACE(name);
            ports.objectTree.Select(table);
            wf.ObjectClicked(table);
            wf.Wait();
            ++nListed;
            const auto nShown = std::min<std::int64_t>(rows->second, 1000);
            EXPECT_EQ(ports.records.ItemCount(), nShown);
            EXPECT_EQ(ports.caption.Text(), name + "[" + std::to_string(nShown) + "]");
            EXPECT_EQ(ports.pageButtons.IsEnabled(PageButton::Next), rows->second > 1000);
        }
    }
    // Every table the folder's README lists was clicked.
    std::size_t nTables = 0;
    for (const auto& [name, tables] : stored) nTables += tables.size();
    EXPECT_EQ(nListed, nTables);
}
