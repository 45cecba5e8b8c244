// The scan driver and the object tree through in-memory ports: the lines of a scan, files that
// cannot be used, the placeholders, the folders and their order, table expansion, the busy and
// stop protocol.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "WorkflowFixture.h"
#include "support/TestFiles.h"
#include "workflow/ActivityLog.h"

using namespace wft;
using qw::Bytes;
using ::testing::ElementsAre;

namespace {

qw::DatabaseSpec ShopSpec() {
    qw::DatabaseSpec db;
    db.strName = "Shop";
    qw::ObjectSpec orders = Obj(501, "Orders", "U ", {Col("Id"), Col("Note", qw::ST_NVARCHAR, 80)});
    qw::IndexSpec pk;
    pk.strName = "PK_Orders";
    pk.bPrimaryKey = true;
    pk.bUnique = true;
    pk.columnIds = {1};
    orders.indexes = {pk};
    db.objects = {orders, Obj(502, "PK_Orders", "PK", {}, 501),
                  Obj(503, "CK_Orders_Id", "C ", {}, 501), Obj(504, "V_Orders", "V ")};
    return db;
}

Bytes Written(const qw::DatabaseSpec& db) {
    return qw::WriteDatabase(db).Build();
}

std::string ReadAll(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(Scan, WritesEveryStageAndFillsTheTree) {
    Harness h;
    h.files.Add("C:\\data\\x.mdf", Written(ShopSpec()));
    qw::TempDir dir;
    ASSERT_TRUE(h.Scan("C:\\data\\x.mdf", dir.Path().string() + "/"));
    EXPECT_EQ(h.wf.LastResult(), 1);
    EXPECT_FALSE(h.wf.Busy());
    const auto lines = h.Lines();
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], "C:\\data\\x.mdf File is selected for recovery....");
    // Every backslash doubled, and the line itself ends with CR LF.
    EXPECT_EQ(lines[1], "Browse File Path:\tC:\\\\data\\\\x.mdf\r\n");
    EXPECT_EQ(lines[2], "Standard mode is selected for file recovery.");
    EXPECT_EQ(lines[3], "Scanning of file starts...");
    EXPECT_THAT(lines[4], ::testing::StartsWith("Database version:  "));
    EXPECT_EQ(lines[5], "Collation Type: SQL_Latin1_General_CP1_CI_AS");
    EXPECT_EQ(lines[6], "Creating Tree.........");
    EXPECT_EQ(lines[7], "Process done.........");
    EXPECT_EQ(lines.back(), kTextCompleted);
    EXPECT_EQ(h.ports.boxes.Texts().back(), "Scanning process completed.");
    EXPECT_EQ(h.ports.caption.Text(), "Scanning completed for selected mdf file");
    EXPECT_FALSE(h.ports.progress.Shown());

    // The log file has an empty line after the browse line.
    const std::string bytes = ReadAll(h.app.m_strLogFilePath);
    EXPECT_NE(bytes.find(Utf16LeBytes("Browse File Path:\tC:\\\\data\\\\x.mdf\r\n\r\n"
                                      "Standard mode")),
              std::string::npos);

    const CMemoryTree& t = h.ports.objectTree;
    EXPECT_THAT(t.ChildTexts(kTreeRoot), ElementsAre("Shop"));
    EXPECT_THAT(t.ChildTexts(t.Find({"Shop", "Tables", "User Tables"})), ElementsAre("Orders"));
    EXPECT_THAT(t.ChildTexts(t.Find({"Shop", "Views"})), ElementsAre("V_Orders"));
    // Constraints get no node of their own in the folders.
    EXPECT_EQ(t.Find({"Shop", "Programmability", "Default", "CK_Orders_Id"}), kTreeRoot);
    // A table without data pages is not bold.
    EXPECT_FALSE(t.IsBold(t.Find({"Shop", "Tables", "User Tables", "Orders"})));
}

