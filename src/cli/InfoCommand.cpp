// quarvel info: what the catalog of a database holds.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "catalog/CDbCatalog.h"
#include "cli/CliDatabase.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "rowdecode/ModuleText.h"

namespace {

struct FileLine {
    std::int32_t nId;
    std::string strName, strPath;
    std::uint64_t nPages;
    bool bFound;
    bool bLog = false;
};

// The files of the database: the rows the catalog lists, then secondary files that were found
// without being listed.
std::vector<FileLine> Files(const CDbCatalog& catalog) {
    const CMdfReader& r = catalog.Reader();
    const auto& table = r.SecondaryFileTable();
    std::vector<FileLine> out;
    for (const SecondaryFile& f : catalog.m_files) {
        if (f.nFileId == kPrimaryFileId) {
            out.push_back({1, f.strLogicalName, r.Path(), r.PageCount(), true});
            continue;
        }
        auto it = table.find(static_cast<std::int16_t>(f.nFileId));
        const bool bFound = it != table.end() && it->second.strPath == f.strPath;
        out.push_back({f.nFileId, f.strLogicalName, f.strPath, bFound ? it->second.nPageCount : 0,
                       bFound, f.IsLog()});
    }
    if (std::none_of(out.begin(), out.end(), [](const FileLine& l) { return l.nId == 1; }))
        out.insert(out.begin(), {1, "", r.Path(), r.PageCount(), true});
    for (const auto& [nId, f] : table)
        if (std::none_of(out.begin(), out.end(), [&](const FileLine& l) { return l.nId == nId; }))
            out.push_back({nId, f.strLogicalName, f.strPath, f.nPageCount, true});
    return out;
}

} // namespace

