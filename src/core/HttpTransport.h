#pragma once

#include <atomic>
#include <string>

// One blocking HTTP exchange on libcurl's easy interface. Each thread keeps its connection to a
// server (and its TLS session) between exchanges, for as long as the server keeps it open; a
// connection the server has closed meanwhile is replaced unseen. Everything else an exchange
// acquires is released before it returns.
//
// Every exchange is bounded so that a silent server can never hold the window for good: the
// connection must be made within 15 s, nothing may stall for longer than 30 s, and the whole
// exchange ends after 60 s. An exchange that does not end well reports no status at all. A reply
// body above MaxBodyBytes is refused with EZelvanError.
//
// An http address that gets no reply at all is tried once more with a TLS handshake only (nothing
// is sent), to tell the user when the port speaks HTTPS.
//
// Certificates are always verified. Redirects are followed on the same host only, and from an
// https address only to https: neither the password nor the token ever goes elsewhere.

// Why an exchange brought no status, as far as a person can act on it.
enum class THttpFailure {
    None,              // a status arrived
    Refused,           // nothing listens at that address and port
    TimedOut,          // no connection, or no reply, within the limits
    HostNotFound,      // the name could not be resolved
    BrokeOff,          // the connection closed before the reply was whole
    Cancelled,         // the program called it off
    Untrusted,         // the server's certificate is signed by no authority trusted here
    WrongName,         // the certificate is for another name than the server's address
    Expired,           // the certificate is out of date
    NotTls,            // an https address, and the server does not speak TLS there
    TlsOnly,           // an http address, and the server speaks only TLS there
    Redirected,        // a redirect that is refused: off https, or to another host
    CaFileUnreadable,  // the authority's file named in the settings cannot be read
    Other,
};

struct THttpReply {
    long StatusCode = 0;  // 0 when no status arrived or the exchange did not end well
    std::string Body;     // the bytes received, also when the exchange broke off
    THttpFailure Failure = THttpFailure::Other;
};

// Where a request may go: over a kept connection, or over a new one. A request that must never
// arrive twice (a change) goes over a new one: libcurl sends a request again by itself when a
// kept connection has died before any reply came, and the server may have acted on it already.
enum class TConnection { Kept, Fresh };

struct THttpLimits {
    long ConnectTimeoutSeconds = 15;
    long StallTimeoutSeconds = 30;
    long TotalTimeoutSeconds = 60;
};

class THttpTransport {
public:
    static constexpr std::size_t MaxBodyBytes = 64u * 1024u * 1024u;
    static constexpr const char* UserAgent = "Zelvan/1.0";

    // Process-wide; the tests shorten them so that a silent server is given up on quickly.
    static THttpLimits& Limits();

    // A PEM file of an authority (or of a self-signed server) trusted besides the system's own
    // store; empty for the system's store alone. Process-wide, and safe to change while
    // exchanges run on other threads. A file that cannot be read fails every exchange.
    static void SetCaFile(std::string APath);
    static std::string CaFile();

    // While a scope lives, the exchanges made on its thread give up, as if no reply had come,
    // within about a second of AFlag becoming true: a program that ends need not wait for a
    // server that hangs.
    class TCancelScope {
    public:
        explicit TCancelScope(const std::atomic<bool>& AFlag);
        ~TCancelScope();
        TCancelScope(const TCancelScope&) = delete;
        TCancelScope& operator=(const TCancelScope&) = delete;

    private:
        const std::atomic<bool>* FPrevious;
    };

    // While a scope lives, the exchanges made on its thread go over one kept libcurl handle, and
    // so keep their connection and TLS session between them for as long as the server keeps the
    // connection open, rather than paying for a new connection and handshake each time. Without
    // one, each exchange has a connection of its own. A worker holds one for its thread's life.
    class TKeptConnections {
    public:
        TKeptConnections();
        ~TKeptConnections();
        TKeptConnections(const TKeptConnections&) = delete;
        TKeptConnections& operator=(const TKeptConnections&) = delete;

    private:
        bool FOwner = false;
    };

    // An empty AToken sends no Authorization header at all.
    static THttpReply Get(const std::string& AUrl, const std::string& AToken);
    static THttpReply Post(const std::string& AUrl, const std::string& ABody,
                           const std::string& AToken, TConnection AConnection = TConnection::Kept);
};
