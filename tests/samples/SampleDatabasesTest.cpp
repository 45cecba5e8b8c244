// The bundled sample databases as the engine reads them: every user table with the rows it
// stores, the compressed table's rows equal to the same rows written plainly, module texts
// whole, and the SharePoint tables with the columns and the shape of real content databases.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "SampleDatabases.h"
#include "catalog/CDbCatalog.h"
#include "rowdecode/ModuleText.h"
#include "rowdecode/TableListing.h"
#include "support/RecordingNotify.h"

using namespace qw;
using namespace qw::samples;

namespace {

const std::vector<SampleDatabase>& Samples() {
    static const std::vector<SampleDatabase> samples = BuildSampleDatabases();
    return samples;
}

std::string SitesTableOf(const SampleDatabase& s) {
    return s.strFileName == "content-webs.mdf" ? "Webs" : "AllWebs";
}

// One table's rows as the listing gives them, with the values in full.
struct Listing {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    std::size_t nPages = 0;
    std::int64_t nStoredRows = -1;
    std::uint64_t nInvalid = 0;
    bool bLobFailure = false;

    std::size_t Column(const std::string& name) const {
        const auto it = std::find(columns.begin(), columns.end(), name);
        return static_cast<std::size_t>(it - columns.begin());
    }
    std::vector<std::string> Values(const std::string& name) const {
        std::vector<std::string> out;
        const std::size_t n = Column(name);
        for (const auto& r : rows) out.push_back(n < r.size() ? r[n] : "<missing>");
        return out;
    }
};

struct Opened {
    CMemoryFileSource files;
    CDravoltBrevantProjApp app;
    RecordingNotify notify;
    CRecoverySession session;
    bool bOpen = false;

    explicit Opened(const Bytes& file) {
        app.LoadCollationList(QUARVEL_DATA_DIR);
        files.Add("/samples/db.mdf", file);
        bOpen = OpenSession("/samples/db.mdf", session, app, notify, files);
    }
    CDbCatalog& c() { return *session.m_pCatalog; }

    std::vector<std::string> UserTables() {
        std::vector<std::string> out;
        for (const ObjectEntry& o : c().m_objects)
            if (o.m_strType == "U ") out.push_back(o.m_strName);
        return out;
    }

    Listing Rows(const std::string& strTable) {
        Listing out;
        const std::vector<TableColumn> cols = c().ResolveObject(strTable, "U ", {});
        if (!c().m_bResolved) return out;
        for (const TableColumn& col : cols) out.columns.push_back(col.m_strName);
        if (c().m_currentRowset.m_nObjectId == c().m_currentObject.m_nId)
            out.nStoredRows = c().m_currentRowset.m_nRowCount;
        app.m_bListingMode = true;
        {
            CTableListing listing(c(), true);
            out.nPages = listing.PageCount();
            listing.Lister().List(0, 0, [&](const DecodedRow& row) {
                out.rows.push_back(row.texts);
                out.bLobFailure = out.bLobFailure || row.bLobFailure;
            });
            out.nInvalid = listing.Decoder().InvalidRecords();
        }
        app.m_bListingMode = false;
        return out;
    }
};

} // namespace

TEST(SampleDatabases, EveryUserTableListsTheRowsItStores) {
    ASSERT_EQ(Samples().size(), 2u);
    for (const SampleDatabase& s : Samples()) {
        SCOPED_TRACE(s.strFileName);
        Opened db(s.written.file);
        ASSERT_TRUE(db.bOpen);
        const std::map<std::string, std::size_t> expected = {
            {SitesTableOf(s), 3},   {"AllLists", 8},         {"AllDocs", 36},
            {"AllDocStreams", 21},  {"FieldTypeSamples", 6}, {"AuditData", 2600},
            {kCompressedTable, 60},
        };
        std::vector<std::string> tables = db.UserTables();
        std::sort(tables.begin(), tables.end());
        std::vector<std::string> names;
        for (const auto& [name, n] : expected) names.push_back(name);
        EXPECT_EQ(tables, names);
        for (const auto& [name, nRows] : expected) {
            SCOPED_TRACE(name);
            const Listing l = db.Rows(name);
            EXPECT_EQ(l.rows.size(), nRows);
            EXPECT_EQ(l.nStoredRows, static_cast<std::int64_t>(nRows));
            EXPECT_EQ(l.nInvalid, 0u);
            EXPECT_FALSE(l.bLobFailure);
        }
        // The audit log lies on many pages, reached through its allocation map's extents.
        EXPECT_GT(db.Rows("AuditData").nPages, 50u);
    }
}

