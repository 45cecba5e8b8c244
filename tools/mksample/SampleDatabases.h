// The bundled sample databases: two SharePoint content databases (primary files of the SQL
// Server 2008 layout) built with the database file writer. One keeps its sites in a table Webs,
// the other only in AllWebs; both hold lists, documents and their streams, a table of many
// column types, an audit log of a few thousand rows, a page-compressed user table, and views,
// procedures, functions, triggers, defaults, checks and keys with their texts.
#pragma once

#include <string>
#include <vector>

#include "support/TableWriter.h"

namespace qw::samples {

enum class SitesTable { Webs, AllWebs };

struct SampleDatabase {
    std::string strFileName; // content-webs.mdf, content-allwebs.mdf
    WrittenDatabase written;
};

// The user table whose data pages are compressed.
inline constexpr const char* kCompressedTable = "UserInfo";

// One content database. bCompressed false leaves the compressed table's pages as plain rows:
// the same rows, for comparing what the two forms read back as.
SampleDatabase BuildContentDatabase(SitesTable sites, bool bCompressed = true);

// Both sample databases, Webs first.
std::vector<SampleDatabase> BuildSampleDatabases();

} // namespace qw::samples
