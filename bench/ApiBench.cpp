#include <benchmark/benchmark.h>
#include <malloc.h>

#include <map>
#include <thread>

#include <httplib.h>

#include "BenchReport.h"
#include "HttpTransport.h"
#include "SyntheticReply.h"
#include "uZelvanApi.h"

namespace {

// A loopback server with a login route and one list route per size: /list/1000, /list/10000.
class TListServer {
public:
    TListServer() {
        for (const int count : {1000, 10000}) FReplies[count] = SyntheticListReply(count);
        FServer.Post("/api/login", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"token":"bench"})", "application/json");
        });
        FServer.Get("/api/certificates/requests",
                    [this](const httplib::Request& req, httplib::Response& res) {
                        const int count = std::stoi(req.get_param_value("status"));
                        res.set_content(FReplies.at(count), "application/json");
                    });
        FPort = FServer.bind_to_any_port("127.0.0.1");
        FThread = std::thread([this] { FServer.listen_after_bind(); });
        while (!FServer.is_running()) std::this_thread::yield();
    }
    ~TListServer() {
        FServer.stop();
        FThread.join();
    }
    int Port() const { return FPort; }
    std::size_t Size(int ACount) const { return FReplies.at(ACount).size(); }

private:
    httplib::Server FServer;
    std::map<int, std::string> FReplies;
    std::thread FThread;
    int FPort = 0;
};

TListServer& Server() {
    static TListServer server;
    return server;
}

// The whole operation: token from the cache, GET, strict UTF-8 decoding, parse, records.
void BM_GetRequests(benchmark::State& AState) {
    const int count = static_cast<int>(AState.range(0));
    TCertRequestList list;
    QString error;
    for (auto _ : AState) {
        // The count travels as the status word, which the server reads to pick the reply.
        if (!TZelvanApi::GetRequests("127.0.0.1", Server().Port(), "p", QString::number(count),
                                     list, error))
            AState.SkipWithError("request failed");
        benchmark::DoNotOptimize(list.data());
    }
    AState.SetBytesProcessed(std::int64_t(AState.iterations()) *
                             std::int64_t(Server().Size(count)));
}

// Baseline: the same bytes fetched through the transport alone.
void BM_BareFetch(benchmark::State& AState) {
    const int count = static_cast<int>(AState.range(0));
    const std::string url = "http://127.0.0.1:" + std::to_string(Server().Port()) +
                            "/api/certificates/requests?status=" + std::to_string(count);
    for (auto _ : AState) {
        const THttpReply reply = THttpTransport::Get(url, "bench");
        benchmark::DoNotOptimize(reply.Body.data());
    }
    AState.SetBytesProcessed(std::int64_t(AState.iterations()) *
                             std::int64_t(Server().Size(count)));
}

}  // namespace

BENCHMARK(BM_GetRequests)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareFetch)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    // As in json_bench: freed memory stays in the process for both sides alike.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    return RunWithRatios(argc, argv,
                         {{"BM_GetRequests/1000/real_time", "BM_BareFetch/1000/real_time"},
                          {"BM_GetRequests/10000/real_time", "BM_BareFetch/10000/real_time"}});
}