TEST(SampleDatabases, CompressedPagesReadBackAsThePlainRows) {
    for (SitesTable sites : {SitesTable::Webs, SitesTable::AllWebs}) {
        const SampleDatabase plain = BuildContentDatabase(sites, false);
        SampleDatabase compressed = BuildContentDatabase(sites, true);
        SCOPED_TRACE(compressed.strFileName);
        // The table's pages really are compressed: page compression on all but the last page.
        const auto it = std::find_if(compressed.written.tables.begin(),
                                     compressed.written.tables.end(), [&](const WrittenTable& t) {
                                         for (const ObjectSpec& o : compressed.written.spec.objects)
                                             if (o.nId == t.nObjectId)
                                                 return o.strName == kCompressedTable;
                                         return false;
                                     });
        ASSERT_NE(it, compressed.written.tables.end());
        ASSERT_GE(it->dataPages.size(), 2u);
        EXPECT_EQ(compressed.written.PageAt(it->dataPages.front())[2] & 0x80, 0x80);
        EXPECT_NE(plain.written.file, compressed.written.file);

        Opened a(plain.written.file), b(compressed.written.file);
        ASSERT_TRUE(a.bOpen && b.bOpen);
        const Listing expected = a.Rows(kCompressedTable), got = b.Rows(kCompressedTable);
        ASSERT_EQ(expected.rows.size(), 60u);
        EXPECT_EQ(got.nInvalid, 0u);
        ASSERT_EQ(got.rows.size(), expected.rows.size());
        for (std::size_t k = 0; k < got.rows.size(); ++k)
            EXPECT_EQ(got.rows[k], expected.rows[k]) << "row " << k;
        // NULLs, bits and non-ASCII names survive the compressed form.
        EXPECT_EQ(got.Values("tp_GUID")[0], "NULL");
        EXPECT_EQ(got.Values("tp_Title")[1], "Jürgen Berg");
    }
}

TEST(SampleDatabases, ModulesAndConstraintsComeBackWithTheirTexts) {
    for (const SampleDatabase& s : Samples()) {
        SCOPED_TRACE(s.strFileName);
        Opened db(s.written.file);
        ASSERT_TRUE(db.bOpen);
        std::map<std::string, const ObjectEntry*> byName;
        std::map<std::int32_t, std::string> names;
        for (const ObjectEntry& o : db.c().m_objects) {
            byName[o.m_strName] = &o;
            names[o.m_nId] = o.m_strName;
        }
        struct Expected {
            const char* pName;
            const char* pType;
            const char* pParent; // "" none
            const char* pText;   // the text starts so; nullptr: no module text
        };
        const Expected objects[] = {
            {"DocumentsView", "V ", "", "CREATE VIEW [dbo].[DocumentsView]\r\nAS\r\nSELECT"},
            {"proc_ListFolder", "P ", "", "CREATE PROCEDURE [dbo].[proc_ListFolder]"},
            {"proc_GetWebTitle", "P ", "", "CREATE PROCEDURE [dbo].[proc_GetWebTitle]"},
            {"fn_DocUrl", "FN", "", "CREATE FUNCTION [dbo].[fn_DocUrl]"},
            {"trg_AllDocs_Delete", "TR", "AllDocs", "CREATE TRIGGER [dbo].[trg_AllDocs_Delete]"},
            {"DF_AllDocs_Level", "D ", "AllDocs", "((1))"},
            {"DF_AuditData_EventSource", "D ", "AuditData", "((0))"},
            {"CK_AllDocs_Size", "C ", "AllDocs", "([Size]>=(0))"},
            {"PK_AllDocs", "PK", "AllDocs", nullptr},
            {"UQ_AllDocs_Url", "UQ", "AllDocs", nullptr},
            {"FK_AllDocs_AllLists", "F ", "AllDocs", nullptr},
            {"FK_AllDocStreams_AllDocs", "F ", "AllDocStreams", nullptr},
        };
        CModuleTexts modules;
        for (const Expected& e : objects) {
            SCOPED_TRACE(e.pName);
            ASSERT_TRUE(byName.count(e.pName));
            const ObjectEntry& o = *byName[e.pName];
            EXPECT_EQ(o.m_strType, e.pType);
            EXPECT_EQ(o.m_nParentId ? names[o.m_nParentId] : "", e.pParent);
            const std::string text = modules.ModuleText(db.c(), std::to_string(o.m_nId), db.notify);
            if (e.pText)
                EXPECT_EQ(text.rfind(e.pText, 0), 0u) << text;
            else
                EXPECT_EQ(text, "");
        }
        // Every module the database stores comes back whole.
        ASSERT_FALSE(s.written.spec.modules.empty());
        for (const ModuleSpec& m : s.written.spec.modules)
            EXPECT_EQ(modules.ModuleText(db.c(), std::to_string(m.nObjectId), db.notify),
                      m.strText);
        const std::string procedure = modules.ModuleText(
            db.c(), std::to_string(byName["proc_GetWebTitle"]->m_nId), db.notify);
        EXPECT_NE(procedure.find("FROM [dbo].[" + SitesTableOf(s) + "]"), std::string::npos);
        // The key columns the catalog marks from the key indexes.
        const std::vector<TableColumn> cols = db.c().ResolveObject("AllLists", "U ", {});
        ASSERT_GE(cols.size(), 3u);
        EXPECT_TRUE(cols[0].m_bPrimaryKey && cols[1].m_bPrimaryKey && !cols[2].m_bPrimaryKey);
    }
}