int RunInfo(const CliOptions& opt) {
    CCliDatabase db(opt);
    if (const int nExit = db.Open(opt); nExit >= 0) return nExit;
    CDravoltBrevantProjApp& app = db.app;
    CCliNotify& notify = db.notify;
    CRecoverySession& session = db.session;
    const CDbCatalog& c = *session.m_pCatalog;
    if (c.m_objects.empty()) {
        std::fprintf(stderr, "%s\n", kTextNotValid);
        return EXIT_UNUSABLE;
    }
    const std::string strCollation =
        app.m_strCollationName.empty() ? "Unknown Collation" : app.m_strCollationName;
    const std::string strVersion =
        app.m_strVersion.empty() ? "Unknown SQL Version" : app.m_strVersion;
    const std::vector<FileLine> files = Files(c);

    // Per user table: its column descriptions and its keys and constraints.
    struct TableLine {
        std::string strName;
        std::vector<std::string> columns;
        std::vector<TableConstraint> constraints;
    };
    std::vector<TableLine> tables;
    std::vector<ValueTriple> bulk;
    CollectValueTriples(*session.m_pCatalog, bulk, notify);
    for (const ObjectEntry& o : std::vector<ObjectEntry>(c.m_objects)) {
        if (o.m_strType != "U ") continue;
        TableLine t{o.m_strName, {}, {}};
        for (const TableColumn& col : session.m_pCatalog->ResolveObject(o.m_strName, "U ", bulk))
            if (std::string d = ColumnDescription(col); !d.empty()) t.columns.push_back(d);
        t.constraints = c.m_tableConstraints;
        tables.push_back(std::move(t));
    }

    if (opt.strFormat == "json") {
        std::string s = "{\"version\":" + json::Quote(strVersion) +
                        ",\"database\":" + json::Quote(session.m_pReader->DatabaseName()) +
                        ",\"collation\":" + json::Quote(strCollation) +
                        ",\"sql2000\":" + (app.m_bIsSql2000 ? "true" : "false") + ",\"files\":[";
        for (std::size_t i = 0; i < files.size(); ++i) {
            const FileLine& f = files[i];
            s += (i ? ",{" : "{") + std::string("\"id\":") + std::to_string(f.nId) +
                 ",\"name\":" + json::Quote(f.strName) + ",\"path\":" + json::Quote(f.strPath) +
                 ",\"pages\":" + std::to_string(f.nPages) +
                 ",\"found\":" + (f.bFound ? "true" : "false") +
                 ",\"log\":" + (f.bLog ? "true" : "false") + "}";
        }
        s += "],\"objects\":[";
        for (std::size_t i = 0; i < c.m_objects.size(); ++i) {
            const ObjectEntry& o = c.m_objects[i];
            s += (i ? ",{" : "{") + std::string("\"id\":") + std::to_string(o.m_nId) +
                 ",\"name\":" + json::Quote(o.m_strName) + ",\"type\":" + json::Quote(o.m_strType) +
                 ",\"parent\":" + std::to_string(o.m_nParentId) + "}";
        }
        s += "],\"tables\":[";
        for (std::size_t i = 0; i < tables.size(); ++i) {
            s += (i ? ",{" : "{") + std::string("\"name\":") + json::Quote(tables[i].strName) +
                 ",\"columns\":[";
            for (std::size_t k = 0; k < tables[i].columns.size(); ++k)
                s += (k ? "," : "") + json::Quote(tables[i].columns[k]);
            s += "],\"constraints\":[";
            for (std::size_t k = 0; k < tables[i].constraints.size(); ++k)
                s += (k ? ",{" : "{") + std::string("\"name\":") +
                     json::Quote(tables[i].constraints[k].m_strName) +
                     ",\"type\":" + json::Quote(tables[i].constraints[k].m_strType) + "}";
            s += "]}";
        }
        std::printf("%s]}\n", s.c_str());
        return EXIT_DONE;
    }

    const std::size_t nLead = strVersion.find_first_not_of(' ');
    std::printf("Version:   %s\n",
                strVersion.substr(nLead == std::string::npos ? 0 : nLead).c_str());
    std::printf("Database:  %s\n", session.m_pReader->DatabaseName().c_str());
    std::printf("Collation: %s\n", strCollation.c_str());
    std::printf("Catalog:   %s layout\n",
                app.m_bIsSql2000 ? "SQL Server 2000" : "SQL Server 2005 and later");
    std::printf("Files:\n");
    for (const FileLine& f : files) {
        if (f.bLog)
            std::printf("  %5d  %-20s %s (transaction log, not needed)\n", f.nId, f.strName.c_str(),
                        f.strPath.c_str());
        else if (f.bFound)
            std::printf("  %5d  %-20s %s (%llu pages)\n", f.nId, f.strName.c_str(),
                        f.strPath.c_str(), static_cast<unsigned long long>(f.nPages));
        else
            std::printf("  %5d  %-20s %s (missing: not found beside the primary file)\n", f.nId,
                        f.strName.c_str(), f.strPath.c_str());
    }
    std::map<std::string, int> byType;
    for (const ObjectEntry& o : c.m_objects) ++byType[o.m_strType];
    std::printf("Objects:   %zu (", c.m_objects.size());
    bool bFirst = true;
    for (const auto& [t, n] : byType) {
        std::printf("%s\"%s\" %d", bFirst ? "" : ", ", t.c_str(), n);
        bFirst = false;
    }
    std::printf(")\n");
    for (const ObjectEntry& o : c.m_objects)
        std::printf("  %11d  %-2s  %11d  %s\n", o.m_nId, o.m_strType.c_str(), o.m_nParentId,
                    o.m_strName.c_str());
    for (const TableLine& t : tables) {
        std::printf("Table %s\n", t.strName.c_str());
        for (const std::string& d : t.columns) std::printf("  %s\n", d.c_str());
        for (const TableConstraint& k : t.constraints)
            std::printf("  constraint %s (%s)\n", k.m_strName.c_str(), k.m_strType.c_str());
    }
    return EXIT_DONE;
}
