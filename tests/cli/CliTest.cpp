// The quarvel command as a script sees it: output, exit status and messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <sys/wait.h>

#include <filesystem>

#include "support/DatabaseWriter.h"
#include "support/TestFiles.h"

using namespace qw;

namespace {

struct Result {
    int nExit = -1;
    std::string out, err;
};

Result RunQuarvel(const std::string& args) {
    TempDir dir;
    const std::string errPath = dir.File("stderr");
    const std::string cmd = std::string(QUARVEL_BINARY) + " " + args + " 2>" + errPath;
    Result r;
    FILE* p = ::popen(cmd.c_str(), "r");
    std::array<char, 4096> buf;
    for (std::size_t n; (n = std::fread(buf.data(), 1, buf.size(), p)) > 0;)
        r.out.append(buf.data(), n);
    const int status = ::pclose(p);
    r.nExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    FILE* e = std::fopen(errPath.c_str(), "r");
    for (std::size_t n; e && (n = std::fread(buf.data(), 1, buf.size(), e)) > 0;)
        r.err.append(buf.data(), n);
    if (e) std::fclose(e);
    return r;
}

std::string Quoted(const std::string& s) {
    return "'" + s + "'";
}

} // namespace

TEST(Cli, PagesAsJson) {
    TempDir dir;
    FileBuilder f = SkeletonFile(24);
    f.SetPage(16, SystemTablePage(7, {16, 1}));
    f.SetPage(20, PageBuilder(PT_DATA, 500, {20, 1}));
    f.SetPage(21, PageBuilder(PT_IAM, 500, {21, 1}));
    const std::string db = dir.Write("my \"db\".mdf", f.Trailing(100));
    const Result r = RunQuarvel("pages " + Quoted(db) + " --format json");
    EXPECT_EQ(r.nExit, 0) << r.err;
    EXPECT_EQ(r.out, "{\"path\":\"" + dir.File("my \\\"db\\\".mdf") +
                         "\",\"length\":196708,\"pages\":24,\"base_offset\":0,\"open\":true,"
                         "\"system\":{\"7\":1,\"99\":7},\"data\":{\"7\":1,\"500\":1},"
                         "\"iam\":{\"500\":1},\"secondary\":[]}\n");
    EXPECT_EQ(r.err, ""); // no progress when stderr is not a terminal
}

