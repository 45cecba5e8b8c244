// Builds the catalog of a small written database whose system-table pages the fuzzer
// rewrites, served from memory. The page header's object id, type and index id are kept, so
// the page maps still find the rewritten pages.
#include <cstddef>
#include <cstdint>

#include "catalog/CDbCatalog.h"
#include "pagestore/Bytes.h"
#include "support/DatabaseWriter.h"

namespace {

struct Base {
    qw::Bytes file;
    std::vector<std::size_t> systemPages;
};

const Base& BaseDatabase() {
    static const Base base = [] {
        qw::DatabaseSpec db;
        for (int i = 0; i < 6; ++i) {
            qw::ObjectSpec o;
            o.nId = 500 + i;
            o.strName = "T" + std::to_string(i);
            qw::ColumnSpec a;
            a.strName = "Id";
            a.identity = std::make_pair(1, 1);
            qw::ColumnSpec b;
            b.strName = "Name";
            b.nSystemType = qw::ST_NVARCHAR;
            b.nMaxLength = 100;
            o.columns = {a, b};
            if (i % 2) o.indexes = {qw::IndexSpec{"PK", 1, 1, true, true, false, {1}}};
            db.objects.push_back(o);
        }
        db.files = {{1, "F", "C:\\F.mdf", 2}, {3, "G", "C:\\G.ndf", 2}};
        Base b;
        b.file = qw::WriteDatabase(db).Build();
        for (std::size_t p = 10; p < b.file.size() / kPageSize; ++p)
            if (b.file[p * kPageSize + 1] == qw::PT_DATA) b.systemPages.push_back(p);
        return b;
    }();
    return base;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Base& base = BaseDatabase();
    qw::Bytes file = base.file;
    const std::uint8_t options = data[0];
    ++data;
    --size;
    // Input chunks of a page each replace system pages in turn, from the page picked by the
    // options byte on.
    qw::OverwritePagesKeepingIdentity(file, base.systemPages, options >> 4, {data, size});
    CMemoryFileSource files;
    files.Add("/f/db.mdf", std::move(file));
    CDravoltBrevantProjApp app;
    app.m_bIsSql2000 = options & 1;
    app.m_bShowDeleted = options & 2;
    app.m_bShowAdvancedDeleted = options & 4;
    CNullNotify notify;
    CRecoverySession session;
    if (OpenSession("/f/db.mdf", session, app, notify, files)) {
        const CDbCatalog& c = *session.m_pCatalog;
        volatile std::size_t n = c.FindObject("T1", "U ").m_strName.size() + c.m_foreignKeys.size();
        (void)n;
    }
    return 0;
}
