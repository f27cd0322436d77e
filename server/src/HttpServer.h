#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct MHD_Daemon;

// One request as the routes see it: the whole body has arrived.
struct THttpRequest {
    std::string Method;
    std::string Path;
    std::map<std::string, std::string> Query;    // decoded; the first of two equal names counts
    std::map<std::string, std::string> Headers;  // names in lower case
    std::string RemoteAddress;
    std::string Body;
    bool BodyTooLarge = false;  // the body went beyond the limit and was dropped

    const std::string* Param(const std::string& AName) const;
    std::string Header(const std::string& ALowerCaseName) const;
};

struct THttpResponse {
    int Status = 200;
    std::string ContentType;
    std::string Body;
    std::vector<std::pair<std::string, std::string>> Headers;
};

// An event-driven HTTP server on libmicrohttpd: a few threads wait on all connections at once,
// so a connection costs a socket and a little memory, never a thread. A client that dribbles its
// request, or keeps an idle connection open, holds nobody up, and one that falls silent for
// InactivitySeconds is dropped. A body above the limit is dropped and the request flagged. The
// handler may be called on several threads at once.
class THttpServer {
public:
    using THandler = std::function<void(const THttpRequest&, THttpResponse&)>;
    static constexpr unsigned Threads = 4;
    // Long enough that a client polling every few seconds keeps its connection (and its TLS
    // session) from one poll to the next.
    static constexpr unsigned InactivitySeconds = 30;
    // TLS 1.2 and 1.3 only, with forward-secret key exchanges only (ECDHE, and DHE), in the
    // server's order of preference. ECDHE with AES-CBC over TLS 1.2 stays for older Windows.
    static constexpr const char* TlsPriorities =
        "SECURE128:-VERS-ALL:+VERS-TLS1.3:+VERS-TLS1.2:-RSA:-VERS-DTLS-ALL:%SERVER_PRECEDENCE";
    static constexpr unsigned MaxConnections = 1024;

    THttpServer(std::size_t AMaxBodyBytes, THandler AHandler);
    ~THttpServer();
    THttpServer(const THttpServer&) = delete;
    THttpServer& operator=(const THttpServer&) = delete;

    // Serves HTTPS with this certificate (chain) and private key, both PEM, from the next Start.
    void UseTls(std::string ACertificatePem, std::string AKeyPem);
    // Whether the certificate and key can serve together (both readable PEM, and a pair); where
    // they cannot, false with the reason in AError. Start with a pair that cannot would fail.
    static bool CheckTlsPair(const std::string& ACertificatePem, const std::string& AKeyPem,
                             std::string& AError);

    // Listens on AHost (an IPv4 address) and APort (0: any free port) and serves at once.
    // Returns the port, or -1.
    int Start(const std::string& AHost, int APort);
    void Stop();
    bool IsRunning() const { return FDaemon != nullptr; }
    // How many connections clients have opened since Start.
    unsigned ConnectionsOpened() const { return FConnectionsOpened; }

private:
    friend struct THttpServerCallbacks;

    std::size_t FMaxBodyBytes;
    THandler FHandler;
    MHD_Daemon* FDaemon = nullptr;
    std::atomic<unsigned> FConnectionsOpened = 0;
    std::string FCertificatePem;  // empty: plain HTTP
    std::string FKeyPem;
};