TEST(Cli, PagesWithSecondaryFiles) {
    TempDir dir;
    FileBuilder f = SkeletonFile(24);
    f.SetPage(16, SystemTablePage(7, {16, 1}));
    const std::string db = dir.Write("db.mdf", f);
    FileBuilder s = SkeletonFile(12, 3);
    s.SetPage(10, PageBuilder(PT_DATA, 500, {10, 3}));
    const std::string ndf = dir.Write("db_2.ndf", s);
    const std::string bad = dir.Write("bad.ndf", SkeletonFile(12, 1));
    const Result r =
        RunQuarvel("pages " + Quoted(db) + " --ndf " + Quoted(ndf) + " --ndf " + Quoted(bad));
    EXPECT_EQ(r.nExit, 0) << r.err;
    EXPECT_NE(r.out.find("Secondary:   file id 3, " + ndf + ", 12 pages, base offset 0"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Not mapped:  " + bad), std::string::npos) << r.out;
}

TEST(Cli, ExitStatusAndMessages) {
    TempDir dir;
    const std::string shortFile = dir.WriteBytes("short.mdf", Bytes(100, 0));
    struct Case {
        std::string args;
        int nExit;
        std::string errContains;
    };
    const Case cases[] = {
        {"pages " + Quoted(dir.File("missing.mdf")), 1, "File cannot be open..........."},
        {"pages " + Quoted(dir.Path().string()), 1, "File cannot be open..........."},
        {"pages " + Quoted(shortFile), 1,
         "Wheteher File is not valid mdf file or file is highly corrupted..........."},
        {"", 2, "no command"},
        {"pages", 2, "one data file"},
        {"pages a b", 2, "one data file"},
        {"pages x.mdf --format xml", 2, "unknown format"},
        {"pages x.mdf --ndf", 2, "--ndf needs a path"},
        {"pages x.mdf --bogus", 2, "unknown option"},
        {"frobnicate x.mdf", 2, "unknown command"},
    };
    for (const Case& c : cases) {
        const Result r = RunQuarvel(c.args);
        EXPECT_EQ(r.nExit, c.nExit) << c.args;
        EXPECT_NE(r.err.find(c.errContains), std::string::npos) << c.args << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.args;
    }
    const Result help = RunQuarvel("--help");
    EXPECT_EQ(help.nExit, 0);
    EXPECT_NE(help.out.find("--format"), std::string::npos);
}

TEST(Cli, InfoAsJson) {
    TempDir dir;
    DatabaseSpec db;
    db.strName = "Shop";
    ObjectSpec t;
    t.nId = 501;
    t.strName = "Orders \"2024\"";
    t.columns = {ColumnSpec{}};
    t.columns[0].strName = "Id";
    db.objects = {t};
    db.files = {{1, "Shop", "C:\\Shop.mdf", 2}, {3, "Shop2", "C:\\Shop2.ndf", 2}};
    const std::string path = dir.Write("shop.mdf", WriteDatabase(db));
    const Result r = RunQuarvel("info " + Quoted(path) + " --format json");
    EXPECT_EQ(r.nExit, 0) << r.err;
    EXPECT_EQ(r.out, "{\"version\":\" SQL Server 2008\",\"database\":\"Shop\",\"collation\":"
                     "\"SQL_Latin1_General_CP1_CI_AS\",\"sql2000\":false,\"files\":["
                     "{\"id\":1,\"name\":\"Shop\",\"path\":\"" +
                         path +
                         "\",\"pages\":" + std::to_string(std::filesystem::file_size(path) / 8192) +
                         ",\"found\":true,\"log\":false},"
                         "{\"id\":3,\"name\":\"Shop2\",\"path\":\"" +
                         dir.File("Shop2.ndf") +
                         "\",\"pages\":0,\"found\":false,\"log\":false}],"
                         "\"objects\":[{\"id\":501,\"name\":\"Orders \\\"2024\\\"\",\"type\":\"U "
                         "\",\"parent\":0}],"
                         "\"tables\":[{\"name\":\"Orders \\\"2024\\\"\",\"columns\":[\"Id  "
                         "int(4)\"],\"constraints\":[]}]}\n");
    const Result text = RunQuarvel("info " + Quoted(path));
    EXPECT_NE(text.out.find("(missing: not found beside the primary file)"), std::string::npos)
        << text.out;
    const Result bad = RunQuarvel("info " + Quoted(path) + " --collation Klingon_CI_AS");
    EXPECT_EQ(bad.nExit, 2);
}

TEST(Cli, RowsAndReportOnARealFile) {
    QUARVEL_REQUIRE_CORPUS();
    const std::string db = Quoted((CorpusDir() / "nw2.mdf").string());
    const Result json = RunQuarvel("rows " + db + " Shippers --format json");
    EXPECT_EQ(json.nExit, 0) << json.err;
    EXPECT_EQ(
        json.out,
        "{\"table\":\"Shippers\",\"columns\":[\"ShipperID\",\"CompanyName\",\"Phone\"],\"rows\":["
        "[\"1\",\"Speedy Express\",\"(503) 555-9831\"],[\"2\",\"United Package\",\"(503) "
        "555-3199\"],"
        "[\"3\",\"Federal Shipping\",\"(503) 555-9931\"]],\"page\":\"Page1 - [3](1-3) "
        "Records\"}\n");
    // CSV quotes fields with commas, quotes and line breaks, and ends lines with CR LF.
    const Result csv = RunQuarvel("rows " + db + " Employees --format csv");
    EXPECT_EQ(csv.nExit, 0);
    EXPECT_NE(csv.out.find("\"Vice President, Sales\""), std::string::npos);
    EXPECT_NE(csv.out.find("\"507 - 20th Ave. E.\r\nApt. 2A\""), std::string::npos);
    EXPECT_NE(csv.out.find("\r\n2,Fuller,"), std::string::npos);
    // Screen pages of 1000 rows.
    const Result second = RunQuarvel("rows " + db + " \"Order Details\" --screen 3 --format json");
    EXPECT_EQ(std::count(second.out.begin(), second.out.end(), '['), 1 + 155 + 1 + 1);
    EXPECT_NE(second.out.find("\"page\":\"Page3 - [155](2001-2155) Records\"}"), std::string::npos);
    const Result text = RunQuarvel("rows " + db + " \"Order Details\" --screen 2");
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 1 + 1000);
    EXPECT_EQ(text.err, "Page2 - [1000](1001-2000) Records\n");
    const Result past = RunQuarvel("rows " + db + " \"Order Details\" --screen 4");
    EXPECT_EQ(past.nExit, 2);
    EXPECT_EQ(past.err, "quarvel: 'Order Details' has 3 screen pages of rows\n");
    const Result missing = RunQuarvel("rows " + db + " NoSuchTable");
    EXPECT_EQ(missing.nExit, 2);
    EXPECT_NE(missing.err.find("no table 'NoSuchTable'"), std::string::npos);

    const Result report = RunQuarvel("report " + db + " --format json");
    EXPECT_EQ(report.nExit, 0);
    EXPECT_NE(
        report.out.find("{\"name\":\"Order "
                        "Details\",\"pages\":16,\"rows\":2155,\"stored_rows\":2155,\"invalid\":0,"
                        "\"lob_failures\":0}"),
        std::string::npos)
        << report.out;
    EXPECT_NE(report.out.find("\"totals\":{\"tables\":13,"), std::string::npos);
}

TEST(Cli, DocumentTreesOfADatabaseWithoutSharePointTables) {
    QUARVEL_REQUIRE_CORPUS();
    const std::string db = Quoted((CorpusDir() / "nw2.mdf").string());
    const Result r = RunQuarvel("sharepoint " + db + " --format json");
    EXPECT_EQ(r.nExit, 0) << r.err;
    EXPECT_EQ(r.out, "[{\"text\":\"SharePointACTUAL\",\"bold\":false,\"children\":[]},"
                     "{\"text\":\"SharePointData\",\"bold\":false,\"children\":[]}]\n");
}

TEST(Cli, ModuleText) {
    QUARVEL_REQUIRE_CORPUS();
    const std::string db = Quoted((CorpusDir() / "pubs2.mdf").string());
    const Result r = RunQuarvel("module " + db + " byroyalty --format json");
    EXPECT_EQ(r.nExit, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"name\":\"byroyalty\",\"type\":\"P \",\"text\":\"", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("CREATE PROCEDURE byroyalty @percentage int"), std::string::npos) << r.out;
    EXPECT_EQ(RunQuarvel("module " + db + " titles").nExit, 2); // a table has no module text
}
