#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "pagestore/Bytes.h"
#include "pagestore/CMdfReader.h"
#include "support/RecordingNotify.h"
#include "support/TestFiles.h"

using namespace qw;
using ::testing::ElementsAre;

namespace {

// A small valid primary file: allocation pages, a page of sysallocunits (object 7) at 16 and
// a user data page at 20.
FileBuilder SmallDatabase(std::size_t nPages = 24) {
    FileBuilder f = SkeletonFile(nPages);
    f.SetPage(16, SystemTablePage(7, {16, 1}, {RowBuilder().Fixed(LE32(7)).Build()}));
    PageBuilder data(PT_DATA, 500, {20, 1});
    data.AddRow(RowBuilder().Fixed(LE32(42)).Build());
    f.SetPage(20, data);
    return f;
}

struct Opened {
    CDravoltBrevantProjApp app;
    RecordingNotify notify;
    std::unique_ptr<CMdfReader> reader;
    explicit Opened(const std::string& path) {
        reader = std::make_unique<CMdfReader>(path, app, notify);
    }
};

} // namespace

TEST(Reader, RefusesUnusableFiles) {
    TempDir dir;
    std::mt19937 rng(7);
    Bytes random(5 * 8192 + 77);
    for (auto& b : random) b = static_cast<std::uint8_t>(rng());
    std::filesystem::create_directory(dir.Path() / "folder.mdf");
    struct Case {
        std::string name, path, fatal;
    };
    const Case cases[] = {
        {"missing path", dir.File("missing.mdf"), kTextCannotOpen},
        {"directory", dir.File("folder.mdf"), kTextCannotOpen},
        {"empty file", dir.WriteBytes("empty.mdf", {}), kTextNotValid},
        {"8191 bytes", dir.WriteBytes("short.mdf", Bytes(8191, 0)), kTextNotValid},
        {"random bytes", dir.WriteBytes("random.mdf", random), kTextNotValid},
        {"no system page", dir.WriteBytes("zeros.mdf", Bytes(16 * 8192, 0)), kTextNotValid},
    };
    for (const Case& c : cases) {
        Opened o(c.path);
        EXPECT_FALSE(o.reader->IsOpen()) << c.name;
        EXPECT_THAT(o.notify.Texts(MSG_FATAL_ERROR), ElementsAre(c.fatal)) << c.name;
        EXPECT_EQ(o.reader->ReadRawPage({1, 1}), nullptr) << c.name;
    }
}

TEST(Reader, BaseOffsetProbe) {
    TempDir dir;
    FileBuilder damaged(20); // every header carries page id 0 and object 99
    for (std::size_t i = 0; i < 20; ++i) damaged.SetPage(i, PageBuilder(PT_DATA, 99, {0, 1}));
    struct Case {
        std::string name;
        FileBuilder file;
        std::uint64_t nPages, nBase;
        bool bOpen = true;
    };
    const Case cases[] = {
        {"exact one-page file", FileBuilder().SetPage(0, PageBuilder(PT_FILE_HEADER, 99, {0, 1})),
         1, 0},
        {"whole pages", SmallDatabase(), 24, 0},
        {"odd bytes after the last page", SmallDatabase().Trailing(1000), 24, 0},
        {"odd bytes before the first page", SmallDatabase().Leading(1000), 24, 1000},
        // No page says where pages start: the odd bytes are taken to lie in front.
        {"every header damaged, odd bytes before", FileBuilder(damaged).Leading(300), 20, 300},
        {"every header damaged, odd bytes after", FileBuilder(damaged).Trailing(300), 20, 300,
         false},
        {"every header damaged, whole pages", damaged, 20, 0},
    };
    for (const Case& c : cases) {
        Opened o(dir.Write("probe.mdf", c.file));
        EXPECT_EQ(o.reader->IsOpen(), c.bOpen) << c.name;
        EXPECT_EQ(o.reader->PageCount(), c.nPages) << c.name;
        EXPECT_EQ(o.reader->ExtentCount(), c.nPages / 8) << c.name;
        EXPECT_EQ(o.reader->BaseOffset(), c.nBase) << c.name;
        if (!c.bOpen) continue;
        const auto status = o.notify.Texts(MSG_STATUS_TEXT);
        EXPECT_THAT(status,
                    ElementsAre("Checking for file corruption ...........",
                                "Checking for file corruption is done...........",
                                "Mapping Database Objects...........",
                                "Mapping of Database Objects has been done ......................"))
            << c.name;
    }
    // With the odd bytes in front, page 20 is still found where its header says.
    Opened o(dir.Write("lead.mdf", SmallDatabase().Leading(1000)));
    auto h = o.reader->ReadPageHeader({20, 1});
    ASSERT_TRUE(h);
    EXPECT_EQ(h->m_nObjectId, 500);
}