TEST(Scan, FolderOrderAndSorts) {
    qw::DatabaseSpec db;
    std::int32_t nId = 600;
    for (const char* n : {"b", "a", "c"}) db.objects.push_back(Obj(nId++, n, "U ", {Col("x")}));
    for (const char* n : {"b", "a", "c"})
        db.objects.push_back(Obj(nId++, std::string("v") + n, "V "));
    for (const char* n : {"q", "p", "r"}) db.objects.push_back(Obj(nId++, n, "P "));
    for (const char* n : {"g", "f"}) db.objects.push_back(Obj(nId++, n, "FN"));
    db.objects.push_back(Obj(nId++, "h", "IF"));
    for (const char* n : {"t2", "t1"}) db.objects.push_back(Obj(nId++, n, "TR", {}, 600));
    Harness h;
    h.files.Add("/db/f.mdf", Written(db));
    ASSERT_TRUE(h.Scan("/db/f.mdf"));
    const CMemoryTree& t = h.ports.objectTree;
    EXPECT_THAT(t.ChildTexts(t.Find({"Sample"})),
                ElementsAre("Views", "Programmability", "Tables"));
    EXPECT_THAT(t.ChildTexts(t.Find({"Sample", "Programmability"})),
                ElementsAre("Triggers", "Default", "Store Procedure", "Function"));
    EXPECT_THAT(t.ChildTexts(t.Find({"Sample", "Tables"})),
                ElementsAre("System Tables", "User Tables"));
    EXPECT_THAT(t.ChildTexts(t.Find({"Sample", "Tables", "User Tables"})),
                ElementsAre("a", "b", "c"));
    // Views keep the reverse of the catalog order; procedures and functions are sorted.
    EXPECT_THAT(t.ChildTexts(t.Find({"Sample", "Views"})), ElementsAre("vc", "va", "vb"));
    EXPECT_THAT(t.ChildTexts(t.Find({"Sample", "Programmability", "Store Procedure"})),
                ElementsAre("p", "q", "r"));
    EXPECT_THAT(t.ChildTexts(t.Find({"Sample", "Programmability", "Function"})),
                ElementsAre("f", "g", "h"));
    EXPECT_THAT(t.ChildTexts(t.Find({"Sample", "Programmability", "Triggers"})),
                ElementsAre("t1", "t2"));
    const TreeItem a = t.Find({"Sample", "Tables", "User Tables", "a"});
    EXPECT_EQ(t.ItemData(a), 1u);
    EXPECT_THAT(t.ChildTexts(a), ElementsAre("Columns"));
    EXPECT_EQ(t.ItemData(t.Find({"Sample", "Tables"})), 0u);
}

TEST(Scan, TableExpandsOnceOnItsFirstClick) {
    Harness h;
    h.files.Add("/db/shop.mdf", Written(ShopSpec()));
    ASSERT_TRUE(h.Scan("/db/shop.mdf"));
    CMemoryTree& t = h.ports.objectTree;
    const TreeItem orders = t.Find({"Shop", "Tables", "User Tables", "Orders"});
    ASSERT_NE(orders, kTreeRoot);
    t.Select(orders);
    h.wf.ObjectClicked(orders);
    h.wf.Wait();
    EXPECT_THAT(t.ChildTexts(orders),
                ElementsAre("ForeignKey", "Unique", "Constraint", "PrimaryKey", "Columns"));
    const auto columns =
        t.ChildTexts(t.Find({"Shop", "Tables", "User Tables", "Orders", "Columns"}));
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_THAT(columns[0], ::testing::StartsWith("Id"));
    EXPECT_THAT(columns[1], ::testing::StartsWith("Note"));
    EXPECT_THAT(t.ChildTexts(h.wf.Tree().LastPrimaryKeyFolder()), ElementsAre("PK_Orders"));
    EXPECT_THAT(t.ChildTexts(t.Find({"Shop", "Tables", "User Tables", "Orders", "Constraint"})),
                ElementsAre("CK_Orders_Id"));
    EXPECT_TRUE(h.HasLine("Please wait while Orders folder is scanning."));
    EXPECT_EQ(h.LastLine(), "Scanning process completed.");
    EXPECT_EQ(h.ports.caption.Text(), "Orders[0]");

    h.wf.ObjectClicked(orders);
    h.wf.Wait();
    EXPECT_EQ(t.ChildTexts(orders).size(), 5u);

    // What clicks ask for.
    const ClickTarget pk = h.wf.Tree().Classify(t.Children(h.wf.Tree().LastPrimaryKeyFolder())[0]);
    EXPECT_EQ(pk.kind, ClickKind::PrimaryKey);
    EXPECT_EQ(h.wf.Tree().Classify(t.Find({"Shop"})).kind, ClickKind::Nothing);
    const ClickTarget view = h.wf.Tree().Classify(t.Find({"Shop", "Views", "V_Orders"}));
    EXPECT_EQ(view.kind, ClickKind::Other);
    EXPECT_EQ(view.strType, "P ");
    const ClickTarget table = h.wf.Tree().Classify(orders);
    EXPECT_EQ(table.kind, ClickKind::Table);
    EXPECT_EQ(table.strType, "U ");
}

