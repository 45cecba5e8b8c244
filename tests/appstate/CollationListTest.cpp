#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "appstate/CDravoltBrevantProjApp.h"

TEST(AppState, InitialValues) {
    CDravoltBrevantProjApp app;
    EXPECT_EQ(app.m_nRunning, 0);
    EXPECT_FALSE(app.m_bStopRequested);
    EXPECT_EQ(app.m_nRecoveryOption, 1);
    EXPECT_EQ(app.m_nScanMode, 0);
    EXPECT_FALSE(app.m_bListingMode);
    EXPECT_EQ(app.m_pCurrentRowDecoder.load(), nullptr);
    EXPECT_FALSE(app.m_bIsSql2000 || app.m_bShowDeleted || app.m_bShowAdvancedDeleted);
    EXPECT_FALSE(app.m_bCollationFound);
    EXPECT_EQ(app.m_nCollationId, -1);
    EXPECT_EQ(app.m_nCollationCodePage, 1252);
    EXPECT_TRUE(app.m_bAutoCollation);
    EXPECT_EQ(app.m_nManualCollationId, 0);
    EXPECT_TRUE(app.m_collations.empty());
    EXPECT_FALSE(app.m_logFile.is_open());
}

TEST(CollationList, ParsesLinesWithSkipAndReplaceRules) {
    CollationMap m;
    ParseCollationList("Latin1_General_CI_AS\t1234\t1252xyz\r\n"
                       "\n"
                       "no tabs at all\n"
                       "OneTab\t99\n"
                       "Negative\t-2113875942\t1254\n"
                       "First\t77\t1250\n"
                       "Second\t77\t1251\n"
                       "NoDigits\tabc\t\n",
                       m);
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m.at(1234).strName, "Latin1_General_CI_AS");
    EXPECT_EQ(m.at(1234).nCodePage, 1252);
    EXPECT_EQ(m.at(-2113875942).nCodePage, 1254);
    EXPECT_EQ(m.at(77).strName, "Second");
    EXPECT_EQ(m.at(77).nCodePage, 1251);
    EXPECT_EQ(m.at(0).strName, "NoDigits");
    EXPECT_EQ(m.at(0).nCodePage, 0);
    EXPECT_EQ(m.count(99), 0u);
}

TEST(CollationList, LoadsFromFolderAndMissingFileLeavesListEmpty) {
    const auto dir = std::filesystem::temp_directory_path() / "quarvel_collation_test";
    std::filesystem::create_directories(dir);
    CDravoltBrevantProjApp app;
    std::filesystem::remove(dir / "collation.txt");
    EXPECT_EQ(app.LoadCollationList(dir.string()), 0u);
    EXPECT_TRUE(app.m_collations.empty());
    std::ofstream(dir / "collation.txt") << "Greek_CI_AS\t53255\t1253\n";
    EXPECT_EQ(app.LoadCollationList(dir.string()), 1u);
    ASSERT_NE(app.FindCollation(53255), nullptr);
    EXPECT_EQ(app.FindCollation(53255)->nCodePage, 1253);
    EXPECT_EQ(app.FindCollation(1), nullptr);
    std::filesystem::remove_all(dir);
}
