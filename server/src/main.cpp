#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "CommandLine.h"
#include "KestaroServer.h"
#include "RequestStore.h"
#include "SampleRequests.h"

namespace {

// Adds a pending request every few seconds until stopped, so that the client's alert shows.
class TSimulator {
public:
    TSimulator(TRequestStore& AStore, int ASeconds) {
        if (ASeconds <= 0) return;
        FThread = std::thread([this, &AStore, ASeconds] {
            TSampleRequests samples;
            std::unique_lock lock(FMutex);
            while (!FStop.wait_for(lock, std::chrono::seconds(ASeconds),
                                   [this] { return FStopping; })) {
                const auto id = AStore.Create(samples.Next(NowText()));
                std::printf("new request %lld\n", static_cast<long long>(id));
                std::fflush(stdout);
            }
        });
    }
    ~TSimulator() {
        {
            std::lock_guard lock(FMutex);
            FStopping = true;
        }
        FStop.notify_all();
        if (FThread.joinable()) FThread.join();
    }

private:
    std::mutex FMutex;
    std::condition_variable FStop;
    bool FStopping = false;
    std::thread FThread;
};

int Run(const TCommandLine& ALine) {
    // SIGINT and SIGTERM are taken by one thread with sigwait, so stopping the server never
    // happens inside a signal handler. Threads started after this inherit the mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    // A certificate that cannot serve is refused before anything listens, with the reason.
    std::string tlsProblem;
    if (!ALine.Server.TlsCertificatePem.empty() &&
        !THttpServer::CheckTlsPair(ALine.Server.TlsCertificatePem, ALine.Server.TlsKeyPem,
                                   tlsProblem)) {
        std::fprintf(stderr, "kestaro-server: cannot serve HTTPS: %s\n", tlsProblem.c_str());
        return 1;
    }
    TRequestStore store(ALine.Server.DatabasePath);
    if (ALine.Seed > 0 && store.IsEmpty()) store.CreateMany(TSampleRequests().History(ALine.Seed));

    TKestaroServer server(ALine.Server, store);
    const int port = server.Bind();
    if (port < 0) {
        std::fprintf(stderr, "kestaro-server: cannot listen on %s:%d\n", ALine.Server.Host.c_str(),
                     ALine.Server.Port);
        return 1;
    }
    std::printf("kestaro-server listening on %s://%s:%d (database %s)\n",
                ALine.Server.TlsCertificatePem.empty() ? "http" : "https",
                ALine.Server.Host.c_str(), port, ALine.Server.DatabasePath.c_str());
    std::printf("kestaro-server: the password of \"user\" comes from %s\n",
                ALine.PasswordSource.c_str());
    std::fflush(stdout);

    TSimulator simulator(store, ALine.SimulateSeconds);
    std::thread waiter([&server, signals] {
        int received = 0;
        sigwait(&signals, &received);
        server.Stop();
    });
    server.Serve();
    // Serving ended without a signal (a listen error): wake the waiter so it can be joined.
    if (waiter.joinable()) {
        pthread_kill(waiter.native_handle(), SIGTERM);
        waiter.join();
    }
    std::printf("kestaro-server stopped\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error,
                                       std::getenv("KESTARO_PASSWORD"));
    // One line: a service that fails to start and is started again writes it each time.
    if (!line) {
        std::fprintf(stderr, "kestaro-server: %s (kestaro-server --help shows the options)\n",
                     error.c_str());
        return 2;
    }
    for (const std::string& warning : line->Warnings)
        std::fprintf(stderr, "kestaro-server: warning: %s\n", warning.c_str());
    if (line->Help || line->Version) {
        std::fputs(line->Help ? UsageText : VersionText, stdout);
        return 0;
    }
    try {
        return Run(*line);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestaro-server: %s\n", e.what());
        return 1;
    }
}
