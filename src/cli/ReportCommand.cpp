// quarvel report: for every user table, what could be read of it and what could not, so a
// user knows whether to trust a recovery.
#include <cstdio>
#include <string>

#include "catalog/CDbCatalog.h"
#include "cli/CliDatabase.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "rowdecode/ModuleText.h"
#include "rowdecode/TableListing.h"

namespace {

struct TableReport {
    std::string strName;
    std::uint64_t nPages = 0, nRows = 0, nInvalid = 0, nLobFailures = 0;
    std::int64_t nStoredRows = -1; // -1: the catalog holds no row count for the table
};

TableReport ReportTable(CDbCatalog& c, const ObjectEntry& o, const std::vector<ValueTriple>& bulk) {
    TableReport t;
    t.strName = o.m_strName;
    c.ResolveObject(o.m_strName, o.m_strType, bulk);
    if (!c.m_bResolved || c.m_currentObject.m_nId != o.m_nId) return t;
    if (c.m_currentRowset.m_nObjectId == o.m_nId) t.nStoredRows = c.m_currentRowset.m_nRowCount;
    // Large values are read in full: a value that cannot be assembled must be counted.
    CTableListing listing(c, true);
    t.nPages = listing.PageCount();
    listing.Lister().List(0, 0, [&](const DecodedRow& row) {
        ++t.nRows;
        t.nLobFailures += row.bLobFailure ? 1 : 0;
    });
    t.nInvalid = listing.Decoder().InvalidRecords();
    return t;
}

} // namespace

int RunReport(const CliOptions& opt) {
    CCliDatabase db(opt);
    if (const int nExit = db.Open(opt); nExit >= 0) return nExit;
    CDravoltBrevantProjApp& app = db.app;
    CCliNotify& notify = db.notify;
    CRecoverySession& session = db.session;
    CDbCatalog& c = *session.m_pCatalog;
    app.m_bListingMode = true;
    std::vector<TableReport> tables;
    std::vector<ValueTriple> bulk;
    CollectValueTriples(c, bulk, notify);
    const std::vector<ObjectEntry> objects = c.m_objects;
    for (const ObjectEntry& o : objects)
        if (o.m_strType == "U ") tables.push_back(ReportTable(c, o, bulk));

    TableReport total;
    for (const TableReport& t : tables) {
        total.nPages += t.nPages;
        total.nRows += t.nRows;
        total.nInvalid += t.nInvalid;
        total.nLobFailures += t.nLobFailures;
    }
    if (opt.strFormat == "json") {
        std::string s = "{\"tables\":[";
        for (std::size_t i = 0; i < tables.size(); ++i) {
            const TableReport& t = tables[i];
            s += (i ? ",{" : "{") + std::string("\"name\":") + json::Quote(t.strName) +
                 ",\"pages\":" + std::to_string(t.nPages) + ",\"rows\":" + std::to_string(t.nRows) +
                 ",\"stored_rows\":" +
                 (t.nStoredRows < 0 ? std::string("null") : std::to_string(t.nStoredRows)) +
                 ",\"invalid\":" + std::to_string(t.nInvalid) +
                 ",\"lob_failures\":" + std::to_string(t.nLobFailures) + "}";
        }
        s += "],\"totals\":{\"tables\":" + std::to_string(tables.size()) +
             ",\"pages\":" + std::to_string(total.nPages) +
             ",\"rows\":" + std::to_string(total.nRows) +
             ",\"invalid\":" + std::to_string(total.nInvalid) +
             ",\"lob_failures\":" + std::to_string(total.nLobFailures) + "}}";
        std::printf("%s\n", s.c_str());
        return EXIT_DONE;
    }
    std::printf("%-40s %8s %10s %12s %8s %12s\n", "table", "pages", "rows", "stored rows",
                "invalid", "lob failures");
    for (const TableReport& t : tables) {
        const std::string strStored = t.nStoredRows < 0 ? "unknown" : std::to_string(t.nStoredRows);
        const bool bDiffers =
            t.nStoredRows >= 0 && static_cast<std::uint64_t>(t.nStoredRows) != t.nRows;
        std::printf("%-40s %8llu %10llu %12s %8llu %12llu%s\n", t.strName.c_str(),
                    static_cast<unsigned long long>(t.nPages),
                    static_cast<unsigned long long>(t.nRows), strStored.c_str(),
                    static_cast<unsigned long long>(t.nInvalid),
                    static_cast<unsigned long long>(t.nLobFailures),
                    bDiffers ? "  (rows differ from stored rows)" : "");
    }
    std::printf("%-40s %8llu %10llu %12s %8llu %12llu\n",
                ("total: " + std::to_string(tables.size()) + " tables").c_str(),
                static_cast<unsigned long long>(total.nPages),
                static_cast<unsigned long long>(total.nRows), "",
                static_cast<unsigned long long>(total.nInvalid),
                static_cast<unsigned long long>(total.nLobFailures));
    return EXIT_DONE;
}