TEST(Scan, NonDatabaseFileAbortsAndOpenWorksAgain) {
    Harness h;
    h.files.Add("/db/notes.txt", Bytes(100, 'x'));
    h.files.Add("/db/shop.mdf", Written(ShopSpec()));
    ASSERT_TRUE(h.Scan("/db/notes.txt"));
    EXPECT_EQ(h.wf.LastResult(), 0);
    const auto boxes = h.ports.boxes.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].icon, BoxIcon::Stop); // the file set's own box first
    EXPECT_EQ(boxes[1].strText, kTextAborted);
    EXPECT_EQ(h.LastLine(), kTextAborted);
    EXPECT_EQ(h.app.m_nRunning.load(), 0);
    EXPECT_FALSE(h.wf.Session().m_pReader);
    EXPECT_FALSE(h.wf.Session().m_pCatalog);
    EXPECT_EQ(h.ports.objectTree.ItemCount(), 0u);

    ASSERT_TRUE(h.Scan("/db/shop.mdf"));
    EXPECT_EQ(h.wf.LastResult(), 1);
    EXPECT_EQ(h.LastLine(), kTextCompleted);
}

TEST(Scan, MissingFileAborts) {
    Harness h;
    ASSERT_TRUE(h.Scan("/db/none.mdf"));
    EXPECT_EQ(h.LastLine(), kTextAborted);
    EXPECT_EQ(h.ports.boxes.Texts().front(), kTextCannotOpen);
}

TEST(Scan, EmptyObjectListEndsWithoutBox) {
    qw::DatabaseSpec db;
    Harness h;
    h.files.Add("/db/empty.mdf", Written(db));
    ASSERT_TRUE(h.Scan("/db/empty.mdf"));
    ASSERT_TRUE(h.wf.Session().m_pCatalog);
    if (!h.wf.Session().m_pCatalog->m_objects.empty())
        GTEST_SKIP() << "the written catalog lists objects of its own";
    EXPECT_EQ(h.LastLine(), "Either it is not valid mdf file or highly corrupted, select another "
                            "file to recover.");
    EXPECT_TRUE(h.ports.boxes.Boxes().empty());
    EXPECT_EQ(h.ports.objectTree.ItemCount(), 0u);
    EXPECT_FALSE(h.wf.Busy());
}

TEST(Scan, PlaceholdersForUnknownVersionCollationAndName) {
    qw::DatabaseSpec db = ShopSpec();
    db.nCollationId = 12345; // not in the collation list
    Harness h;
    h.files.Add("/db/x.mdf", Written(db));
    h.app.m_strVersion.clear();
    ASSERT_TRUE(h.Scan("/db/x.mdf"));
    EXPECT_TRUE(h.HasLine("Collation Type: Unknown Collation"));
    EXPECT_EQ(h.app.m_strCollationName, "Unknown Collation");

    // A version nobody knows is logged with the placeholder text.
    qw::DatabaseSpec unknown = ShopSpec();
    unknown.nVersion = 600;
    Bytes file = Written(unknown);
    // No name in the boot page (its 104 name units zero).
    std::fill(file.begin() + 9 * 8192 + 148, file.begin() + 9 * 8192 + 148 + 208, 0);
    Harness h2;
    h2.files.Add("/db/y.mdf", file);
    ASSERT_TRUE(h2.Scan("/db/y.mdf"));
    EXPECT_TRUE(h2.HasLine("Database version: Unknown SQL Version"));
    EXPECT_THAT(h2.ports.objectTree.ChildTexts(kTreeRoot), ElementsAre("RepairDataBase"));
}

