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
    ~TRawServer();
    TRawServer(const TRawServer&) = delete;
    TRawServer& operator=(const TRawServer&) = delete;

    int Port() const { return FPort; }
    std::string Url(const std::string& APath) const;

private:
    void Serve();

    std::string FReply;
    bool FHoldOpen;
    int FTrickleMs;
    int FListener = -1;
    int FPort = 0;
    std::atomic<bool> FStopping{false};
    std::thread FThread;
};
