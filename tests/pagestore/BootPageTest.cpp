#include <gtest/gtest.h>

#include "pagestore/Bytes.h"
#include "pagestore/CMdfReader.h"
#include "support/RecordingNotify.h"
#include "support/TestFiles.h"

using namespace qw;

namespace {

// A boot page with the name field given as raw UTF-16 units (padding included).
Page Boot(std::uint16_t nVersion, const std::u16string& name, std::int32_t nCollation) {
    PageBuilder pb(PT_BOOT, 99, {9, 1});
    pb.AddRow(Bytes(1000, 0));
    pb.Put(100, LE16(nVersion));
    Bytes units;
    for (char16_t c : name) {
        const Bytes u = LE16(c);
        units.insert(units.end(), u.begin(), u.end());
    }
    units.resize(208, 0);
    pb.Put(148, units);
    pb.Put(488, LE32(static_cast<std::uint32_t>(nCollation)));
    return pb.Build();
}

} // namespace

TEST(BootPage, VersionTexts) {
    const std::pair<std::uint16_t, const char*> cases[] = {
        {408, " SQL Server 6.5"},
        {539, " SQL Server 2000"},
        {612, " SQL Server 2005 SP2+ with VarDecimal enabled"},
        {660, " SQL Server 2008 R2"},
        {661, " SQL Server 2008 R2"},
        {706, " SQL Server 2012"},
        {782, " SQL Server 2014"},
        {852, " SQL Server 2016"},
        {869, " SQL Server 2017"},
        {904, " SQL Server 2019"},
        {957, " SQL Server 2022"},
        {707, "Unknown SQL Version"},
        {0, "Unknown SQL Version"},
    };
    for (auto [n, text] : cases) EXPECT_EQ(CBootPage::VersionText(n), text) << n;
}

TEST(BootPage, NameCutting) {
    const std::u16string pad(60, u'\x2020'); // blank bytes read as UTF-16 units
    const std::pair<std::u16string, std::string> cases[] = {
        {u"Sales     ", "Sales"},
        {u"Sales" + pad, "Sales"},
        {u"  leading blank", "  leading blank"},
        {u"C:\\MY DOCS\\DB.MDF", "C:\\MY"},
        {u"Qu\u1ea3nL\u00fd", "Qu\u1ea3nL\u00fd"},          // non-Latin letters survive
        {std::u16string(104, u'x'), std::string(104, 'x')}, // no terminator at all
        {u"", ""},
        {std::u16string(104, u' '), ""}, // blanks only: no name
    };
    for (const auto& [stored, shown] : cases) {
        CDravoltBrevantProjApp app;
        const Page p = Boot(655, stored, 0);
        EXPECT_EQ(CBootPage(p.data(), app).m_strDatabaseName, shown);
    }
}

TEST(BootPage, CollationSelection) {
    struct Case {
        const char* name;
        bool bAuto;
        std::int64_t nManual;
        std::int32_t nStored;
        bool bFound;
        std::int64_t nId;
        std::string strName;
    };
    const Case cases[] = {
        {"full id", true, 0, 872468488, true, 872468488, "SQL_Latin1_General_CP1_CI_AS"},
        {"low 16 bits", true, 0, 0x12340000 | 53256, true, 53256, "Latin1_General_CI_AS"},
        {"negative id", true, 0, -2113875942, true, -2113875942, "SQL_Latin1_General_CP1254_CI_AS"},
        {"unknown", true, 0, 0x00770001, false, -1, ""},
        {"manual", false, 53256, 872468488, true, 53256, "Latin1_General_CI_AS"},
        {"manual unknown", false, 5, 872468488, false, -1, ""},
    };
    for (const Case& c : cases) {
        CDravoltBrevantProjApp app;
        ParseCollationList("SQL_Latin1_General_CP1_CI_AS\t872468488\t1252\n"
                           "Latin1_General_CI_AS\t53256\t1252\n"
                           "SQL_Latin1_General_CP1254_CI_AS\t-2113875942\t1254\n",
                           app.m_collations);
        app.m_bAutoCollation = c.bAuto;
        app.m_nManualCollationId = c.nManual;
        const Page p = Boot(655, u"x", c.nStored);
        CBootPage boot(p.data(), app);
        EXPECT_EQ(app.m_strVersion, " SQL Server 2008") << c.name;
        EXPECT_EQ(app.m_bCollationFound, c.bFound) << c.name;
        EXPECT_EQ(app.m_nCollationId, c.nId) << c.name;
        EXPECT_EQ(app.m_strCollationName, c.strName) << c.name;
    }
}

TEST(BootPage, FoundThroughTheShiftOfStoredPageIds) {
    // Stored page ids run two behind the positions: the first page of object 7 lies at 20 but
    // says 18, so the boot page (stored id 9) lies at 11.
    TempDir dir;
    FileBuilder f = SkeletonFile(32);
    f.SetPage(9, Boot(706, u"wrong", 0));
    f.SetPage(11, Boot(782, u"right", 0));
    f.SetPage(20, SystemTablePage(7, {18, 1}));
    CDravoltBrevantProjApp app;
    RecordingNotify n;
    CMdfReader r(dir.Write("shift.mdf", f), app, n);
    ASSERT_TRUE(r.IsOpen());
    ASSERT_NE(r.ReadBootPage(), nullptr);
    EXPECT_EQ(r.DatabaseName(), "right");
    EXPECT_EQ(app.m_strVersion, " SQL Server 2014");

    // Shifted so far that the boot page would lie before the file: nothing is decoded.
    FileBuilder g = SkeletonFile(32);
    g.SetPage(20, SystemTablePage(7, {40, 1}));
    CDravoltBrevantProjApp app2;
    app2.m_strVersion = "kept";
    CMdfReader r2(dir.Write("far.mdf", g), app2, n);
    EXPECT_EQ(r2.ReadBootPage(), nullptr);
    EXPECT_EQ(app2.m_strVersion, "kept");
    EXPECT_EQ(r2.DatabaseName(), "");
}
