// Lists every row of a small written table whose data, allocation map and text pages the
// fuzzer rewrites, served from memory: layout resolution, page collection, the row reader and
// the large-value renderer over damaged pages. The header's object id, type and index id are
// kept, so the page maps still find the rewritten pages.
#include <cstddef>
#include <cstdint>

#include "catalog/CDbCatalog.h"
#include "rowdecode/TableListing.h"
#include "support/TableWriter.h"

namespace {

struct Base {
    qw::Bytes file;
    std::vector<std::size_t> positions; // the table's pages: data, allocation maps, text
};

const Base& BaseDatabase() {
    static const Base base = [] {
        using namespace qw;
        auto col = [](const char* name, std::uint8_t type, std::int16_t len) {
            ColumnSpec c;
            c.strName = name;
            c.nSystemType = type;
            c.nMaxLength = len;
            c.nCollationId = 872468488;
            return c;
        };
        TableSpec t;
        t.object.nId = 600;
        t.object.strName = "T";
        t.object.columns = {col("Id", ST_INT, 4),
                            col("B", ST_BIT, 1),
                            col("Name", ST_NVARCHAR, 40),
                            col("Txt", ST_TEXT, 16),
                            col("Img", ST_IMAGE, 16),
                            col("Big", ST_VARCHAR, -1),
                            col("Ovf", ST_VARBINARY, 8000),
                            col("Var", ST_SQL_VARIANT, 8016),
                            col("X", ST_XML, -1)};
        const Bytes xml{0xDF, 0xFF, 0x01, 0xB0, 0x04, 0xF0, 0x01, 0x61,
                        0x00, 0xEF, 0x00, 0x00, 0x01, 0xF8, 0x01, 0xF7};
        for (int i = 0; i < 6; ++i) {
            TableRow r;
            r.cells = {
                Int(i),
                Bit(i % 2),
                NText("name"),
                Lob(Ascii("some text value"), i % 2 ? LobForm::LargeRoot : LobForm::SmallRoot, 5),
                Lob(Bytes{0x89, 'P', 'N', 'G', 0, 1}, LobForm::Tree, 3),
                Lob(Bytes(300, 'm'), LobForm::MaxRoot, 100),
                Lob(Bytes(120, 0xAB), LobForm::Overflow),
                Val({0x38, 0x01, 0x2A, 0, 0, 0}),
                i % 3 ? Val(xml) : Lob(xml, LobForm::SmallRoot)};
            r.bForwarded = i == 2;
            r.nRecordType = i == 4 ? 6 : 0;
            t.rows.push_back(r);
        }
        t.nRowsPerPage = 2;
        t.nIamPages = 2;
        const WrittenDatabase w = WriteTables({}, {t});
        Base b;
        b.file = w.file;
        const WrittenTable& wt = w.tables.front();
        for (const auto* list : {&wt.dataPages, &wt.iamPages, &wt.textPages})
            for (const PagePointer& p : *list)
                b.positions.push_back(static_cast<std::size_t>(p.nPageId));
        return b;
    }();
    return base;
}

void ListAll(CDbCatalog& c, CDravoltBrevantProjApp& app, bool bListing, bool bAdvanced) {
    c.ResolveObject("T", "U ", {});
    if (!c.m_bResolved) return;
    app.m_bListingMode = bListing;
    auto decoder = MakeRowDecoder(c);
    const TablePageList pages = CollectTablePages(c, *decoder, bAdvanced);
    CTableLister lister(c, *decoder, pages.pages);
    std::size_t n = 0;
    lister.List(0, 0, [&](const DecodedRow& row) {
        for (const std::string& s : row.texts) n += s.size();
    });
    volatile std::size_t sink = n;
    (void)sink;
    app.m_bListingMode = false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Base& base = BaseDatabase();
    qw::Bytes file = base.file;
    const std::uint8_t options = data[0];
    ++data;
    --size;
    // Input chunks of a page each replace the table's pages in turn, from the page picked by
    // the options byte on.
    qw::OverwritePagesKeepingIdentity(file, base.positions, options >> 4, {data, size});
    CMemoryFileSource files;
    files.Add("/f/db.mdf", std::move(file));
    CDravoltBrevantProjApp app;
    app.m_bShowDeleted = options & 1;
    app.m_bShowAdvancedDeleted = options & 2;
    CNullNotify notify;
    CRecoverySession session;
    if (!OpenSession("/f/db.mdf", session, app, notify, files)) return 0;
    CDbCatalog& c = *session.m_pCatalog;
    ListAll(c, app, false, options & 4);
    ListAll(c, app, true, options & 8);
    return 0;
}
