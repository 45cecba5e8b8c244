// quarvel rows: the rows of one table, as the record list shows them.
#include <cstdio>
#include <string>

#include "catalog/CDbCatalog.h"
#include "cli/CliDatabase.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "rowdecode/ModuleText.h"
#include "rowdecode/TableListing.h"
#include "workflow/MemoryPorts.h"
#include "workflow/RecordBrowser.h"

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

    const bool bJson = opt.strFormat == "json", bCsv = opt.strFormat == "csv";
    auto field = [&](const std::string& t, bool bFirst) {
        if (bJson) return (bFirst ? "" : ",") + json::Quote(t);
        return (bFirst ? "" : (bCsv ? "," : "\t")) + (bCsv ? Csv(t) : Plain(t));
    };
    auto printLine = [&](const std::vector<std::string>& cells, bool bFirstRow) {
        std::string line;
        for (std::size_t k = 0; k < cells.size(); ++k) line += field(cells[k], k == 0);
        if (bJson)
            std::printf("%s[%s]", bFirstRow ? "" : ",", line.c_str());
        else
            std::printf("%s%s", line.c_str(), bCsv ? "\r\n" : "\n");
    };
    auto printHeader = [&](const std::vector<std::string>& names) {
        if (bJson) {
            std::string line;
            for (std::size_t k = 0; k < names.size(); ++k) line += field(names[k], k == 0);
            std::printf("{\"table\":%s,\"columns\":[%s],\"rows\":[", json::Quote(strTable).c_str(),
                        line.c_str());
        } else {
            printLine(names, true);
        }
    };

    if (opt.bAllRows) {
        // Every row in one go, without screen pages.
        app.m_bListingMode = true;
        CTableListing listing(c, opt.bFullValues);
        // Shown columns: from the first stored one on, without the columns that are not stored.
        std::vector<std::size_t> shown;
        std::vector<std::string> names;
        for (std::size_t i = static_cast<std::size_t>(c.m_nFirstStoredColumn); i < cols.size(); ++i)
            if (cols[i].m_nStorageColumnId != kNotStored || app.m_bIsSql2000) {
                shown.push_back(i);
                names.push_back(cols[i].m_strName);
            }
        printHeader(names);
        bool bFirstRow = true;
        std::vector<std::string> cells(shown.size());
        listing.Lister().List(0, 0, [&](const DecodedRow& row) {
            for (std::size_t k = 0; k < shown.size(); ++k) cells[k] = row.texts[shown[k]];
            printLine(cells, bFirstRow);
            bFirstRow = false;
        });
        if (bJson) std::printf("]}\n");
        app.m_bListingMode = false;
        return EXIT_DONE;
    }

    // A screen page as the record list shows it: the first one, then Next Records until the
    // asked one.
    CMemoryPorts ports;
    const WorkflowPorts p = ports.Ports();
    CActivityLog log(app, p.output, p.caption, p.boxes);
    CRecordBrowser browser(app, p, log, session);
    browser.SetFullValues(opt.bFullValues);
    browser.SetAdvancedMode(opt.strMode == "advanced");
    browser.ShowTable(strTable, c.m_currentObject.m_strType, bulk, true);
    for (std::uint64_t n = 1; n < opt.nScreen; ++n) {
        if (!browser.NextPage()) {
            std::fprintf(stderr, "quarvel: '%s' has %d screen page%s of rows\n", strTable.c_str(),
                         browser.PageNumber(), browser.PageNumber() == 1 ? "" : "s");
            return EXIT_BAD_ARGUMENTS;
        }
    }
    printHeader(ports.records.Columns());
    const int nColumns = ports.records.ColumnCount();
    std::vector<std::string> cells(static_cast<std::size_t>(nColumns));
    for (int i = 0; i < ports.records.ItemCount(); ++i) {
        for (int k = 0; k < nColumns; ++k)
            cells[static_cast<std::size_t>(k)] = ports.records.ItemText(i, k);
        printLine(cells, i == 0);
    }
    const std::string strLabel = ports.pageLabel.Text();
    if (bJson)
        std::printf("],\"page\":%s}\n", json::Quote(strLabel).c_str());
    else if (!opt.bQuiet)
        std::fprintf(stderr, "%s\n", strLabel.c_str());
    return EXIT_DONE;
}