TEST(Reader, PageIdRangesPerOperation) {
    TempDir dir;
    Opened o(dir.Write("db.mdf", SmallDatabase()));
    CMdfReader& r = *o.reader;
    ASSERT_TRUE(r.IsOpen());
    EXPECT_EQ(r.ReadRawPage({0, 1}), nullptr);
    EXPECT_FALSE(r.ReadPageHeader({0, 1}));
    EXPECT_FALSE(r.ReadPageHeaderKeep({0, 1}));
    EXPECT_EQ(r.ReadDataPage({0, 1}), nullptr);
    EXPECT_EQ(r.ReadShiftCorrectedPage({0, 1}), nullptr);
    ASSERT_NE(r.ReadCatalogPage({0, 1}), nullptr);
    EXPECT_EQ(r.ReadCatalogPage({0, 1})->Header().m_nPageType, PT_FILE_HEADER);

    // Page id == page count is accepted and reads zeros past the end; beyond it is refused.
    auto last = r.ReadRawPage({24, 1});
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(
        std::all_of(last.get(), last.get() + kPageBufferSize, [](auto b) { return b == 0; }));
    EXPECT_EQ(r.ReadRawPage({25, 1}), nullptr);
    EXPECT_EQ(r.ReadRawPage({-1, 1}), nullptr);
    for (std::int16_t nFile : {0, -1, 2, 7}) EXPECT_EQ(r.ReadRawPage({5, nFile}), nullptr) << nFile;

    auto keep = r.ReadPageHeaderKeep({20, 1});
    ASSERT_TRUE(keep);
    ASSERT_NE(r.CurrentPage(), nullptr);
    EXPECT_EQ(r.CurrentPage()[1], PT_DATA);
    r.ReleaseCurrentPage();
    EXPECT_EQ(r.CurrentPage(), nullptr);

    auto page = r.ReadDataPage({20, 1});
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->RecordCount(), 1u);
    ASSERT_NE(page->Record(0), nullptr);
    EXPECT_EQ(page->Record(0)->m_fixedData, LE32(42));
}

TEST(Reader, ShiftCorrectionOfTextPages) {
    // Stored page ids run two ahead of the physical positions: the page that says it is 22
    // lies at 20.
    TempDir dir;
    FileBuilder f = SmallDatabase(30);
    for (std::int32_t n = 18; n < 28; ++n) {
        PageBuilder pb(PT_TEXT_MIX, 600, {n + 2, 1});
        pb.AddRow(RowBuilder().Fixed(LE32(static_cast<std::uint32_t>(n))).Build());
        f.SetPage(static_cast<std::size_t>(n), pb);
    }
    Opened o(dir.Write("shift.mdf", f));
    ASSERT_TRUE(o.reader->IsOpen());
    auto p = o.reader->ReadShiftCorrectedPage({22, 1});
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(le::I32(p.get() + 32), 22);
}

