// Module texts written by the database writer: a text taken from a real file comes out as the
// real value-table row, byte for byte, and reads back through the module list.
#include <gtest/gtest.h>

#include <algorithm>

#include "pagestore/Bytes.h"
#include "pagestore/CMdfReader.h"
#include "pagestore/Text.h"
#include "rowdecode/ModuleText.h"
#include "support/DatabaseWriter.h"
#include "support/RecordingNotify.h"
#include "support/TestFiles.h"

using namespace qw;

namespace {

// The value-table row of an object's text (valclass 1) in a file; nullopt when it has none.
std::optional<StoredRow> ModuleRowOf(CMdfReader& reader, std::int32_t nObjectId) {
    for (StoredRow& r : StoredRows(reader, 60))
        if (r.nRecordType == 0 && r.fixed.size() == 13 && r.fixed[0] == 1 &&
            static_cast<std::int32_t>(le::U32(r.fixed.data() + 1)) == nObjectId)
            return std::move(r);
    return std::nullopt;
}

std::string ReadBack(const Bytes& file, std::int32_t nObjectId) {
    CMemoryFileSource source;
    source.Add("/mem/m.mdf", file);
    CDravoltBrevantProjApp app;
    RecordingNotify notify;
    CRecoverySession s;
    if (!OpenSession("/mem/m.mdf", s, app, notify, source)) return "<not opened>";
    CModuleTexts modules;
    return modules.ModuleText(*s.m_pCatalog, std::to_string(nObjectId), notify);
}

ObjectSpec Module(std::int32_t nId, const char* type) {
    ObjectSpec o;
    o.nId = nId;
    o.strName = "m" + std::to_string(nId);
    o.strType = type;
    return o;
}

} // namespace

TEST(WriterModules, TextsOfRealFilesComeOutAsTheRealRows) {
    QUARVEL_REQUIRE_CORPUS();
    struct Case {
        const char* pFile;
        std::int32_t nObjectId;
        const char* pType;
        bool bWide;
    };
    const Case cases[] = {
        {"qlsv1.mdf", 0x0F975522, "FN", false}, // fn_diagramobjects: sub-object 0
        {"qlsv1.mdf", 0x0AD2A005, "P ", false}, // sp_helpdiagramdefinition: procedure number 1
        {"db17.mdf", 0x145C0A3F, "P ", true},   // createRepeater, stored as UTF-16
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pFile + std::string(" ") + std::to_string(c.nObjectId));
        CDravoltBrevantProjApp app;
        RecordingNotify notify;
        CMdfReader real((CorpusDir() / c.pFile).string(), app, notify);
        ASSERT_TRUE(real.IsOpen());
        const std::optional<StoredRow> expected = ModuleRowOf(real, c.nObjectId);
        ASSERT_TRUE(expected);
        ASSERT_EQ(expected->var.size(), 2u);
        const Bytes& stored = expected->var[1];
        const std::string text =
            c.bWide ? text::Utf16ToUtf8(stored, true) : std::string(stored.begin(), stored.end());
        ASSERT_GT(text.size(), 100u);

        DatabaseSpec db;
        db.objects = {Module(c.nObjectId, c.pType)};
        ModuleSpec m{c.nObjectId, text, std::nullopt, c.bWide};
        db.modules = {m};
        const Bytes file = WriteDatabase(db).Build();
        CMemoryFileSource source;
        source.Add("/mem/w.mdf", file);
        CMdfReader written("/mem/w.mdf", app, notify, source);
        ASSERT_TRUE(written.IsOpen());
        const std::optional<StoredRow> mine = ModuleRowOf(written, c.nObjectId);
        ASSERT_TRUE(mine);
        EXPECT_EQ(mine->record, expected->record);
        EXPECT_EQ(ReadBack(file, c.nObjectId), text);
    }
}

TEST(WriterModules, EveryKindOfModuleReadsBackWithItsText) {
    struct Case {
        const char* pType;
        std::string text;
        std::uint8_t nFormFlag; // the value column's int: 2 single bytes, 0 UTF-16
    };
    const Case cases[] = {
        {"V ", "CREATE VIEW [dbo].[Docs] AS SELECT [LeafName] FROM [dbo].[AllDocs]", 2},
        {"P ", "CREATE PROCEDURE [dbo].[proc_Touch] AS SET NOCOUNT ON", 2},
        {"FN", "CREATE FUNCTION [dbo].[fn_Übersicht]() RETURNS int AS BEGIN RETURN 1 END", 0},
        {"TR", "CREATE TRIGGER [dbo].[trg_Docs] ON [dbo].[AllDocs] AFTER DELETE AS RETURN", 2},
        {"D ", "((0))", 2},
        {"C ", "([Size]>=(0))", 2},
    };
    DatabaseSpec db;
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const auto nId = static_cast<std::int32_t>(1000 + k);
        db.objects.push_back(Module(nId, cases[k].pType));
        db.modules.push_back({nId, cases[k].text, std::nullopt, std::nullopt});
    }
    const Bytes file = WriteDatabase(db).Build();
    CMemoryFileSource source;
    source.Add("/mem/w.mdf", file);
    CDravoltBrevantProjApp app;
    RecordingNotify notify;
    CMdfReader reader("/mem/w.mdf", app, notify, source);
    ASSERT_TRUE(reader.IsOpen());
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const auto nId = static_cast<std::int32_t>(1000 + k);
        SCOPED_TRACE(cases[k].pType);
        const std::optional<StoredRow> row = ModuleRowOf(reader, nId);
        ASSERT_TRUE(row);
        EXPECT_EQ(le::U32(row->fixed.data() + 5), std::string(cases[k].pType) == "P " ? 1u : 0u);
        ASSERT_EQ(row->var.size(), 2u);
        EXPECT_EQ(row->var[0], (Bytes{56, 1, cases[k].nFormFlag, 0, 0, 0}));
        EXPECT_EQ(ReadBack(file, nId), cases[k].text);
    }
}

TEST(WriterModules, TheOldLayoutRefusesModuleTexts) {
    DatabaseSpec db;
    db.bSql2000 = true;
    db.nVersion = 539;
    db.objects = {Module(1000, "V ")};
    db.modules = {{1000, "CREATE VIEW v AS SELECT 1", std::nullopt, std::nullopt}};
    EXPECT_THROW(WriteDatabase(db), std::invalid_argument);
}
