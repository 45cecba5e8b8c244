// The record browser through in-memory ports: screen pages of 1000 rows with their labels and
// buttons, rows removed when empty, a looping page chain, the row lines of the log, what a
// folder, key, module or constraint node shows, and Stop during a listing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "WorkflowFixture.h"
#include "pagestore/Bytes.h"
#include "support/TableWriter.h"
#include "support/TestFiles.h"

using namespace wft;
using qw::Cell;
using qw::TableRow;
using qw::TableSpec;
using ::testing::ElementsAre;

namespace {

TableSpec Numbers(std::int32_t nId, const std::string& name, int nRows, std::size_t nPerPage) {
    TableSpec t;
    t.object = Obj(nId, name, "U ", {Col("N"), Col("S", qw::ST_NVARCHAR, 40)});
    for (int i = 1; i <= nRows; ++i)
        t.rows.push_back(TableRow{{qw::Int(i), qw::NText("row" + std::to_string(i))}});
    t.nRowsPerPage = nPerPage;
    return t;
}

qw::DatabaseSpec Named(const std::string& name) {
    qw::DatabaseSpec db;
    db.strName = name;
    return db;
}

// A database of tables, scanned; the tables' nodes are found by name.
struct Browsed {
    Harness h;
    qw::WrittenDatabase w;

    explicit Browsed(std::vector<TableSpec> tables, qw::DatabaseSpec db = Named("Db"),
                     const std::string& strLogFolder = "")
        : w(qw::WriteTables(std::move(db), tables)) {
        h.files.Add("/db/t.mdf", w.file);
        EXPECT_TRUE(h.Scan("/db/t.mdf", strLogFolder));
        EXPECT_EQ(h.LastLine(), kTextCompleted);
    }
    TreeItem Node(const std::vector<std::string>& path) const {
        std::vector<std::string> full{"Db"};
        full.insert(full.end(), path.begin(), path.end());
        return h.ports.objectTree.Find(full);
    }
    void Click(TreeItem item) {
        h.ports.objectTree.Select(item);
        h.wf.ObjectClicked(item);
        h.wf.Wait();
    }
    void Click(const std::string& strTable) { Click(Node({"Tables", "User Tables", strTable})); }
    void Next() {
        h.wf.NextRecords();
        h.wf.Wait();
    }
    void Previous() {
        h.wf.PreviousRecords();
        h.wf.Wait();
    }
    std::string Label() const { return h.ports.pageLabel.Text(); }
    std::string Caption() const { return h.ports.caption.Text(); }
    bool CanGoNext() const { return h.ports.pageButtons.IsEnabled(PageButton::Next); }
    bool CanGoBack() const { return h.ports.pageButtons.IsEnabled(PageButton::Previous); }
    int Items() const { return h.ports.records.ItemCount(); }
    std::string Cell(int nItem, int nSub = 0) const {
        return h.ports.records.ItemText(nItem, nSub);
    }
};

void SetNext(qw::WrittenDatabase& w, PagePointer page, PagePointer next) {
    std::uint8_t* p = w.PageAt(page);
    le::Put32(p + 16, static_cast<std::uint32_t>(next.nPageId));
    le::Put16(p + 20, static_cast<std::uint16_t>(next.nFileId));
}

// Empties a table's allocation maps, so its listing follows the page chain.
void EmptyMaps(qw::WrittenDatabase& w, std::size_t nTable) {
    for (const PagePointer& m : w.tables[nTable].iamPages)
        std::fill(w.PageAt(m) + kPageHeaderSize, w.PageAt(m) + kPageSize - 4, 0);
}

std::size_t CountRowLines(const std::vector<std::string>& lines) {
    std::size_t n = 0;
    for (const std::string& l : lines)
        if (l.rfind(" row ", 0) == 0 && l.size() > 9 &&
            l.compare(l.size() - 9, 9, " inserted") == 0)
            ++n;
    return n;
}

// The lines of a UTF-16LE log file (its text is ASCII here).
std::vector<std::string> LogLines(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) text += bytes[i];
    std::vector<std::string> lines;
    std::size_t b = 0;
    for (std::size_t e; (e = text.find("\r\n", b)) != std::string::npos; b = e + 2)
        lines.push_back(text.substr(b, e - b));
    return lines;
}

} // namespace

