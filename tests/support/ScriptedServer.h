#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

// An HTTP server on 127.0.0.1 with an ephemeral port, run in-process on its own thread. Each test
// scripts the replies it wants, in order, and reads back every request that arrived.
class TScriptedServer {
public:
    struct TReply {
        TReply() = default;
        TReply(int AStatus, std::string ABody) : Status(AStatus), Body(std::move(ABody)) {}

        int Status = 200;
        std::string Body;
        std::string ContentType = "application/json";
        std::multimap<std::string, std::string> Headers;
        // The connection closes halfway through the body, after the status and headers.
        bool BreakOff = false;
    };

    struct TRecord {
        std::string Method;
        std::string Target;  // path with query
        std::multimap<std::string, std::string, httplib::detail::ci> Headers;
        std::string Body;

        bool HasHeader(const std::string& AName) const { return Headers.count(AName) > 0; }
        std::string Header(const std::string& AName) const;
    };

    // With a certificate and key file (PEM), it serves HTTPS.
    explicit TScriptedServer(const std::string& ACertificateFile = {},
                             const std::string& AKeyFile = {});
    ~TScriptedServer();
    TScriptedServer(const TScriptedServer&) = delete;
    TScriptedServer& operator=(const TScriptedServer&) = delete;

    int Port() const { return FPort; }
    std::string Host() const { return "127.0.0.1"; }
    std::string Url(const std::string& APath) const;

    // Replies are taken in order; when none is queued the server answers with the fallback.
    void Queue(TReply AReply);
    void Queue(int AStatus, std::string ABody);
    void SetFallback(TReply AReply);
    // Replies by path (without query), taken before the queue; useful for a login route.
    void Route(const std::string& APath, std::function<TReply(const TRecord&)> AHandler);

    std::vector<TRecord> Requests() const;
    int CountRequests(const std::string& APath) const;

private:
    TReply NextReply(const TRecord& ARecord);

    std::unique_ptr<httplib::Server> FServer;
    std::thread FThread;
    int FPort = 0;
    std::string FScheme = "http";
    mutable std::mutex FMutex;
    std::deque<TReply> FQueue;
    TReply FFallback{404, ""};
    std::map<std::string, std::function<TReply(const TRecord&)>> FRoutes;
    std::vector<TRecord> FRequests;
};
