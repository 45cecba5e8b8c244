// A console reporter that also prints each benchmark's time as a ratio to a named baseline
// measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

class CRatioReporter : public benchmark::ConsoleReporter {
public:
    explicit CRatioReporter(std::string strBaseline) : m_strBaseline(std::move(strBaseline)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0)
                m_times[r.run_name.function_name] = r.GetAdjustedRealTime();
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        auto base = m_times.find(m_strBaseline);
        if (base == m_times.end() || base->second <= 0) return;
        std::printf("\nRatios to %s (lower is faster):\n", m_strBaseline.c_str());
        for (const auto& [name, t] : m_times)
            std::printf("  %-40s %.3fx\n", name.c_str(), t / base->second);
    }

private:
    std::string m_strBaseline;
    std::map<std::string, double> m_times;
};

// main() for a benchmark program whose ratios are taken against `baseline`.
#define QUARVEL_BENCHMARK_MAIN(baseline)                                                           \
    int main(int argc, char** argv) {                                                              \
        benchmark::Initialize(&argc, argv);                                                        \
        CRatioReporter reporter(baseline);                                                         \
        benchmark::RunSpecifiedBenchmarks(&reporter);                                              \
        benchmark::Shutdown();                                                                     \
        return 0;                                                                                  \
    }
