// The module texts of every real file: views, procedures, functions and triggers come back
// whole, each starting with its CREATE statement; check constraints and defaults with their
// expressions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "rowdecode/ModuleText.h"
#include "support/RecordingNotify.h"
#include "support/TestFiles.h"

using namespace qw;

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The text after leading blanks and comments.
std::string Statement(const std::string& s) {
    std::size_t i = 0;
    for (;;) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        if (s.compare(i, 2, "--") == 0)
            i = s.find('\n', i) == std::string::npos ? s.size() : s.find('\n', i);
        else if (s.compare(i, 2, "/*") == 0)
            i = s.find("*/", i) == std::string::npos ? s.size() : s.find("*/", i) + 2;
        else
            break;
    }
    return s.substr(i);
}

} // namespace

TEST(CorpusModules, EveryModuleTextIsWhole) {
    QUARVEL_REQUIRE_CORPUS();
    std::size_t nModules = 0;
    for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
        if (entry.path().extension() != ".mdf") continue;
        const std::string name = entry.path().filename().string();
        CDravoltBrevantProjApp app;
        RecordingNotify notify;
        CRecoverySession s;
        ASSERT_TRUE(OpenSession(entry.path().string(), s, app, notify)) << name;
        CDbCatalog& c = *s.m_pCatalog;
        CModuleTexts modules;
        for (const ObjectEntry& o : std::vector<ObjectEntry>(c.m_objects)) {
            const std::string strText = modules.ModuleText(c, std::to_string(o.m_nId), notify);
            const std::string t = o.m_strType;
            if (t == "V " || t == "P " || t == "FN" || t == "IF" || t == "TF" || t == "TR") {
                const std::string kind = t == "V "   ? "view"
                                         : t == "P " ? "proc"
                                         : t == "TR" ? "trigger"
                                                     : "function";
                const std::string stmt = Lower(Statement(strText));
                EXPECT_EQ(stmt.rfind("create", 0), 0u) << name << ": " << o.m_strName << "\n"
                                                       << strText.substr(0, 200);
                EXPECT_NE(stmt.find(kind), std::string::npos) << name << ": " << o.m_strName;
                // The whole text: a procedure or function ends after its body, not in the middle
                // of a word cut at a page boundary.
                EXPECT_EQ(strText.find('\0'), std::string::npos) << name << ": " << o.m_strName;
                ++nModules;
            } else if (t == "C " || t == "D ") {
                EXPECT_FALSE(strText.empty()) << name << ": " << o.m_strName;
                EXPECT_EQ(strText.front(), '(') << name << ": " << o.m_strName << " " << strText;
            }
        }
        const auto lines = notify.Texts(MSG_LOG_LINE);
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            "Retrieving Objects of Sysobjvalues System Tables..........."),
                  lines.end());
    }
    EXPECT_GT(nModules, 500u);
}
