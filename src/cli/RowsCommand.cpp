// quarvel rows: the rows of one table, as the record list shows them.
#include <cstdio>
#include <string>

#include "catalog/CDbCatalog.h"
#include "cli/CliDatabase.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "rowdecode/ModuleText.h"
#include "rowdecode/TableListing.h"

namespace {

std::string Csv(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// Text output: tabs and line breaks inside values are shown escaped so each row is one line.
std::string Plain(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

} // namespace

int RunRows(const CliOptions& opt) {
    CCliDatabase db(opt);
    if (const int nExit = db.Open(opt); nExit >= 0) return nExit;
    CDravoltBrevantProjApp& app = db.app;
    CCliNotify& notify = db.notify;
    CRecoverySession& session = db.session;
    CDbCatalog& c = *session.m_pCatalog;
    const std::string& strTable = opt.positional[1];
    // Definitions of computed columns come from the value table.
    std::vector<ValueTriple> bulk;
    CollectValueTriples(c, bulk, notify);
    std::vector<TableColumn> cols = c.ResolveObject(strTable, "U ", bulk);
    if (!c.m_bResolved) cols = c.ResolveObject(strTable, "S ", bulk);
    if (!c.m_bResolved || cols.empty()) {
        std::fprintf(stderr, "quarvel: no table '%s' in %s\n", strTable.c_str(),
                     opt.positional[0].c_str());
        return EXIT_BAD_ARGUMENTS;
    }

    app.m_bListingMode = true;
    CTableListing listing(c, opt.bFullValues);

    // Shown columns: from the first stored one on, without the columns that are not stored.
    std::vector<std::size_t> shown;
    for (std::size_t i = static_cast<std::size_t>(c.m_nFirstStoredColumn); i < cols.size(); ++i)
        if (cols[i].m_nStorageColumnId != kNotStored || app.m_bIsSql2000) shown.push_back(i);

    const bool bJson = opt.strFormat == "json", bCsv = opt.strFormat == "csv";
    std::string line;
    if (bJson) {
        line = "{\"table\":" + json::Quote(strTable) + ",\"columns\":[";
        for (std::size_t k = 0; k < shown.size(); ++k)
            line += (k ? "," : "") + json::Quote(cols[shown[k]].m_strName);
        std::printf("%s],\"rows\":[", line.c_str());
    } else {
        line.clear();
        for (std::size_t k = 0; k < shown.size(); ++k)
            line += (k ? (bCsv ? "," : "\t") : "") +
                    (bCsv ? Csv(cols[shown[k]].m_strName) : Plain(cols[shown[k]].m_strName));
        std::printf("%s%s", line.c_str(), bCsv ? "\r\n" : "\n");
    }
    const std::uint64_t nFirst = opt.bAllRows ? 0 : (opt.nScreen - 1) * kScreenPageRows;
    const std::uint64_t nCount = opt.bAllRows ? 0 : kScreenPageRows;
    bool bFirstRow = true;
    listing.Lister().List(nFirst, nCount, [&](const DecodedRow& row) {
        line.clear();
        for (std::size_t k = 0; k < shown.size(); ++k) {
            const std::string& t = row.texts[shown[k]];
            if (bJson)
                line += (k ? "," : "") + json::Quote(t);
            else
                line += (k ? (bCsv ? "," : "\t") : "") + (bCsv ? Csv(t) : Plain(t));
        }
        if (bJson) {
            std::printf("%s[%s]", bFirstRow ? "" : ",", line.c_str());
            bFirstRow = false;
        } else {
            std::printf("%s%s", line.c_str(), bCsv ? "\r\n" : "\n");
        }
    });
    if (bJson) std::printf("]}\n");
    app.m_bListingMode = false;
    return EXIT_DONE;
}
