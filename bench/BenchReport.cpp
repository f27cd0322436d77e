#include "BenchReport.h"

#include <cstdio>

void TRatioReporter::ReportRuns(const std::vector<Run>& ARuns) {
    ConsoleReporter::ReportRuns(ARuns);
    for (const Run& run : ARuns) {
        if (run.error_occurred || run.iterations == 0) continue;
        const std::string name = run.benchmark_name();
        Seconds[name] = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        if (const auto it = run.counters.find("bytes_per_second"); it != run.counters.end())
            BytesPerSecond[name] = it->second;
    }
}

int RunWithRatios(int argc, char** argv,
                  const std::vector<std::pair<std::string, std::string>>& APairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-48s %-48s %12s\n", "ours", "baseline", "time ratio");
    for (const auto& [ours, baseline] : APairs) {
        const auto a = reporter.Seconds.find(ours);
        const auto b = reporter.Seconds.find(baseline);
        if (a == reporter.Seconds.end() || b == reporter.Seconds.end()) continue;
        std::printf("%-48s %-48s %11.2fx", ours.c_str(), baseline.c_str(), a->second / b->second);
        const auto ma = reporter.BytesPerSecond.find(ours);
        const auto mb = reporter.BytesPerSecond.find(baseline);
        if (ma != reporter.BytesPerSecond.end() && mb != reporter.BytesPerSecond.end())
            std::printf("   %.1f MB/s vs %.1f MB/s", ma->second / 1e6, mb->second / 1e6);
        std::printf("\n");
    }
    benchmark::Shutdown();
    return 0;
}