TEST(SampleDatabases, DocumentsFormLibrariesOfFoldersAndFiles) {
    for (const SampleDatabase& s : Samples()) {
        SCOPED_TRACE(s.strFileName);
        Opened db(s.written.file);
        ASSERT_TRUE(db.bOpen);
        const Listing docs = db.Rows("AllDocs");
        for (const char* name : {"Id", "SiteId", "ListId", "WebId", "Type", "DirName", "LeafName",
                                 "Size", "TimeCreated", "TimeLastModified"})
            EXPECT_LT(docs.Column(name), docs.columns.size()) << name;
        const Listing webs = db.Rows(SitesTableOf(s));
        const Listing lists = db.Rows("AllLists");
        const std::vector<std::string> webIds = webs.Values("Id");
        const std::vector<std::string> siteIds = webs.Values("SiteId");
        const std::set<std::string> sites(siteIds.begin(), siteIds.end());
        EXPECT_EQ(sites.size(), 1u); // one site collection
        const std::vector<std::string> parents = webs.Values("ParentWebId");
        EXPECT_EQ(std::count(parents.begin(), parents.end(), "NULL"), 1); // one root web
        // Exactly one library names no site, and documents of it exist.
        std::set<std::string> orphanLists;
        for (const auto& r : lists.rows)
            if (std::find(webIds.begin(), webIds.end(), r[lists.Column("tp_WebId")]) ==
                webIds.end())
                orphanLists.insert(r[lists.Column("tp_ID")]);
        EXPECT_EQ(orphanLists.size(), 1u);

        std::size_t nFiles = 0, nFolders = 0, nEmpty = 0, nOrphanDocs = 0;
        std::map<std::string, std::string> sizeOfFile; // Id -> Size
        bool bUmlaut = false;
        for (const auto& r : docs.rows) {
            const std::string dir = r[docs.Column("DirName")], type = r[docs.Column("Type")];
            const std::string size = r[docs.Column("Size")], leaf = r[docs.Column("LeafName")];
            EXPECT_FALSE(dir.empty() || dir.front() == '/') << dir;
            EXPECT_TRUE(sites.count(r[docs.Column("SiteId")]));
            EXPECT_LE(r[docs.Column("TimeCreated")], r[docs.Column("TimeLastModified")]);
            if (type == "1") {
                ++nFolders;
                EXPECT_EQ(size, "0") << leaf;
            } else {
                ASSERT_EQ(type, "0") << leaf;
                ++nFiles;
                nEmpty += size == "0";
                sizeOfFile[r[docs.Column("Id")]] = size;
            }
            nOrphanDocs += orphanLists.count(r[docs.Column("ListId")]);
            bUmlaut = bUmlaut || leaf == "Übersicht.docx";
        }
        EXPECT_GE(nFolders, 10u);
        EXPECT_GE(nFiles, 20u);
        EXPECT_EQ(nEmpty, 1u);
        EXPECT_GE(nOrphanDocs, 2u);
        EXPECT_TRUE(bUmlaut);
        const std::vector<std::string> dirs = docs.Values("DirName");
        const std::string nested = s.strFileName == "content-webs.mdf"
                                       ? "sites/finance/Shared Documents/Reports/2026"
                                       : "sites/projects/Shared Documents/Reports/2026";
        EXPECT_NE(std::find(dirs.begin(), dirs.end(), nested), dirs.end());

        // One stream per file, whole: its hexadecimal text holds Size bytes, large ones included.
        const Listing streams = db.Rows("AllDocStreams");
        ASSERT_EQ(streams.rows.size(), sizeOfFile.size());
        std::size_t nLarge = 0;
        for (const auto& r : streams.rows) {
            const std::string id = r[streams.Column("Id")];
            ASSERT_TRUE(sizeOfFile.count(id)) << id;
            const std::size_t nSize = std::stoul(sizeOfFile[id]);
            EXPECT_EQ(r[streams.Column("Size")], sizeOfFile[id]);
            const std::string content = r[streams.Column("Content")];
            EXPECT_EQ(content.size(), nSize ? 2 + 2 * nSize : 0u) << id;
            nLarge += nSize > 8000;
        }
        EXPECT_GE(nLarge, 10u);
    }
}