TEST(Browser, ScreenPagesOfALongTable) {
    Browsed b({Numbers(501, "Big", 2500, 90)});
    const CRecordBrowser& browser = b.h.wf.Browser();
    b.Click("Big");
    EXPECT_EQ(b.Label(), "Page1 - [1000](1-1000) Records");
    EXPECT_EQ(b.Caption(), "Big[1000]");
    EXPECT_TRUE(b.h.HasLine("0 rows to 1000"));
    EXPECT_EQ(b.h.LastLine(), "Scanning process completed.");
    EXPECT_EQ(b.h.ports.records.Columns(), (std::vector<std::string>{"N", "S"}));
    EXPECT_TRUE(b.h.ports.records.Shown());
    EXPECT_FALSE(b.h.ports.textView.Shown());
    ASSERT_EQ(b.Items(), 1000);
    EXPECT_EQ(b.Cell(0), "1");
    EXPECT_EQ(b.Cell(999, 1), "row1000");
    EXPECT_TRUE(b.CanGoNext());
    EXPECT_FALSE(b.CanGoBack());

    struct Step {
        bool bNext;
        const char* label;
        const char* caption;
        int nFirstRow;
        int nItems;
        bool bNextEnabled, bPreviousEnabled;
    };
    // Back from the last screen page shows the one before it, and the first screen page reached
    // by Previous reads as page 1 with Previous disabled.
    const Step steps[] = {
        {true, "Page2 - [1000](1001-2000) Records", "1000 rows to 2000", 1001, 1000, true, true},
        {true, "Page3 - [500](2001-2500) Records", "2000 rows to 2500", 2001, 500, false, true},
        {true, "", "2000 rows to 2500", 2001, 500, false, true},
        {false, "Page2 - [1000](1001-2000) Records", "1000 rows to 2000", 1001, 1000, true, true},
        {false, "Page1 - [1000](1-1000) Records", "0 rows to 1000", 1, 1000, true, false},
        {true, "Page2 - [1000](1001-2000) Records", "1000 rows to 2000", 1001, 1000, true, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.label);
        s.bNext ? b.Next() : b.Previous();
        EXPECT_EQ(b.Label(), s.label);
        EXPECT_EQ(b.Caption(), s.caption);
        ASSERT_EQ(b.Items(), s.nItems);
        EXPECT_EQ(b.Cell(0), std::to_string(s.nFirstRow));
        EXPECT_EQ(b.Cell(s.nItems - 1), std::to_string(s.nFirstRow + s.nItems - 1));
        EXPECT_EQ(b.CanGoNext(), s.bNextEnabled);
        EXPECT_EQ(b.CanGoBack(), s.bPreviousEnabled);
        EXPECT_FALSE(b.h.wf.Busy());
    }
    EXPECT_EQ(browser.BookmarkCount(), 3u);
    EXPECT_EQ(b.h.app.m_pCurrentRowDecoder, nullptr);
    EXPECT_FALSE(b.h.app.m_bListingMode);

    // Another click starts over.
    b.Click("Big");
    EXPECT_EQ(b.Label(), "Page1 - [1000](1-1000) Records");
    EXPECT_EQ(browser.PageNumber(), 1);
}

TEST(Browser, ScreenPageBoundaries) {
    struct Case {
        int nRows;
        std::size_t nPerPage;
        const char* label;
        bool bNext;
    };
    for (const Case& c : std::initializer_list<Case>{
             {1000, 100, "Page1 - [1000](1-1000) Records", false}, // ends with its last page
             {1000, 7, "Page1 - [1000](1-1000) Records", false},   // ends inside a page
             {1001, 100, "Page1 - [1000](1-1000) Records", true},  // one row on a next page
             {0, 0, "Page1 - [0](0-0) Records", false}}) {
        SCOPED_TRACE(c.nRows);
        Browsed b({Numbers(501, "T", c.nRows, c.nPerPage)});
        b.Click("T");
        EXPECT_EQ(b.Label(), c.label);
        EXPECT_EQ(b.CanGoNext(), c.bNext);
        if (c.bNext) {
            b.Next();
            EXPECT_EQ(b.Label(), "Page2 - [1](1001-1001) Records");
            EXPECT_FALSE(b.CanGoNext());
        }
    }
}

