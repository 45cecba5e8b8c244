// The activity log: its file name, its bytes, appending within a second, the row line and a
// log folder that cannot be written.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/TestFiles.h"
#include "workflow/ActivityLog.h"
#include "workflow/MemoryPorts.h"

namespace {

std::tm Local(int d, int mo, int y, int h, int mi, int s) {
    std::tm t{};
    t.tm_mday = d;
    t.tm_mon = mo - 1;
    t.tm_year = y - 1900;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return t;
}

std::string ReadAll(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct LogHarness {
    CDravoltBrevantProjApp app;
    CMemoryPorts ports;
    CActivityLog log{app, ports.output, ports.caption, ports.boxes};
};

} // namespace

TEST(ActivityLog, NameHasNoLeadingZeros) {
    const struct {
        std::tm t;
        const char* expected;
    } cases[] = {
        {Local(7, 3, 2014, 9, 5, 30), "DravoltSharepointDatabaseRec_log_7-3-2014-9-5-30.txt"},
        {Local(31, 12, 1999, 23, 59, 59),
         "DravoltSharepointDatabaseRec_log_31-12-1999-23-59-59.txt"},
        {Local(1, 1, 2000, 0, 0, 0), "DravoltSharepointDatabaseRec_log_1-1-2000-0-0-0.txt"},
    };
    for (const auto& c : cases) EXPECT_EQ(LogFileName(&c.t), c.expected);
    EXPECT_EQ(LogFileName(nullptr), "DravoltSharepointDatabaseRec_log_0-0-0--1--1--1.txt");
}

TEST(ActivityLog, FileBytesAndAppendingWithinOneSecond) {
    qw::TempDir dir;
    LogHarness h;
    h.app.m_strLogFolder = dir.Path().string() + "/";
    h.app.m_strMdfPath = "/data/x.mdf";
    const std::tm t = Local(7, 3, 2014, 9, 5, 30);
    h.log.Start(&t);
    const std::string strPath = dir.File("DravoltSharepointDatabaseRec_log_7-3-2014-9-5-30.txt");
    EXPECT_EQ(h.app.m_strLogFilePath, strPath);

    const std::string sep = "\r\n" + std::string(80, '*') + "\r\n";
    const std::string line = "/data/x.mdf File is selected for recovery....\r\n";
    std::string expected = "\xFF\xFE" + Utf16LeBytes(sep) + Utf16LeBytes(line);
    EXPECT_EQ(ReadAll(strPath), expected);
    // Each character is two bytes, CR LF is 0D 00 0A 00.
    EXPECT_EQ(ReadAll(strPath).substr(2, 4), std::string("\r\0\n\0", 4));

    // The same second again: a second separator and line, no second byte-order mark.
    h.app.m_strMdfPath = "/data/y.mdf";
    h.log.Start(&t);
    h.log.WriteLine("Scanning of file starts...");
    expected += Utf16LeBytes(sep) +
                Utf16LeBytes("/data/y.mdf File is selected for recovery....\r\n") +
                Utf16LeBytes("Scanning of file starts...\r\n");
    EXPECT_EQ(ReadAll(strPath), expected);
    // The pane gets the lines but no separator.
    EXPECT_EQ(h.ports.output.Lines(),
              (std::vector<std::string>{"/data/x.mdf File is selected for recovery....",
                                        "/data/y.mdf File is selected for recovery....",
                                        "Scanning of file starts..."}));
    EXPECT_EQ(h.app.m_nOutputLine.load(), 3);
    EXPECT_TRUE(h.ports.boxes.Boxes().empty());
}

TEST(ActivityLog, RowLineReplacesTheLastOutputLine) {
    qw::TempDir dir;
    LogHarness h;
    h.app.m_strLogFolder = dir.Path().string() + "/";
    const std::tm t = Local(1, 2, 2020, 3, 4, 5);
    h.log.Start(&t);
    h.log.WriteLine("Please wait while Customers folder is scanning.");
    h.log.RowLine(" row 1 inserted", false);
    h.log.RowLine(" row 2 inserted", true);
    const auto lines = h.ports.output.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], " row 2 inserted");
    EXPECT_EQ(h.ports.caption.Text(), " row 2 inserted");
    const std::string bytes = ReadAll(h.app.m_strLogFilePath);
    const std::string tail = Utf16LeBytes("Please wait while Customers folder is scanning.\r\n"
                                          " row 2 inserted\r\n");
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
}

TEST(ActivityLog, UnwritableFolderIsReportedOnceAndTheLinesStillShow) {
    LogHarness h;
    h.app.m_strLogFolder = "/nonexistent-quarvel-folder/";
    const std::tm t = Local(1, 2, 2020, 3, 4, 5);
    h.log.Start(&t);
    h.log.WriteLine("Scanning of file starts...");
    h.log.WriteLine("Scanning process aborted.");
    EXPECT_FALSE(h.log.HasFile());
    ASSERT_EQ(h.ports.boxes.Boxes().size(), 1u);
    EXPECT_EQ(h.ports.boxes.Boxes()[0].icon, BoxIcon::Stop);
    EXPECT_EQ(h.ports.output.Lines().size(), 3u);
}

TEST(ActivityLog, Utf16OfNonAsciiAndMalformedText) {
    EXPECT_EQ(Utf16LeBytes("a\xC3\xA9"), std::string("a\0\xE9\0", 4));
    EXPECT_EQ(Utf16LeBytes("\xF0\x9F\x98\x80"), std::string("\x3D\xD8\x00\xDE", 4));
    EXPECT_EQ(Utf16LeBytes("\xFF"), std::string("\xFD\xFF", 2));
    EXPECT_EQ(Utf16LeBytes("\xE2\x82"), std::string("\xFD\xFF\xFD\xFF", 4));
}
