#include <benchmark/benchmark.h>
#include <malloc.h>

#include <rapidjson/document.h>

#include "BenchReport.h"
#include "JsonDocument.h"
#include "SyntheticReply.h"
#include "uZelvanApi.h"

namespace {

const std::string& Reply(int ACount) {
    static std::map<int, std::string> replies;
    auto& reply = replies[ACount];
    if (reply.empty()) reply = SyntheticListReply(ACount);
    return reply;
}

// What the client does with a list reply: parse it and read every object into the records of
// the list it keeps between polls (emptied, then refilled).
void BM_OurLayerToRecords(benchmark::State& AState) {
    const std::string& reply = Reply(static_cast<int>(AState.range(0)));
    TCertRequestList list;
    for (auto _ : AState) {
        list.clear();
        const auto doc = TJsonDocument::Parse(std::string(reply));
        JsonGetRequests(doc->Root(), list);
        benchmark::DoNotOptimize(list.data());
    }
    AState.SetBytesProcessed(std::int64_t(AState.iterations()) * std::int64_t(reply.size()));
}

// Baseline: a plain RapidJSON DOM parse of the same bytes, nothing read out of it.
void BM_PlainRapidJsonDocument(benchmark::State& AState) {
    const std::string& reply = Reply(static_cast<int>(AState.range(0)));
    for (auto _ : AState) {
        rapidjson::Document doc;
        doc.Parse(reply.data(), reply.size());
        benchmark::DoNotOptimize(doc.IsArray());
    }
    AState.SetBytesProcessed(std::int64_t(AState.iterations()) * std::int64_t(reply.size()));
}

// The parse alone, without reading records, against the same baseline.
void BM_ParseOnly(benchmark::State& AState) {
    const std::string& reply = Reply(static_cast<int>(AState.range(0)));
    for (auto _ : AState) {
        const auto doc = TJsonDocument::Parse(std::string(reply));
        benchmark::DoNotOptimize(doc->Root().Size());
    }
    AState.SetBytesProcessed(std::int64_t(AState.iterations()) * std::int64_t(reply.size()));
}

}  // namespace

BENCHMARK(BM_ParseOnly)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OurLayerToRecords)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRapidJsonDocument)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // Keep freed memory in the process for both sides alike: otherwise every iteration of the
    // large cases maps fresh pages from the kernel, and on a virtual machine the page faults,
    // not the parsing, dominate what is measured.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    return RunWithRatios(argc, argv,
                         {{"BM_OurLayerToRecords/10000", "BM_PlainRapidJsonDocument/10000"},
                          {"BM_OurLayerToRecords/100000", "BM_PlainRapidJsonDocument/100000"},
                          {"BM_ParseOnly/10000", "BM_PlainRapidJsonDocument/10000"},
                          {"BM_ParseOnly/100000", "BM_PlainRapidJsonDocument/100000"}});
}
