// The bundled sample databases scanned as a document recovery: the sites, libraries, folders
// and files they hold are in the document trees, and a long table pages through its rows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "SampleDatabases.h"
#include "WorkflowFixture.h"

using namespace wft;

namespace {

std::vector<std::string> Split(const std::string& strPath) {
    std::vector<std::string> out;
    std::size_t b = 0;
    for (std::size_t e; (e = strPath.find('/', b)) != std::string::npos; b = e + 1)
        if (e > b) out.push_back(strPath.substr(b, e - b));
    if (b < strPath.size()) out.push_back(strPath.substr(b));
    return out;
}

} // namespace

TEST(SampleScan, DocumentTreesHoldTheSitesLibrariesAndFiles) {
    for (const auto& sample : qw::samples::BuildSampleDatabases()) {
        SCOPED_TRACE(sample.strFileName);
        Harness h;
        h.files.Add("/s/" + sample.strFileName, sample.written.file);
        ScanSettings s = h.Settings("/s/" + sample.strFileName);
        s.nRecoveryOption = RECOVERY_DOCUMENTS;
        ASSERT_TRUE(h.wf.Open(s));
        h.wf.Wait();
        ASSERT_EQ(h.LastLine(), kTextCompleted);
        const CMemoryTree& t = h.ports.documentTree;
        const CSharePointView& v = h.wf.SharePoint();
        ASSERT_EQ(v.Sites().size(), 3u);
        ASSERT_EQ(v.Libraries().size(), 8u);
        ASSERT_EQ(v.Documents().size(), 36u);

        // Every site under the first root, every library with a known site under its site.
        for (const SiteEntry& site : v.Sites())
            EXPECT_NE(t.Find({"SharePointACTUAL", site.strTitle}), kTreeRoot) << site.strTitle;
        int nAttached = 0;
        for (const LibraryEntry& l : v.Libraries()) {
            for (const SiteEntry& site : v.Sites())
                if (site.strId == l.strSiteId) {
                    EXPECT_NE(t.Find({"SharePointACTUAL", site.strTitle, l.strTitle}), kTreeRoot)
                        << l.strTitle;
                    ++nAttached;
                }
        }
        EXPECT_EQ(nAttached, 7); // one library's site is not in the database

        // Every file with content at its own path in the second root, and nothing else there.
        std::size_t nFiles = 0;
        for (const DocumentRecord& d : v.Documents()) {
            if (d.nType != 0 || d.nSize <= 0) continue;
            std::vector<std::string> path{"SharePointData"};
            for (const std::string& c : Split(d.strDirectory)) path.push_back(c);
            path.push_back(d.strLeafName);
            EXPECT_NE(t.Find(path), kTreeRoot) << d.strDirectory << "/" << d.strLeafName;
            ++nFiles;
        }
        EXPECT_EQ(nFiles, 20u);
        // A library lists the files placed directly under it, with their dates.
        const TreeItem library =
            t.Find({"SharePointACTUAL", v.Sites()[0].strTitle, "Shared Documents"});
        ASSERT_NE(library, kTreeRoot);
        h.ports.documentTree.Select(library);
        h.wf.DocumentClicked(library);
        h.wf.Wait();
        EXPECT_GT(h.ports.records.ItemCount(), 0);
        EXPECT_THAT(h.ports.records.ItemText(0, 1), ::testing::MatchesRegex("20[0-9-]+ .*"));
    }
}
