// The document view over a content database of 50000 files in the folders of one library:
// the whole document-recovery scan (collecting sites, libraries and documents and building
// both trees) against decoding the rows of the documents table alone.
#include <benchmark/benchmark.h>

#include "BenchRatio.h"
#include "rowdecode/TableListing.h"
#include "support/TableWriter.h"
#include "workflow/MemoryPorts.h"
#include "workflow/RecoveryWorkflow.h"

namespace {

constexpr int kDocuments = 50000;

qw::Cell Guid(int n) {
    qw::Bytes b(16);
    for (int k = 0; k < 16; ++k)
        b[static_cast<std::size_t>(k)] =
            static_cast<std::uint8_t>(n >> (k % 3 * 8)) ^ static_cast<std::uint8_t>(k * 29);
    return qw::Val(b);
}

const CMemoryFileSource& Files() {
    static const CMemoryFileSource files = [] {
        using namespace qw;
        TableSpec webs, lists, docs;
        webs.object.nId = 501;
        webs.object.strName = "Webs";
        webs.object.columns = {Col("Id", ST_UNIQUEIDENTIFIER, 16), Col("Title", ST_NVARCHAR, 200)};
        webs.rows = {TableRow{{Guid(1), NText("Finance")}}};
        lists.object.nId = 502;
        lists.object.strName = "AllLists";
        lists.object.columns = {Col("tp_WebId", ST_UNIQUEIDENTIFIER, 16),
                                Col("tp_ID", ST_UNIQUEIDENTIFIER, 16),
                                Col("tp_Title", ST_NVARCHAR, 200)};
        lists.rows = {TableRow{{Guid(1), Guid(2), NText("Shared Documents")}}};
        docs.object.nId = 503;
        docs.object.strName = "AllDocs";
        docs.object.columns = {Col("Id", ST_UNIQUEIDENTIFIER, 16),
                               Col("WebId", ST_UNIQUEIDENTIFIER, 16),
                               Col("ListId", ST_UNIQUEIDENTIFIER, 16),
                               Col("Type", ST_TINYINT, 1),
                               Col("DirName", ST_NVARCHAR, 512),
                               Col("LeafName", ST_NVARCHAR, 256),
                               Col("Size", ST_INT, 4),
                               Col("TimeCreated", ST_DATETIME, 8)};
        for (int i = 0; i < kDocuments; ++i) {
            const std::string dir =
                "sites/finance/Shared Documents/Folder " + std::to_string(i % 50);
            docs.rows.push_back(
                TableRow{{Guid(100 + i), Guid(1), Guid(2), Val(Bytes{0}), NText(dir),
                          NText("Report " + std::to_string(i) + ".docx"), Int(1000 + i),
                          Val(Cat({LE32(300), LE32(44000)}))}});
        }
        CMemoryFileSource f;
        f.Add("/bench/content.mdf", WriteTables({}, {webs, lists, docs}).file);
        return f;
    }();
    return files;
}

void BM_DecodeDocumentRows(benchmark::State& state) {
    for (auto _ : state) {
        CDravoltBrevantProjApp app;
        CMemoryPorts ports;
        CRecoverySession session;
        CNullNotify notify;
        OpenSession("/bench/content.mdf", session, app, notify, Files(), {});
        CDbCatalog& c = *session.m_pCatalog;
        c.ResolveObject("AllDocs", "U ", {});
        app.m_bListingMode = true;
        CTableListing listing(c, false);
        std::uint64_t n = 0;
        listing.Lister().List(0, 0, [&](const DecodedRow&) { ++n; });
        if (n != kDocuments) state.SkipWithError("rows missing");
    }
}

void BM_DocumentRecoveryScan(benchmark::State& state) {
    for (auto _ : state) {
        CDravoltBrevantProjApp app;
        CMemoryPorts ports;
        CRecoveryWorkflow wf(app, ports.Ports(), Files());
        ScanSettings s;
        s.strMdfPath = "/bench/content.mdf";
        s.nRecoveryOption = RECOVERY_DOCUMENTS;
        wf.Open(s);
        wf.Wait();
        if (wf.SharePoint().Documents().size() != kDocuments)
            state.SkipWithError("documents missing");
    }
}

} // namespace

BENCHMARK(BM_DecodeDocumentRows)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_DocumentRecoveryScan)->Unit(benchmark::kMillisecond)->MinTime(2);

QUARVEL_BENCHMARK_MAIN("BM_DecodeDocumentRows")