TEST(Browser, EmptyRowsAreRemovedButCounted) {
    // Rows: a value; all NULL; first NULL, the rest empty; all empty; a value.
    TableSpec t;
    t.object = Obj(501, "T", "U ",
                   {Col("A", qw::ST_NVARCHAR, 20), Col("B", qw::ST_NVARCHAR, 20),
                    Col("C", qw::ST_NVARCHAR, 20)});
    t.rows = {TableRow{{qw::NText("x"), qw::Null(), qw::NText("")}},
              TableRow{{qw::Null(), qw::Null(), qw::Null()}},
              TableRow{{qw::Null(), qw::NText(""), qw::NText("")}},
              TableRow{{qw::NText(""), qw::NText(""), qw::NText("")}},
              TableRow{{qw::NText(""), qw::NText("y"), qw::Null()}}};
    t.nRowsPerPage = 2;
    for (bool bPageChain : {false, true}) {
        SCOPED_TRACE(bPageChain ? "page chain" : "allocation maps");
        Browsed b({t});
        if (bPageChain) {
            // The same database with its maps emptied: the listing follows the page chain,
            // which also takes "NULL" for empty.
            EmptyMaps(b.w, 0);
            b.h.files.Add("/db/t.mdf", b.w.file);
            ASSERT_TRUE(b.h.Scan("/db/t.mdf"));
        }
        b.Click("T");
        EXPECT_EQ(b.h.wf.Browser().Source(),
                  bPageChain ? PageSource::PageChain : PageSource::IamChain);
        std::vector<std::string> firsts;
        for (int i = 0; i < b.Items(); ++i) firsts.push_back(b.Cell(i) + "|" + b.Cell(i, 1));
        if (bPageChain)
            EXPECT_THAT(firsts, ElementsAre("x|NULL", "|y"));
        else
            EXPECT_THAT(firsts, ElementsAre("x|NULL", "NULL|NULL", "|y"));
        // Every row counts: the row lines number them all, and the page chain's closing line
        // is the number of rows shown.
        // (the row line takes the place of the output's last line, so only the caption keeps
        // every one of them)
        const auto history = b.h.ports.caption.History();
        EXPECT_NE(std::find(history.begin(), history.end(), " row 5 inserted"), history.end());
        EXPECT_TRUE(b.h.HasLine(bPageChain ? "2" : "0 rows to 5"));
        EXPECT_EQ(b.Label(), bPageChain ? "Page1 - [2](1-2) Records" : "Page1 - [3](1-3) Records");
    }
}

TEST(Browser, LoopingPageChainEnds) {
    TableSpec t = Numbers(501, "T", 6, 1);
    Browsed b({t});
    EmptyMaps(b.w, 0);
    // The last page links back to the first.
    SetNext(b.w, b.w.tables[0].dataPages.back(), b.w.tables[0].dataPages.front());
    b.h.files.Add("/db/t.mdf", b.w.file);
    ASSERT_TRUE(b.h.Scan("/db/t.mdf"));
    b.Click("T");
    EXPECT_EQ(b.h.wf.Browser().Source(), PageSource::PageChain);
    EXPECT_EQ(b.Items(), 6);
    EXPECT_EQ(b.Caption(), "T[6]");
}

TEST(Browser, RowLinesInTheLogFileDependOnTheLister) {
    qw::TempDir dir;
    const std::string strFolder = dir.Path().string() + "/";
    TableSpec maps = Numbers(501, "Maps", 1200, 100);
    TableSpec chain = Numbers(502, "Chain", 1200, 100);
    Browsed b({maps, chain}, Named("Db"), strFolder);
    EmptyMaps(b.w, 1);
    b.h.files.Add("/db/t.mdf", b.w.file);
    ASSERT_TRUE(b.h.Scan("/db/t.mdf", strFolder));
    const std::string strLog = b.h.app.m_strLogFilePath;

    b.Click("Maps");
    EXPECT_EQ(CountRowLines(LogLines(strLog)), 0u);
    b.Click("Chain");
    EXPECT_EQ(CountRowLines(LogLines(strLog)), 1000u);
    const auto lines = LogLines(strLog);
    EXPECT_NE(std::find(lines.begin(), lines.end(), " row 1000 inserted"), lines.end());
    EXPECT_EQ(std::find(lines.begin(), lines.end(), " row 1001 inserted"), lines.end());
    // Next writes its row lines too, numbered from 1 on its screen page.
    b.Next();
    EXPECT_EQ(CountRowLines(LogLines(strLog)), 1200u);
    EXPECT_EQ(LogLines(strLog).back(), "1000 rows to 1200");
}

