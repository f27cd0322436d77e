#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include <httplib.h>

#include "LoginGuard.h"
#include "RequestStore.h"

struct TServerOptions {
    std::string Host = "127.0.0.1";
    int Port = 8080;  // 0 picks a free port
    std::string DatabasePath = "kestaro.db";
    std::string Password = "2613";
};

// The Kestaro server's HTTP API over a request store. Every route but the login answers 401
// without a bearer token that this server granted; tokens live in memory only.
class TKestaroServer {
public:
    static constexpr std::size_t MaxBodyBytes = 1024 * 1024;
    // Tokens kept at most; the oldest is forgotten first, so that repeated logins cannot make
    // the server's memory grow without end.
    static constexpr std::size_t MaxTokens = 1000;
    // Worker threads; each connection holds one while it lasts.
    static constexpr std::size_t Workers = 256;

    TKestaroServer(TServerOptions AOptions, TRequestStore& AStore);

    // Binds the socket; returns the port listened on, or -1.
    int Bind();
    // Serves until Stop(); call Bind() first.
    void Serve();
    void Stop() { FHttp.stop(); }
    bool IsRunning() const { return FHttp.is_running(); }

private:
    void Routes();
    bool Authorized(const httplib::Request& ARequest);
    std::string GrantToken();

    void Login(const httplib::Request& ARequest, httplib::Response& AResponse);
    void Count(const httplib::Request& ARequest, httplib::Response& AResponse);
    void List(const httplib::Request& ARequest, httplib::Response& AResponse);
    void UpdateStatus(const httplib::Request& ARequest, httplib::Response& AResponse);
    void Delete(const httplib::Request& ARequest, httplib::Response& AResponse);
    void Create(const httplib::Request& ARequest, httplib::Response& AResponse);

    TServerOptions FOptions;
    TRequestStore& FStore;
    httplib::Server FHttp;
    std::mutex FTokensMutex;
    std::set<std::string> FTokens;
    std::deque<std::string> FTokenOrder;  // oldest first
    TLoginGuard FLoginGuard;
};
