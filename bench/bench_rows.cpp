// The row reader over a generated table of a million rows of mixed types: every row decoded,
// and the first screen page of 1000 rows, against a raw read of the table's pages.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "BenchRatio.h"
#include "catalog/CDbCatalog.h"
#include "pagestore/Bytes.h"
#include "rowdecode/TableListing.h"
#include "support/TableWriter.h"

namespace {

constexpr int kRows = 1000000;

qw::ColumnSpec Col(const char* name, std::uint8_t type, std::int16_t len) {
    qw::ColumnSpec c;
    c.strName = name;
    c.nSystemType = type;
    c.nMaxLength = len;
    c.nCollationId = 872468488;
    c.nPrecision = 9;
    c.nScale = 2;
    return c;
}

// A text and a number, appended in place.
std::string Numbered(const char* prefix, int n) {
    std::string s(prefix);
    s.append(std::to_string(n));
    return s;
}

const std::string& BenchFile() {
    static const std::string path = [] {
        using namespace qw;
        const std::string p =
            (std::filesystem::temp_directory_path() / "quarvel-bench-rows-1m.mdf").string();
        std::error_code ec;
        if (std::filesystem::file_size(p, ec) > 0 && !ec) return p;
        TableSpec t;
        t.object.nId = 600;
        t.object.strName = "Orders";
        t.object.columns = {Col("Id", ST_INT, 4),           Col("Customer", ST_BIGINT, 8),
                            Col("Paid", ST_BIT, 1),         Col("Shipped", ST_BIT, 1),
                            Col("Created", ST_DATETIME, 8), Col("Amount", ST_DECIMAL, 5),
                            Col("Price", ST_MONEY, 8),      Col("Ref", ST_UNIQUEIDENTIFIER, 16),
                            Col("Code", ST_VARCHAR, 20),    Col("Name", ST_NVARCHAR, 60),
                            Col("Note", ST_VARCHAR, 100)};
        t.rows.reserve(kRows);
        for (int i = 0; i < kRows; ++i) {
            TableRow r;
            Bytes guid(16);
            for (int k = 0; k < 16; ++k)
                guid[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(i * 7 + k);
            r.cells = {
                Int(i),
                BigInt(1000000007LL * i),
                Bit(i % 2),
                Bit(i % 3 == 0),
                Val(Cat({LE32(static_cast<std::uint32_t>(i % 30000)), LE32(300u * (i % 86400))})),
                Val(Cat({Bytes{1}, LE32(static_cast<std::uint32_t>(i * 13))})),
                Val(LE64(static_cast<std::uint64_t>(i) * 12345)),
                Val(guid),
                Text(Numbered("C", i)),
                NText(Numbered("Customer ", i % 5000)),
                i % 4 ? Null() : Text(Numbered("note for order ", i))};
            t.rows.push_back(std::move(r));
        }
        const WrittenDatabase w = WriteTables({}, {t});
        std::ofstream(p, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(w.file.data()),
                   static_cast<std::streamsize>(w.file.size()));
        return p;
    }();
    return path;
}

// The opened database, its table resolved once.
struct Opened {
    CDravoltBrevantProjApp app;
    CNullNotify notify;
    CRecoverySession session;
    std::vector<PagePointer> pages;
    Opened() {
        if (!OpenSession(BenchFile(), session, app, notify)) return;
        CDbCatalog& c = *session.m_pCatalog;
        c.ResolveObject("Orders", "U ", {});
        auto decoder = MakeRowDecoder(c);
        pages = CollectTablePages(c, *decoder, false).pages;
    }
};

Opened& Db() {
    static Opened db;
    return db;
}

void BM_RawTablePageRead(benchmark::State& state) {
    Opened& db = Db();
    std::vector<std::uint8_t> page(kPageSize);
    for (auto _ : state) {
        const int fd = ::open(BenchFile().c_str(), O_RDONLY);
        std::uint64_t nSum = 0;
        for (const PagePointer& p : db.pages)
            if (::pread(fd, page.data(), kPageSize, static_cast<off_t>(p.nPageId) * kPageSize) > 0)
                nSum += page[kPageSize - 1];
        ::close(fd);
        benchmark::DoNotOptimize(nSum);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kRows);
}

// Every row of the table through the listing: pages read, rows decoded, texts made.
void BM_DecodeEveryRow(benchmark::State& state) {
    Opened& db = Db();
    CDbCatalog& c = *db.session.m_pCatalog;
    std::uint64_t nRows = 0;
    for (auto _ : state) {
        db.app.m_bListingMode = true;
        auto decoder = MakeRowDecoder(c);
        CTableLister lister(c, *decoder, db.pages);
        nRows = lister.List(
            0, 0, [](const DecodedRow& row) { benchmark::DoNotOptimize(row.texts.data()); });
        db.app.m_bListingMode = false;
    }
    if (nRows != kRows) state.SkipWithError("not every row was listed");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * nRows));
}

// What a user waits for: the table resolved, its pages collected, the first 1000 rows listed.
void BM_FirstScreenPage(benchmark::State& state) {
    Opened& db = Db();
    CDbCatalog& c = *db.session.m_pCatalog;
    for (auto _ : state) {
        db.app.m_bListingMode = true;
        c.ResolveObject("Orders", "U ", {});
        auto decoder = MakeRowDecoder(c);
        CTableLister lister(c, *decoder, CollectTablePages(c, *decoder, false).pages);
        const std::uint64_t n = lister.List(0, kScreenPageRows, [](const DecodedRow& row) {
            benchmark::DoNotOptimize(row.texts.data());
        });
        db.app.m_bListingMode = false;
        if (n != kScreenPageRows) state.SkipWithError("short first screen page");
    }
}

} // namespace

BENCHMARK(BM_RawTablePageRead)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_DecodeEveryRow)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_FirstScreenPage)->Unit(benchmark::kMillisecond)->MinTime(2);

QUARVEL_BENCHMARK_MAIN("BM_RawTablePageRead")