TEST(PageMaps, FilesPagesByHeaderObjectId) {
    TempDir dir;
    FileBuilder f = SmallDatabase(32);
    f.SetPage(21, SystemTablePage(34, {21, 1}));
    f.SetPage(22, PageBuilder(PT_DATA, 64, {22, 1})); // not a listed system object
    f.SetPage(23, PageBuilder(PT_DATA, 0, {23, 1}));  // object 0: nowhere
    f.SetPage(24, PageBuilder(PT_DATA, -5, {24, 1})); // negative: nowhere
    f.SetPage(25, PageBuilder(PT_IAM, 500, {25, 1}));
    f.SetPage(26, PageBuilder(PT_INDEX, 2187, {26, 3})); // header file id is kept as written
    PageBuilder user34(PT_DATA, 34, {27, 1});            // a user allocation unit's page
    user34.Header().nIndexId = 256;
    f.SetPage(27, user34);
    Opened o(dir.Write("maps.mdf", f));
    CMdfReader& r = *o.reader;
    ASSERT_TRUE(r.IsOpen());
    const auto& sys = r.SystemPages();
    EXPECT_THAT(CMdfReader::PagesOf(sys, 34), ElementsAre(PageIndexEntry{1, 21, PT_DATA}));
    EXPECT_THAT(CMdfReader::PagesOf(r.DataPages(), 34),
                ElementsAre(PageIndexEntry{1, 21, PT_DATA}, PageIndexEntry{1, 27, PT_DATA, 256}));
    EXPECT_THAT(CMdfReader::PagesOf(sys, 2187), ElementsAre(PageIndexEntry{3, 26, PT_INDEX}));
    EXPECT_TRUE(CMdfReader::PagesOf(sys, 64).empty());
    EXPECT_THAT(CMdfReader::PagesOf(r.DataPages(), 64),
                ElementsAre(PageIndexEntry{1, 22, PT_DATA}));
    for (std::int32_t id : {0, -5}) {
        EXPECT_TRUE(CMdfReader::PagesOf(sys, id).empty());
        EXPECT_TRUE(CMdfReader::PagesOf(r.DataPages(), id).empty());
    }
    EXPECT_THAT(CMdfReader::PagesOf(r.IamPages(), 500), ElementsAre(PageIndexEntry{1, 25, PT_IAM}));
    EXPECT_THAT(CMdfReader::PagesOf(r.DataPages(), 500),
                ElementsAre(PageIndexEntry{1, 20, PT_DATA}));
    // The allocation pages of object 99, in page order, with their own types.
    std::vector<std::int32_t> types;
    for (const auto& e : CMdfReader::PagesOf(sys, 99)) types.push_back(e.nPageType);
    EXPECT_THAT(types,
                ElementsAre(PT_FILE_HEADER, PT_PFS, PT_GAM, PT_SGAM, PT_DCM, PT_BCM, PT_BOOT));
}

TEST(PageMaps, ProgressAboutAHundredTimesPerFile) {
    TempDir dir;
    struct Case {
        std::size_t nPages;
        std::uint64_t nStep;
    };
    for (const Case c : {Case{8, 1}, Case{101, 2}, Case{1000, 10}}) {
        Opened o(dir.Write("p.mdf", SkeletonFile(c.nPages)));
        ASSERT_TRUE(o.reader->IsOpen());
        // The positions sent after "Mapping Database Objects".
        std::vector<std::uint64_t> pos;
        for (const auto& m : o.notify.m) {
            if (m.id == MSG_PROGRESS_RANGE) pos.clear(); // the mapping pass comes last
            if (m.id == MSG_PROGRESS_POS) pos.push_back(m.nValue);
        }
        std::vector<std::uint64_t> expect{0};
        for (std::uint64_t n = c.nStep; n <= c.nPages; n += c.nStep) expect.push_back(n);
        expect.push_back(c.nPages);
        EXPECT_EQ(pos, expect) << c.nPages;
    }
}

TEST(PageMaps, StopFlagEndsMappingAndIsClearedAfterOpen) {
    TempDir dir;
    CDravoltBrevantProjApp app;
    RecordingNotify n;
    app.m_bStopRequested = true;
    CMdfReader r(dir.Write("db.mdf", SmallDatabase()), app, n);
    EXPECT_FALSE(r.IsOpen()); // nothing was mapped
    EXPECT_FALSE(app.m_bStopRequested);
}

namespace {

// A secondary file whose pages carry nHeaderFileId and hold a page of object 7 and a data page
// of object 500.
FileBuilder SecondaryFileOf(std::int16_t nHeaderFileId, std::size_t nPages = 12) {
    FileBuilder f = SkeletonFile(nPages, nHeaderFileId);
    f.SetPage(8, SystemTablePage(7, {8, nHeaderFileId}));
    f.SetPage(10, PageBuilder(PT_DATA, 500, {10, nHeaderFileId}));
    f.SetPage(11, PageBuilder(PT_IAM, 500, {11, nHeaderFileId}));
    return f;
}

} // namespace

