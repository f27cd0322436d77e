#pragma once

#include <atomic>
#include <string>
#include <thread>

// A bare TCP listener on 127.0.0.1 for the replies no HTTP server library will send: it accepts
// each connection, writes AReply byte for byte (nothing when empty), and then either closes the
// connection or, when AHoldOpen, keeps it open and silent until the server is destroyed. With
// ATrickleMs, the reply goes out one byte every ATrickleMs milliseconds, one client at a time.
class TRawServer {
public:
    TRawServer(std::string AReply, bool AHoldOpen, int ATrickleMs = 0);
    // Keeps each connection open and answers every GET on it with AReply (which must give its
    // Content-Length); a POST is read, counted and answered by closing the connection, as a
    // server that acted on it and then died would.
    struct TKeepingGetsDroppingPosts {};
    TRawServer(std::string AReply, TKeepingGetsDroppingPosts);
    ~TRawServer();
    TRawServer(const TRawServer&) = delete;
    TRawServer& operator=(const TRawServer&) = delete;

    int Port() const { return FPort; }
    std::string Url(const std::string& APath) const;
    int PostsReceived() const { return FPosts; }
    int Connections() const { return FConnections; }

private:
    void Listen();
    void Serve();
    // Returns the connection when another client is waiting, -1 when it is done with.
    int ServeKeptConnection(int AClient);

    std::string FReply;
    bool FHoldOpen;
    int FTrickleMs;
    bool FKeepAlive = false;
    std::atomic<int> FPosts{0};
    std::atomic<int> FConnections{0};
    int FListener = -1;
    int FPort = 0;
    std::atomic<bool> FStopping{false};
    std::thread FThread;
};
