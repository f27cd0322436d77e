#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "HttpServer.h"
#include "LoginGuard.h"
#include "RequestStore.h"

struct TServerOptions {
    std::string Host = "127.0.0.1";
    int Port = 8080;  // 0 picks a free port
    std::string DatabasePath = "kestaro.db";
    std::string Password = "2613";
    bool LogRequests = false;       // a line on the standard output for every request answered
    std::string TlsCertificatePem;  // with the key, HTTPS instead of HTTP
    std::string TlsKeyPem;
};

// The Kestaro server's HTTP API over a request store. Every route but the login answers 401
// without a bearer token that this server granted; tokens live in memory only.
class TKestaroServer {
public:
    static constexpr std::size_t MaxBodyBytes = 1024 * 1024;
    // Tokens kept at most; the oldest is forgotten first, so that repeated logins cannot make
    // the server's memory grow without end.
    static constexpr std::size_t MaxTokens = 1000;

    TKestaroServer(TServerOptions AOptions, TRequestStore& AStore);

    // Starts listening and serving; returns the port listened on, or -1.
    int Bind();
    // Returns when Stop() is called; call Bind() first.
    void Serve();
    void Stop();
    bool IsRunning() const { return FHttp.IsRunning(); }
    unsigned ConnectionsOpened() const { return FHttp.ConnectionsOpened(); }

private:
    void Route(const THttpRequest& ARequest, THttpResponse& AResponse);
    bool Authorized(const THttpRequest& ARequest);
    void LogRequest(const THttpRequest& ARequest, const THttpResponse& AResponse);
    std::string GrantToken();

    void Login(const THttpRequest& ARequest, THttpResponse& AResponse);
    void Count(const THttpRequest& ARequest, THttpResponse& AResponse);
    void List(const THttpRequest& ARequest, THttpResponse& AResponse);
    void UpdateStatus(const THttpRequest& ARequest, THttpResponse& AResponse);
    void Delete(const THttpRequest& ARequest, THttpResponse& AResponse);
    void Create(const THttpRequest& ARequest, THttpResponse& AResponse);

    TServerOptions FOptions;
    TRequestStore& FStore;
    THttpServer FHttp;
    std::mutex FServeMutex;
    std::condition_variable FStopped;
    bool FStopping = false;
    std::mutex FTokensMutex;
    std::set<std::string> FTokens;
    std::deque<std::string> FTokenOrder;  // oldest first
    TLoginGuard FLoginGuard;
};
