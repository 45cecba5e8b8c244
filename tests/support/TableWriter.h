// Writes user tables with real data pages on top of the database writer: rows in the FixedVar
// format placed as the rowset columns say, large values on text pages (small roots, large
// roots, internal nodes, data fragments) reached through text pointers, in-row roots and
// row-overflow pointers, sparse vectors, forwarded rows and their stubs, ghost rows, and
// allocation map pages chained through their next-page links.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "support/DatabaseWriter.h"

namespace qw {

// How a large value is stored off the row.
enum class LobForm {
    SmallRoot, // a 16-byte text pointer to a small root holding the data
    LargeRoot, // a text pointer to a large root whose links name data fragments
    Tree,      // a text pointer to a large root, one internal node, then data fragments
    MaxRoot,   // an in-row root (kind 4) whose links name data fragments
    Overflow,  // a row-overflow pointer (kind 2): one link to one data fragment
};

// One column value of a written row.
struct Cell {
    enum class Kind { Null, Value, Complex, Lob };
    Kind kind = Kind::Null;
    Bytes bytes; // Value: the stored bytes (bit: one byte 0/1); Complex: the column's bytes
                 // as given; Lob: the whole value
    LobForm form = LobForm::SmallRoot;
    std::size_t nChunk = 8000; // Lob: bytes per data fragment
};

Cell Null();
Cell Val(Bytes b);
Cell Int(std::int32_t v);
Cell BigInt(std::int64_t v);
Cell Bit(bool b);
Cell Text(std::string_view ascii);  // single-byte text
Cell NText(std::string_view ascii); // UTF-16 text
// A complex (off-row marked) variable value written as given: damaged pointers, say.
Cell Complex(Bytes b);
Cell Lob(Bytes data, LobForm form, std::size_t nChunk = 8000);

struct TableRow {
    std::vector<Cell> cells; // one per column of the table, in column order
    int nRecordType = 0;     // 0 a primary row; 6 a ghost (deleted) row
    // The row is moved to a page at the end of the table and a stub is left in its place.
    bool bForwarded = false;
};

struct TableSpec {
    // The table: id, name, columns and indexes. Its first page, root page, first IAM page and
    // row count are filled by the writer.
    ObjectSpec object;
    std::vector<TableRow> rows;
    std::size_t nRowsPerPage = 0; // 0: as many as fit on a page
    int nIamPages = 1;            // the length of the allocation map chain; 0: none
};

struct WrittenTable {
    std::int32_t nObjectId = 0;
    StorageIds ids;                     // rowset and in-row allocation unit
    std::int32_t nPageObjectId = 0;     // the object id the table's page headers carry
    std::int16_t nPageIndexId = 0;      // and the index id
    std::vector<PagePointer> dataPages; // in chain order (the page of moved rows last)
    std::vector<PagePointer> textPages;
    std::vector<PagePointer> iamPages; // in chain order
};

struct WrittenDatabase {
    DatabaseSpec spec; // as written, with the tables' pages named
    Bytes file;
    std::vector<WrittenTable> tables; // in the order given
    // The page at a position of the file.
    std::uint8_t* PageAt(PagePointer p) { return file.data() + std::size_t(p.nPageId) * kPageSize; }
};

// Writes the database of `db` with the tables added to its objects. Table pages lie from page
// 16 on, the system tables after them. The 2000 layout (db.bSql2000) gives the pages the table's
// own object id and places the columns in column order.
WrittenDatabase WriteTables(DatabaseSpec db, const std::vector<TableSpec>& tables);

} // namespace qw
