#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <httplib.h>

#include "BenchReport.h"
#include "LocalKestaro.h"
#include "SampleRequests.h"
#include "TempDir.h"

namespace {

// kestaro-server with 1,000 requests, and a logged-in keep-alive client for each benchmark.
struct TLoad {
    TTempDir Dir;
    TLocalKestaro Server{Dir.File("bench.db")};
    std::string Token;

    TLoad() {
        Server.Store().CreateMany(TSampleRequests(1).History(1000));
        httplib::Client client("127.0.0.1", Server.Port());
        const auto res = client.Post("/api/login", R"({"username":"user","password":"2613"})",
                                     "application/json");
        Token = res->body.substr(10, 64);  // {"token":"<64 hex digits>"}
    }
};

TLoad& Load() {
    static TLoad load;
    return load;
}

void Hammer(benchmark::State& AState, const char* APath, bool AWithToken) {
    httplib::Client client("127.0.0.1", Load().Server.Port());
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    httplib::Headers headers;
    if (AWithToken) headers.emplace("Authorization", "Bearer " + Load().Token);
    std::int64_t bytes = 0;
    for (auto _ : AState) {
        const auto res = client.Get(APath, headers);
        if (!res) {
            AState.SkipWithError("request failed");
            break;
        }
        bytes += std::int64_t(res->body.size());
    }
    AState.SetItemsProcessed(AState.iterations());
    AState.SetBytesProcessed(bytes);
}

void BM_Counts(benchmark::State& AState) {
    Hammer(AState, "/api/certificates/requests/count?last_id=900", true);
}
void BM_List1000(benchmark::State& AState) {
    Hammer(AState, "/api/certificates/requests", true);
}
// 64 connections that send one byte of a request head every second, never finishing it, while
// they live: each holds a worker of the server.
class TSlowClients {
public:
    explicit TSlowClients(int APort) {
        for (int i = 0; i < 64; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(std::uint16_t(APort));
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
                FSockets.push_back(fd);
            else
                ::close(fd);
        }
        FThread = std::thread([this] {
            while (!FStop) {
                for (const int fd : FSockets) (void)::send(fd, "G", 1, MSG_NOSIGNAL);
                for (int i = 0; i < 10 && !FStop; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }
    ~TSlowClients() {
        FStop = true;
        FThread.join();
        for (const int fd : FSockets) ::close(fd);
    }

private:
    std::vector<int> FSockets;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

void BM_CountsWithSlowClients(benchmark::State& AState) {
    const TSlowClients slow(Load().Server.Port());
    Hammer(AState, "/api/certificates/requests/count?last_id=900", true);
}

// Baseline: the same round trip refused before any database work (no token).
void BM_RefusedWithoutToken(benchmark::State& AState) {
    Hammer(AState, "/api/certificates/requests/count?last_id=900", false);
}

}  // namespace

BENCHMARK(BM_Counts)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_List1000)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CountsWithSlowClients)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefusedWithoutToken)->UseRealTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    return RunWithRatios(argc, argv,
                         {{"BM_Counts/real_time", "BM_RefusedWithoutToken/real_time"},
                          {"BM_List1000/real_time", "BM_RefusedWithoutToken/real_time"},
                          {"BM_CountsWithSlowClients/real_time", "BM_Counts/real_time"}});
}
