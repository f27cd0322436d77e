#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

// Runs the registered benchmarks with the usual console output, then prints, for each pair of
// (ours, baseline) benchmark names, the ratio of their times per iteration, so the baseline
// always stands beside the figure in the same run.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    // Plain text: the figures are meant to be pasted into the README.
    TRatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& ARuns) override;
    std::map<std::string, double> Seconds;  // real time per iteration, by benchmark name
    std::map<std::string, double> BytesPerSecond;
};

// APairs: {ours, baseline, what the ratio means}.
int RunWithRatios(int argc, char** argv,
                  const std::vector<std::pair<std::string, std::string>>& APairs);
