// A written database opened from memory, and the rows of one of its tables as the listing
// shows them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalog/CDbCatalog.h"
#include "rowdecode/TableListing.h"
#include "support/RecordingNotify.h"
#include "support/TableWriter.h"

namespace qw {

inline constexpr std::int32_t kLatin1 = 872468488; // SQL_Latin1_General_CP1_CI_AS

inline IndexSpec Clustered(std::vector<std::int32_t> keys) {
    return IndexSpec{"PK", 1, 1, true, true, false, std::move(keys)};
}

inline TableSpec Table(std::int32_t nId, std::string strName, std::vector<ColumnSpec> columns,
                       std::vector<TableRow> rows = {}) {
    TableSpec t;
    t.object.nId = nId;
    t.object.strName = std::move(strName);
    t.object.columns = std::move(columns);
    t.rows = std::move(rows);
    return t;
}

inline DatabaseSpec Db2000() {
    DatabaseSpec db;
    db.bSql2000 = true;
    db.nVersion = 539;
    return db;
}

struct OpenedDb {
    CMemoryFileSource files;
    CDravoltBrevantProjApp app;
    RecordingNotify notify;
    CRecoverySession session;
    bool bOpen = false;

    explicit OpenedDb(Bytes file, bool bSql2000 = false, bool bShowDeleted = false) {
        app.m_bIsSql2000 = bSql2000;
        app.m_bShowDeleted = bShowDeleted;
        ParseCollationList("SQL_Latin1_General_CP1_CI_AS\t872468488\t1252\n"
                           "Cyrillic_General_CI_AS\t53269\t1251\n",
                           app.m_collations);
        files.Add("/db/t.mdf", std::move(file));
        bOpen = OpenSession("/db/t.mdf", session, app, notify, files);
    }
    CDbCatalog& c() { return *session.m_pCatalog; }

    struct Listing {
        std::vector<TableColumn> columns;
        TablePageList pages;
        std::vector<std::vector<std::string>> rows; // shown columns only, first stored first
        std::uint64_t nInvalid = 0;
        bool bLobFailure = false;
    };
    // Resolves a table and lists every row; bListing: the placeholders of the listing mode.
    Listing Rows(const std::string& strTable, bool bListing = false, bool bAdvanced = false) {
        Listing out;
        if (!bOpen) return out;
        out.columns = c().ResolveObject(strTable, "U ", {});
        if (!c().m_bResolved) return out;
        app.m_bListingMode = bListing;
        auto decoder = MakeRowDecoder(c());
        out.pages = CollectTablePages(c(), *decoder, bAdvanced);
        CTableLister lister(c(), *decoder, out.pages.pages);
        const auto nFirst = static_cast<std::size_t>(std::max(c().m_nFirstStoredColumn, 0));
        lister.List(0, 0, [&](const DecodedRow& row) {
            std::vector<std::string> texts;
            for (std::size_t i = nFirst; i < row.texts.size(); ++i)
                if (out.columns[i].m_nStorageColumnId != kNotStored) texts.push_back(row.texts[i]);
            out.rows.push_back(std::move(texts));
            out.bLobFailure = out.bLobFailure || row.bLobFailure;
        });
        out.nInvalid = decoder->InvalidRecords();
        app.m_bListingMode = false;
        return out;
    }
};

} // namespace qw