TEST(SecondaryFiles, ListedFilesAreSettledBesideThePrimaryAndMappedUnderTheirId) {
    TempDir dir;
    const std::string primary = dir.Write("Sales.mdf", SmallDatabase());
    dir.Write("Sales_2.ndf", SecondaryFileOf(1).Trailing(500)); // header ids wrong, odd bytes
    dir.Write("archive", SecondaryFileOf(4));                   // a name without an extension
    Opened o(primary);
    std::vector<SecondaryFile> files(4);
    files[0] = {0, 1, "Sales", "D:\\Data\\Sales.mdf", 0, 0, 0};
    files[1] = {2, 3, "Sales2", "D:\\Data\\Sales_2.NDF", 0, 0, 0};
    files[2] = {2, 4, "Archive", "E:/old/archive", 0, 0, 0};
    files[3] = {2, 5, "Gone", "D:\\Data\\missing.ndf", 0, 0, 0};
    o.reader->ResolveSecondaryFiles(files, primary);

    EXPECT_EQ(files[0].strPath, "D:\\Data\\Sales.mdf"); // id 1 is left alone
    EXPECT_EQ(files[1].strPath, dir.File("Sales_2.ndf"));
    EXPECT_EQ(files[2].strPath, dir.File("archive"));
    EXPECT_EQ(files[3].strPath, dir.File("missing.ndf"));
    const auto& table = o.reader->SecondaryFileTable();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.at(3).nPageCount, 12u);
    EXPECT_EQ(table.at(3).nBaseOffset, 0); // the odd bytes lie after the last page
    EXPECT_EQ(table.at(3).strLogicalName, "Sales2");

    // Entries carry the listed ids; IAM pages of secondary files are not recorded.
    const auto& sys7 = CMdfReader::PagesOf(o.reader->SystemPages(), 7);
    EXPECT_THAT(sys7, ElementsAre(PageIndexEntry{1, 16, PT_DATA}, PageIndexEntry{3, 8, PT_DATA},
                                  PageIndexEntry{4, 8, PT_DATA}));
    EXPECT_THAT(CMdfReader::PagesOf(o.reader->IamPages(), 500), ElementsAre());
    EXPECT_EQ(CMdfReader::PagesOf(o.reader->DataPages(), 500).size(), 3u);
    // Object 99 is not a secondary system object.
    EXPECT_EQ(CMdfReader::PagesOf(o.reader->SystemPages(), 99).size(), 7u);

    auto h = o.reader->ReadPageHeader({10, 3});
    ASSERT_TRUE(h);
    EXPECT_EQ(h->m_nObjectId, 500);
    EXPECT_EQ(o.reader->ReadRawPage({10, 5}), nullptr);
}

TEST(SecondaryFiles, FolderSearchWhenNoFileIsListed) {
    TempDir dir;
    const std::string primary = dir.Write("db.mdf", SmallDatabase());
    dir.Write("a.ndf", SecondaryFileOf(3));
    dir.Write("b.NDF", SecondaryFileOf(3, 16)); // same id, found later: replaces a.ndf
    dir.Write("c.ndf", SecondaryFileOf(1));     // no page names a file id above 1: dropped
    dir.WriteBytes("d.ndf", Bytes(100, 0));     // shorter than a page
    std::filesystem::create_directory(dir.Path() / "e.ndf");
    dir.Write("f.ndf", SecondaryFileOf(6).Leading(700));
    Opened o(primary);
    std::vector<SecondaryFile> files;
    o.reader->ResolveSecondaryFiles(files, primary);

    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].strPath, dir.File("a.ndf"));
    EXPECT_EQ(files[1].strPath, dir.File("b.NDF"));
    EXPECT_EQ(files[2].strPath, dir.File("f.ndf"));
    EXPECT_EQ(files[0].nStatus, 0);
    EXPECT_TRUE(files[0].strLogicalName.empty());
    const auto& table = o.reader->SecondaryFileTable();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.at(3).strPath, dir.File("b.NDF"));
    EXPECT_EQ(table.at(3).nPageCount, 16u);
    EXPECT_EQ(table.at(6).nBaseOffset, 700);
    auto h = o.reader->ReadPageHeader({10, 6});
    ASSERT_TRUE(h);
    EXPECT_EQ(h->m_nObjectId, 500);
    // Pages of the dropped file stay in the maps under their header ids.
    bool bSawFile1 = false;
    for (const auto& e : CMdfReader::PagesOf(o.reader->SystemPages(), 7))
        bSawFile1 = bSawFile1 || (e.nFileId == 1 && e.nPageNumber == 8);
    EXPECT_TRUE(bSawFile1);
}