TEST(Scan, BusyRefusalAndStopDuringTheScan) {
    // A database listing a secondary file: its opening, during the catalog construction, holds
    // the worker until the test lets it go.
    qw::DatabaseSpec db = ShopSpec();
    db.files = {{1, "shop", "C:\\sql\\shop.mdf", 2}, {3, "shop2", "C:\\sql\\shop2.ndf", 2}};
    Harness h;
    h.files.Add("/db/shop.mdf", Written(db));
    h.files.Add("/db/other.mdf", Written(ShopSpec()));
    h.gated.Gate("/db/shop2.ndf");
    ASSERT_TRUE(h.wf.Open(h.Settings("/db/shop.mdf")));
    h.gated.WaitUntilReached();

    EXPECT_TRUE(h.wf.Busy());
    EXPECT_FALSE(h.wf.Open(h.Settings("/db/other.mdf")));
    h.wf.ObjectClicked(kTreeRoot);
    h.wf.NextRecords();
    EXPECT_EQ(h.ports.boxes.Texts(), std::vector<std::string>(3, kTextBusy));
    EXPECT_EQ(h.wf.Close(), CloseResult::Refused);

    h.ports.boxes.PushAnswer(BoxAnswer::No);
    h.wf.Stop();
    EXPECT_FALSE(h.app.m_bStopRequested.load());
    h.ports.boxes.PushAnswer(BoxAnswer::Yes);
    h.wf.Stop();
    EXPECT_TRUE(h.app.m_bStopRequested.load());
    // The busy state lasts until the worker has ended.
    EXPECT_TRUE(h.wf.Busy());
    h.gated.Release();
    h.wf.Wait();

    EXPECT_FALSE(h.wf.Busy());
    EXPECT_EQ(h.app.m_nRunning.load(), 0);
    // The scan went on after the stop and ended with one of its closing lines.
    const std::string strLast = h.LastLine();
    EXPECT_TRUE(strLast == kTextCompleted ||
                strLast == "Either it is not valid mdf file or highly corrupted, select another "
                           "file to recover.")
        << strLast;
    EXPECT_FALSE(h.HasLine("/db/other.mdf File is selected for recovery...."));
    EXPECT_EQ(h.ports.boxes.Boxes()[4].strText, kTextStopQuestion);
    EXPECT_EQ(h.ports.boxes.Boxes()[4].icon, BoxIcon::Question);

    // Now idle: the next Open runs, and the stop made for the last scan does not reach it.
    ASSERT_TRUE(h.Scan("/db/other.mdf"));
    EXPECT_EQ(h.LastLine(), kTextCompleted);
}

TEST(Scan, StopWhileIdleDoesNothingAndCloseShowsTheLog) {
    Harness h;
    h.files.Add("/db/shop.mdf", Written(ShopSpec()));
    h.wf.Stop();
    EXPECT_TRUE(h.ports.boxes.Boxes().empty());
    qw::TempDir dir;
    ASSERT_TRUE(h.Scan("/db/shop.mdf", dir.Path().string() + "/"));
    h.ports.boxes.PushAnswer(BoxAnswer::No);
    EXPECT_EQ(h.wf.Close(), CloseResult::Cancelled);
    EXPECT_TRUE(h.wf.Session().m_pCatalog);
    EXPECT_EQ(h.wf.Close(), CloseResult::Close);
    EXPECT_FALSE(h.wf.Session().m_pCatalog);
    EXPECT_EQ(h.ports.boxes.Texts().back(), "Log file path : " + h.app.m_strLogFilePath);
}

TEST(Scan, DocumentOptionArrangesTheWindowAndStillBuildsTheObjectTree) {
    Harness h;
    h.files.Add("/db/shop.mdf", Written(ShopSpec()));
    ScanSettings s = h.Settings("/db/shop.mdf");
    s.nRecoveryOption = RECOVERY_DOCUMENTS;
    s.nScanMode = SCAN_MODE_ADVANCED;
    ASSERT_TRUE(h.wf.Open(s));
    h.wf.Wait();
    EXPECT_TRUE(h.ports.window.Maximised());
    EXPECT_FALSE(h.ports.objectTree.Shown());
    EXPECT_TRUE(h.ports.documentTree.Shown());
    EXPECT_FALSE(h.ports.textView.Shown());
    // A database without SharePoint tables: the document tree holds its two roots.
    EXPECT_EQ(h.ports.documentTree.ChildTexts(kTreeRoot),
              (std::vector<std::string>{"SharePointACTUAL", "SharePointData"}));
    EXPECT_TRUE(h.HasLine("Advanced mode is selected for file recovery."));
    EXPECT_NE(h.ports.objectTree.Find({"Shop", "Tables", "User Tables", "Orders"}), kTreeRoot);
}
