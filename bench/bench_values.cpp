// Formatting throughput of the value formatter, per type family, in values per second. The
// baseline writes the same value bytes as hex digits with a plain loop: the least work any
// rendering of those bytes can do.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "BenchRatio.h"
#include "appstate/CDravoltBrevantProjApp.h"
#include "rowdecode/BinaryXml.h"
#include "rowdecode/ValueFormat.h"

namespace {

constexpr int kValues = 1024;

struct Family {
    TableColumn column;
    std::vector<std::vector<std::uint8_t>> values;
};

TableColumn Column(std::int32_t nCode, const char* pszType, std::int32_t nMax = 0,
                   std::int32_t nPrecision = 0, std::int32_t nScale = 0) {
    TableColumn c;
    c.m_strType = pszType;
    c.m_nTypeCode = nCode;
    c.m_nMaxLength = nMax;
    c.m_bVariableLength = nCode == TYPE_VARCHAR || nCode == TYPE_NVARCHAR;
    c.m_nPrecision = nPrecision;
    c.m_nScale = nScale;
    c.m_nCollationId = 932;
    return c;
}

// kValues values of nBytes random bytes each, shaped by `fix` into valid ones.
template <typename Fix> Family Make(TableColumn column, std::size_t nBytes, Fix fix) {
    std::mt19937 rng(42);
    Family f{std::move(column), {}};
    for (int i = 0; i < kValues; ++i) {
        std::vector<std::uint8_t> v(nBytes);
        for (auto& b : v) b = static_cast<std::uint8_t>(rng());
        fix(v, rng);
        f.values.push_back(std::move(v));
    }
    return f;
}
auto NoFix = [](std::vector<std::uint8_t>&, std::mt19937&) {};

void Put(std::vector<std::uint8_t>& v, std::size_t off, std::uint64_t x, int n) {
    for (int i = 0; i < n; ++i) v[off + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

CDravoltBrevantProjApp& App() {
    static CDravoltBrevantProjApp app;
    app.m_collations[932] = {"Japanese_CI_AS", 932};
    return app;
}

void Run(benchmark::State& state, const Family& f, bool bListing = false) {
    CDravoltBrevantProjApp& app = App();
    app.m_bListingMode = bListing;
    std::size_t nBytes = 0;
    for (auto _ : state) {
        BitCursor cursor;
        for (const auto& v : f.values) {
            ValueDescriptor d = InitValueDescriptor(f.column, cursor);
            d.m_nLength = static_cast<std::int32_t>(v.size());
            d.m_nAvailable = v.size();
            std::string s = FormatColumnValue(d, v.data(), f.column, app);
            nBytes += s.size();
            benchmark::DoNotOptimize(s);
        }
    }
    state.SetItemsProcessed(state.iterations() * kValues);
    benchmark::DoNotOptimize(nBytes);
}

void BM_Baseline_Hex(benchmark::State& state) {
    static const Family f = Make(Column(TYPE_BIGINT, "bigint(8)"), 8, NoFix);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (auto _ : state) {
        for (const auto& v : f.values) {
            std::string s;
            for (std::uint8_t b : v) {
                s += kDigits[b >> 4];
                s += kDigits[b & 15];
            }
            benchmark::DoNotOptimize(s);
        }
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}

void BM_Integers(benchmark::State& state) {
    static const Family f = Make(Column(TYPE_BIGINT, "bigint(8)"), 8, NoFix);
    Run(state, f);
}

void BM_Money(benchmark::State& state) {
    static const Family f = Make(Column(TYPE_MONEY, "money(8)"), 8, NoFix);
    Run(state, f);
}

void BM_Decimal(benchmark::State& state) {
    static const Family f =
        Make(Column(TYPE_DECIMAL, "decimal(9)", 9, 18, 4), 9, [](auto& v, auto&) { v[8] &= 0x7F; });
    Run(state, f);
}

void BM_Float(benchmark::State& state) {
    static const Family f = Make(Column(TYPE_FLOAT, "float(8)"), 8, [](auto& v, auto& rng) {
        const double x = std::uniform_real_distribution<double>(-1e6, 1e6)(rng);
        Put(v, 0, std::bit_cast<std::uint64_t>(x), 8);
    });
    Run(state, f);
}

void BM_Real(benchmark::State& state) {
    static const Family f = Make(Column(TYPE_REAL, "real(4)"), 4, [](auto& v, auto& rng) {
        const float x = std::uniform_real_distribution<float>(-1e6f, 1e6f)(rng);
        Put(v, 0, std::bit_cast<std::uint32_t>(x), 4);
    });
    Run(state, f);
}

void BM_DateTime(benchmark::State& state) {
    static const Family f = Make(Column(TYPE_DATETIME, "datetime(8)"), 8, [](auto& v, auto& rng) {
        Put(v, 0, rng() % 25920000, 4);
        Put(v, 4, rng() % 60000, 4);
    });
    Run(state, f);
}

void BM_DateTime2(benchmark::State& state) {
    static const Family f =
        Make(Column(TYPE_DATETIME2, "datetime2(8)", 0, 0, 7), 8, [](auto& v, auto& rng) {
            Put(v, 0, (std::uint64_t(rng()) << 8) % 864000000000ull, 5);
            Put(v, 5, rng() % 3652058, 3);
        });
    Run(state, f);
}

void BM_Guid(benchmark::State& state) {
    static const Family f = Make(Column(TYPE_UNIQUEIDENTIFIER, "uniqueidentifier(16)"), 16, NoFix);
    Run(state, f);
}

auto Letters = [](std::vector<std::uint8_t>& v, std::mt19937& rng) {
    for (auto& b : v) b = static_cast<std::uint8_t>('a' + rng() % 26);
};

void BM_Varchar1252(benchmark::State& state) {
    static const Family f = Make(Column(TYPE_VARCHAR, "varchar(40)", 40), 40, Letters);
    Run(state, f);
}

void BM_Varchar932(benchmark::State& state) {
    // Listing mode with a Japanese collation: a multi-byte page, converted through ICU.
    static const Family f = Make(Column(TYPE_VARCHAR, "varchar(40)", 40), 40, [](auto& v, auto&) {
        for (std::size_t i = 0; i + 1 < v.size(); i += 2) {
            v[i] = 0x82;
            v[i + 1] = static_cast<std::uint8_t>(0xA0 + i % 80);
        }
    });
    Run(state, f, true);
}

void BM_Nvarchar(benchmark::State& state) {
    static const Family f =
        Make(Column(TYPE_NVARCHAR, "nvarchar(80)", 80), 80, [](auto& v, auto& rng) {
            for (std::size_t i = 0; i < v.size(); i += 2) {
                v[i] = static_cast<std::uint8_t>('a' + rng() % 26);
                v[i + 1] = 0;
            }
        });
    Run(state, f);
}

void BM_Varbinary(benchmark::State& state) {
    static const Family f = Make(Column(TYPE_VARBINARY, "varbinary(40)"), 40, NoFix);
    Run(state, f);
}

void BM_Bits(benchmark::State& state) {
    static const Family f = Make(Column(TYPE_BIT, "bit(1)"), 1, NoFix);
    Run(state, f);
}

void BM_Variant(benchmark::State& state) {
    static const Family f = Make(Column(TYPE_SQL_VARIANT, "sql_variant(8016)"), 6,
                                 [](auto& v, auto&) { v[0] = 56, v[1] = 1; });
    BitCursor cursor;
    for (auto _ : state) {
        for (const auto& v : f.values) {
            ValueDescriptor d = InitValueDescriptor(f.column, cursor);
            benchmark::DoNotOptimize(FormatVariantValue(d, v.data(), 6, f.column, App()));
        }
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}

// <row id="n"><name>text</name></row> repeated ten times in one value.
std::vector<std::uint8_t> XmlDocument() {
    std::vector<std::uint8_t> b{0xDF, 0xFF, 0x01, 0xB0, 0x04};
    auto str = [&](std::u16string_view s) {
        b.push_back(static_cast<std::uint8_t>(s.size()));
        for (char16_t c : s) b.push_back(static_cast<std::uint8_t>(c)), b.push_back(0);
    };
    for (auto name : {u"rows", u"row", u"id", u"name"}) b.push_back(0xF0), str(name);
    for (std::uint8_t i = 1; i <= 4; ++i) b.insert(b.end(), {0xEF, 0, 0, i});
    b.insert(b.end(), {0xF8, 1, 0xF5});
    for (std::uint8_t i = 0; i < 10; ++i) {
        b.insert(b.end(), {0xF8, 2, 0xF6, 3, 0x02, i, 0, 0, 0, 0xF5, 0xF8, 4, 0xF5, 0x11});
        str(u"some text & more");
        b.insert(b.end(), {0xF7, 0xF7});
    }
    b.push_back(0xF7);
    return b;
}

void BM_Xml(benchmark::State& state) {
    static const std::vector<std::uint8_t> doc = XmlDocument();
    for (auto _ : state) {
        for (int i = 0; i < kValues / 16; ++i) benchmark::DoNotOptimize(binxml::Decode(doc));
    }
    state.SetItemsProcessed(state.iterations() * (kValues / 16));
}

} // namespace

BENCHMARK(BM_Baseline_Hex);
BENCHMARK(BM_Integers);
BENCHMARK(BM_Money);
BENCHMARK(BM_Decimal);
BENCHMARK(BM_Float);
BENCHMARK(BM_Real);
BENCHMARK(BM_DateTime);
BENCHMARK(BM_DateTime2);
BENCHMARK(BM_Guid);
BENCHMARK(BM_Varchar1252);
BENCHMARK(BM_Varchar932);
BENCHMARK(BM_Nvarchar);
BENCHMARK(BM_Varbinary);
BENCHMARK(BM_Bits);
BENCHMARK(BM_Variant);
BENCHMARK(BM_Xml);

QUARVEL_BENCHMARK_MAIN("BM_Baseline_Hex")