TEST(Browser, FoldersKeysAndNodesWithoutRows) {
    qw::DatabaseSpec db = Named("Db");
    db.objects = {Obj(502, "PK_T", "PK", {}, 501), Obj(503, "CK_T_N", "C ", {}, 501),
                  Obj(504, "V_T", "V ")};
    qw::ModuleSpec view, check;
    view.nObjectId = 504;
    view.strText = "CREATE VIEW V_T AS SELECT N FROM T";
    check.nObjectId = 503;
    check.strText = "([N]>(0))";
    db.modules = {view, check};
    TableSpec t = Numbers(501, "T", 3, 0);
    qw::IndexSpec pk;
    pk.strName = "PK_T";
    pk.bPrimaryKey = true;
    pk.bUnique = true;
    pk.columnIds = {1};
    t.object.indexes = {pk};
    Browsed b({t}, db);
    // A folder resolves to nothing.
    b.Click(b.Node({"Views"}));
    EXPECT_EQ(b.Caption(), "Views[0]");
    EXPECT_EQ(b.Label(), "Page1 - [0](0-0) Records");
    EXPECT_EQ(b.h.LastLine(), "Scanning process completed.");
    EXPECT_EQ(b.h.wf.LastResult(), 1);
    // The database node asks for nothing.
    b.Click(b.Node({}));
    EXPECT_EQ(b.h.wf.LastResult(), 0);
    EXPECT_FALSE(b.h.wf.Busy());

    // The table's rows, then its key's script in the text view.
    b.Click("T");
    EXPECT_EQ(b.Items(), 3);
    const TreeItem key = b.Node({"Tables", "User Tables", "T", "PrimaryKey", "PK_T"});
    ASSERT_NE(key, kTreeRoot);
    b.Click(key);
    EXPECT_TRUE(b.h.ports.textView.Shown());
    EXPECT_FALSE(b.h.ports.records.Shown());
    EXPECT_EQ(b.h.ports.textView.Text(), "ALTER TABLE T ADD PRIMARY KEY ( N )");
    EXPECT_EQ(b.Caption(), "PK_T[0]");
    // A module's text and a check constraint's script.
    b.Click(b.Node({"Views", "V_T"}));
    EXPECT_EQ(b.h.ports.textView.Text(), "CREATE VIEW V_T AS SELECT N FROM T");
    EXPECT_EQ(b.Caption(), "V_T[0]");
    b.Click(b.Node({"Tables", "User Tables", "T", "Constraint", "CK_T_N"}));
    EXPECT_EQ(b.h.ports.textView.Text(),
              "ALTER TABLE  [dbo].[T] WITH NOCHECK ADD CONSTRAINT[CK_T_N] CHECK ([N]>(0))");
    // The list is emptied of the table's rows and columns; Next has nothing to show.
    EXPECT_EQ(b.Items(), 0);
    EXPECT_EQ(b.h.ports.records.ColumnCount(), 0);
    EXPECT_FALSE(b.CanGoNext());
    b.Next();
    EXPECT_EQ(b.h.wf.LastResult(), 0);
    EXPECT_EQ(b.Items(), 0);
}

TEST(Browser, StopDuringAListingKeepsTheRowsListedSoFar) {
    Browsed b({Numbers(501, "Big", 2500, 100)});
    // Hold the listing at the read of the table's fifth page.
    b.h.gated.GateRead(static_cast<std::uint64_t>(b.w.tables[0].dataPages[4].nPageId) * kPageSize);
    const TreeItem big = b.Node({"Tables", "User Tables", "Big"});
    b.h.ports.objectTree.Select(big);
    b.h.wf.ObjectClicked(big);
    b.h.gated.WaitUntilReached();
    // Busy while it lists: another click is refused and the selection goes back.
    b.h.ports.objectTree.Select(b.Node({"Views"}));
    b.h.wf.ObjectClicked(b.Node({"Views"}));
    EXPECT_EQ(b.h.ports.boxes.Texts().back(), kTextBusy);
    EXPECT_EQ(b.h.ports.objectTree.Selection(), big);
    b.h.wf.Stop();
    b.h.gated.Release();
    b.h.wf.Wait();
    EXPECT_EQ(b.Items(), 400);
    EXPECT_EQ(b.Caption(), "Big[400]");
    EXPECT_EQ(b.Label(), "Page1 - [400](1-400) Records");
    EXPECT_FALSE(b.CanGoNext());
    EXPECT_FALSE(b.h.app.m_bStopRequested);
    EXPECT_FALSE(b.h.wf.Busy());
    // The next click lists in full.
    b.Click("Big");
    EXPECT_EQ(b.Items(), 1000);
}
