// The mapping pass (open: base-offset probe and page maps) over a generated 1 GiB file,
// against a raw sequential read of the same file.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

#include "BenchRatio.h"
#include "pagestore/CMdfReader.h"
#include "support/DbWriter.h"

namespace {

constexpr std::size_t kPages = 131072 + 3; // 1 GiB and a few pages

const std::string& BenchFile() {
    static const std::string path = [] {
        const std::string p =
            (std::filesystem::temp_directory_path() / "quarvel-bench-1g.mdf").string();
        std::error_code ec;
        if (std::filesystem::file_size(p, ec) == kPages * kPageSize) return p;
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        // Extents of eight pages of one object each, as a busy database has them.
        std::vector<std::uint8_t> block(kPagesPerExtent * kPageSize);
        for (std::size_t n = 0; n < kPages; n += kPagesPerExtent) {
            for (std::size_t i = 0; i < kPagesPerExtent; ++i) {
                qw::PageHeaderFields h;
                h.nType = i == 0 ? qw::PT_IAM : (n / 8) % 5 == 0 ? qw::PT_INDEX : qw::PT_DATA;
                h.nObjectId = (n / 8) % 3 == 0 ? 34 + static_cast<std::int32_t>(n % 7)
                                               : 1000 + static_cast<std::int32_t>((n / 8) % 500);
                h.self = {static_cast<std::int32_t>(n + i), 1};
                qw::WriteHeader(block.data() + i * kPageSize, h);
            }
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(block.size()));
        }
        out.close();
        std::filesystem::resize_file(p, kPages * kPageSize);
        return p;
    }();
    return path;
}

void BM_RawSequentialRead(benchmark::State& state) {
    const std::string& p = BenchFile();
    std::vector<std::uint8_t> buf(1 << 20);
    for (auto _ : state) {
        const int fd = ::open(p.c_str(), O_RDONLY);
        std::uint64_t nSum = 0;
        for (off_t off = 0;; off += static_cast<off_t>(buf.size())) {
            const ssize_t n = ::pread(fd, buf.data(), buf.size(), off);
            if (n <= 0) break;
            nSum += buf[static_cast<std::size_t>(n) - 1];
        }
        ::close(fd);
        benchmark::DoNotOptimize(nSum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPages * kPageSize));
}

void BM_OpenAndMap(benchmark::State& state) {
    const std::string& p = BenchFile();
    for (auto _ : state) {
        CDravoltBrevantProjApp app;
        CNullNotify notify;
        CMdfReader reader(p, app, notify);
        if (!reader.IsOpen()) state.SkipWithError("the bench file did not open");
        benchmark::DoNotOptimize(reader.DataPages().size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kPages * kPageSize));
}

} // namespace

BENCHMARK(BM_RawSequentialRead)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_OpenAndMap)->Unit(benchmark::kMillisecond)->MinTime(3);

QUARVEL_BENCHMARK_MAIN("BM_RawSequentialRead")
