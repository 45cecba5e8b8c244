// The document view through in-memory ports: sites from "Webs" or "AllWebs", libraries under
// their sites, the placement of documents in both trees, the document list of a clicked node,
// and advanced mode's limit of 1000 rows per table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "WorkflowFixture.h"
#include "support/TableWriter.h"

using namespace wft;
using qw::Bytes;
using qw::TableRow;
using qw::TableSpec;
using ::testing::ElementsAre;

namespace {

qw::Cell Guid(int n) {
    Bytes b(16);
    for (int k = 0; k < 16; ++k)
        b[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(n * 37 + k * 11);
    return qw::Val(b);
}

qw::Cell Time(std::uint32_t nDays, std::uint32_t nTicks) {
    return qw::Val(qw::Cat({qw::LE32(nTicks), qw::LE32(nDays)}));
}

TableSpec Sites(const std::string& strName, std::vector<TableRow> rows) {
    TableSpec t;
    t.object =
        Obj(501, strName, "U ",
            {Col("Id", qw::ST_UNIQUEIDENTIFIER, 16), Col("SiteId", qw::ST_UNIQUEIDENTIFIER, 16),
             Col("Title", qw::ST_NVARCHAR, 200)});
    t.rows = std::move(rows);
    return t;
}

TableSpec Lists(std::vector<TableRow> rows) {
    TableSpec t;
    t.object =
        Obj(502, "AllLists", "U ",
            {Col("tp_WebId", qw::ST_UNIQUEIDENTIFIER, 16),
             Col("tp_ID", qw::ST_UNIQUEIDENTIFIER, 16), Col("tp_Title", qw::ST_NVARCHAR, 200)});
    t.rows = std::move(rows);
    return t;
}

struct Doc {
    int nId, nLibrary, nWeb, nType;
    const char* dir;
    const char* leaf;
    int nSize;
};

// The documents table; bAllColumns false leaves out the two time columns.
TableSpec Docs(const std::vector<Doc>& docs, bool bAllColumns = true) {
    TableSpec t;
    std::vector<qw::ColumnSpec> cols = {Col("Id", qw::ST_UNIQUEIDENTIFIER, 16),
                                        Col("SiteId", qw::ST_UNIQUEIDENTIFIER, 16),
                                        Col("DirName", qw::ST_NVARCHAR, 512),
                                        Col("LeafName", qw::ST_NVARCHAR, 256),
                                        Col("WebId", qw::ST_UNIQUEIDENTIFIER, 16),
                                        Col("ListId", qw::ST_UNIQUEIDENTIFIER, 16),
                                        Col("Type", qw::ST_TINYINT, 1),
                                        Col("Size", qw::ST_INT, 4)};
    if (bAllColumns) {
        cols.push_back(Col("TimeCreated", qw::ST_DATETIME, 8));
        cols.push_back(Col("TimeLastModified", qw::ST_DATETIME, 8));
    }
    t.object = Obj(503, "AllDocs", "U ", cols);
    for (const Doc& d : docs) {
        TableRow r{{d.nId ? Guid(d.nId) : qw::Null(), Guid(900), qw::NText(d.dir),
                    qw::NText(d.leaf), Guid(d.nWeb), Guid(d.nLibrary),
                    qw::Val(Bytes{static_cast<std::uint8_t>(d.nType)}), qw::Int(d.nSize)}};
        if (bAllColumns) {
            r.cells.push_back(Time(40000 + static_cast<std::uint32_t>(d.nId), 300));
            r.cells.push_back(Time(41000 + static_cast<std::uint32_t>(d.nId), 600));
        }
        t.rows.push_back(std::move(r));
    }
    return t;
}

// Sites 1 "Finance" and 2 "HR"; libraries 11 under 1, 21 under 2, and 31 whose site 9 is not
// there.
std::vector<TableSpec> Portal(const std::string& strSitesTable) {
    return {Sites(strSitesTable, {TableRow{{Guid(1), Guid(900), qw::NText("Finance")}},
                                  TableRow{{Guid(2), Guid(900), qw::NText("HR")}}}),
            Lists({TableRow{{Guid(1), Guid(11), qw::NText("Shared Documents")}},
                   TableRow{{Guid(2), Guid(21), qw::NText("Policies")}},
                   TableRow{{Guid(9), Guid(31), qw::NText("Orphans")}}}),
            Docs({
                {101, 11, 1, 0, "sites/finance/Shared Documents/Reports", "a.docx", 100},
                {102, 11, 1, 0, "sites/finance/Shared Documents/Reports", "b.xlsx", 200},
                {103, 31, 9, 0, "x/y", "c.txt", 30},
                {104, 11, 1, 0, "sites/finance/Shared Documents", "empty.txt", 0},
                {105, 21, 2, 1, "a", "b", 0},
                {106, 21, 2, 0, "a/b", "f.pdf", 10},
                {107, 21, 2, 0, "///", "slash.bin", 5},
                {0, 21, 2, 0, "a", "no id.txt", 5},
            })};
}

struct Scanned {
    Harness h;
    explicit Scanned(const std::vector<TableSpec>& tables, int nMode = SCAN_MODE_STANDARD) {
        qw::DatabaseSpec db;
        db.strName = "Content";
        h.files.Add("/db/c.mdf", qw::WriteTables(db, tables).file);
        ScanSettings s = h.Settings("/db/c.mdf");
        s.nRecoveryOption = RECOVERY_DOCUMENTS;
        s.nScanMode = nMode;
        EXPECT_TRUE(h.wf.Open(s));
        h.wf.Wait();
        EXPECT_EQ(h.LastLine(), kTextCompleted);
    }
    CMemoryTree& Tree() { return h.ports.documentTree; }
    void Click(const std::vector<std::string>& path) {
        const TreeItem item = Tree().Find(path);
        ASSERT_NE(item, kTreeRoot);
        Tree().Select(item);
        h.wf.DocumentClicked(item);
        h.wf.Wait();
    }
    std::vector<std::string> ListedFiles() const {
        std::vector<std::string> out;
        for (int i = 0; i < h.ports.records.ItemCount(); ++i)
            out.push_back(h.ports.records.ItemText(i, 0));
        return out;
    }
};

const char* kTrees = "SharePointACTUAL\n"
                     "  Finance\n"
                     "    Shared Documents\n"
                     "      sites\n"
                     "        finance\n"
                     "          Shared Documents\n"
                     "            Reports\n"
                     "              a.docx\n"
                     "      b.xlsx\n"
                     "  HR\n"
                     "    Policies\n"
                     "      a\n"
                     "        b\n"
                     "      f.pdf\n"
                     "      slash.bin\n"
                     "SharePointData\n"
                     "  sites\n"
                     "    finance\n"
                     "      Shared Documents\n"
                     "        Reports\n"
                     "          a.docx\n"
                     "          b.xlsx\n"
                     "  x\n"
                     "    y\n"
                     "      c.txt\n"
                     "  a\n"
                     "    b\n"
                     "      f.pdf\n";

} // namespace

TEST(SharePoint, BothTreesFromWebsOrAllWebs) {
    for (const char* sites : {"Webs", "AllWebs"}) {
        SCOPED_TRACE(sites);
        Scanned s(Portal(sites));
        EXPECT_EQ(s.Tree().Dump(), kTrees);
        const CSharePointView& v = s.h.wf.SharePoint();
        EXPECT_EQ(v.Sites().size(), 2u);
        EXPECT_EQ(v.Libraries().size(), 3u);
        // The row without an id is left out entirely.
        ASSERT_EQ(v.Documents().size(), 7u);
        EXPECT_EQ(v.Documents()[4].nType, 1);
        EXPECT_EQ(v.Documents()[1].nSize, 200);
        EXPECT_EQ(s.Tree().Background(), 0xB0C4DE);
        EXPECT_TRUE(s.Tree().IsExpanded(s.Tree().Find({"SharePointData"})));
        const TreeItem file = s.Tree().Find({"SharePointData", "a", "b", "f.pdf"});
        EXPECT_EQ(s.Tree().Image(file), kImageFile);
        EXPECT_EQ(v.ItemData(file).nKind, 'F');
        EXPECT_EQ(v.ItemData(file).nIndex, 5);
    }
}

TEST(SharePoint, DocumentListOfAClickedNode) {
    Scanned s(Portal("Webs"));
    const CSharePointView& v = s.h.wf.SharePoint();
    // A library lists the files directly under it.
    s.Click({"SharePointACTUAL", "Finance", "Shared Documents"});
    EXPECT_EQ(s.h.ports.records.Columns(),
              (std::vector<std::string>{"File Name ", "Date Created ", "Date Modified "}));
    EXPECT_THAT(s.ListedFiles(), ElementsAre("b.xlsx"));
    EXPECT_EQ(s.h.ports.records.ItemParam(0), 1); // the document's index
    EXPECT_EQ(s.h.ports.records.ItemText(0, 1), v.Documents()[1].strCreated);
    EXPECT_EQ(s.h.ports.records.ItemText(0, 2), v.Documents()[1].strModified);
    EXPECT_FALSE(v.Documents()[1].strCreated.empty());
    EXPECT_NE(v.Documents()[1].strCreated, v.Documents()[1].strModified);
    EXPECT_EQ(s.h.ports.caption.Text(), "Shared Documents");
    EXPECT_EQ(s.h.LastLine(), "Scanning process completed.");
    EXPECT_FALSE(s.h.ports.pageLabel.Shown());

    s.Click({"SharePointData", "sites", "finance", "Shared Documents", "Reports"});
    EXPECT_THAT(s.ListedFiles(), ElementsAre("a.docx", "b.xlsx"));
    s.Click({"SharePointACTUAL", "HR", "Policies"});
    EXPECT_THAT(s.ListedFiles(), ElementsAre("f.pdf", "slash.bin"));
    // A file: the columns and no rows. A site or a root: nothing.
    s.Click({"SharePointACTUAL", "HR", "Policies", "f.pdf"});
    EXPECT_EQ(s.h.ports.records.ColumnCount(), 3);
    EXPECT_EQ(s.h.ports.records.ItemCount(), 0);
    for (const std::vector<std::string>& path :
         {std::vector<std::string>{"SharePointACTUAL", "HR"}, {"SharePointData"}}) {
        s.Click(path);
        EXPECT_EQ(s.h.ports.records.ColumnCount(), 0);
        EXPECT_EQ(s.h.ports.records.ItemCount(), 0);
    }
}

TEST(SharePoint, AdvancedModeTakesTheFirstThousandRowsAndMissingColumnsStayEmpty) {
    std::vector<Doc> docs;
    std::vector<std::string> leaves(1100);
    for (int i = 0; i < 1100; ++i) {
        leaves[static_cast<std::size_t>(i)] = "f" + std::to_string(i) + ".txt";
        docs.push_back(
            {1000 + i, 11, 1, 0, "lib", leaves[static_cast<std::size_t>(i)].c_str(), 10});
    }
    std::vector<TableSpec> tables = Portal("Webs");
    tables[2] = Docs(docs, false);
    for (int nMode : {SCAN_MODE_STANDARD, SCAN_MODE_ADVANCED}) {
        SCOPED_TRACE(nMode);
        Scanned s(tables, nMode);
        const auto& d = s.h.wf.SharePoint().Documents();
        ASSERT_EQ(d.size(), nMode == SCAN_MODE_ADVANCED ? 1000u : 1100u);
        EXPECT_EQ(d[999].strLeafName, "f999.txt");
        EXPECT_EQ(d[0].strCreated, "");
        EXPECT_EQ(d[0].strModified, "");
        const auto history = s.h.ports.caption.History();
        EXPECT_EQ(std::count(history.begin(), history.end(), "0 rows to 1000"),
                  nMode == SCAN_MODE_ADVANCED ? 1 : 0);
        EXPECT_EQ(s.Tree().ChildTexts(s.Tree().Find({"SharePointData", "lib"})).size(), d.size());
    }
}

TEST(SharePoint, ADatabaseWithoutTheTablesHasTheTwoRoots) {
    TableSpec other;
    other.object = Obj(501, "Other", "U ", {Col("N")});
    Scanned s({other});
    EXPECT_EQ(s.Tree().Dump(), "SharePointACTUAL\nSharePointData\n");
    EXPECT_TRUE(s.h.wf.SharePoint().Documents().empty());
}
