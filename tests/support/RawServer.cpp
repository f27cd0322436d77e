#include "RawServer.h"

#include <chrono>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

TRawServer::TRawServer(std::string AReply, bool AHoldOpen, int ATrickleMs)
    : FReply(std::move(AReply)), FHoldOpen(AHoldOpen), FTrickleMs(ATrickleMs) {
    Listen();
}

TRawServer::TRawServer(std::string AReply, TKeepingGetsDroppingPosts)
    : FReply(std::move(AReply)), FHoldOpen(false), FTrickleMs(0), FKeepAlive(true) {
    Listen();
}

void TRawServer::Listen() {
    FListener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (FListener < 0 || ::bind(FListener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(FListener, 8) != 0 ||
        ::getsockname(FListener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("raw test server: cannot listen");
    FPort = ntohs(addr.sin_port);
    FThread = std::thread([this] { Serve(); });
}

TRawServer::~TRawServer() {
    FStopping = true;
    FThread.join();
    ::close(FListener);
}

std::string TRawServer::Url(const std::string& APath) const {
    return "http://127.0.0.1:" + std::to_string(FPort) + APath;
}

void TRawServer::Serve() {
    std::vector<int> held;
    while (!FStopping) {
        pollfd p{FListener, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int client = ::accept(FListener, nullptr, nullptr);
        if (client < 0) continue;
        ++FConnections;
        if (FKeepAlive) {
            if (const int kept = ServeKeptConnection(client); kept >= 0) held.push_back(kept);
            continue;
        }
        // Read what the client sent first, so that closing does not turn into a reset.
        char buffer[8192];
        pollfd c{client, POLLIN, 0};
        if (::poll(&c, 1, 1000) > 0) (void)::recv(client, buffer, sizeof buffer, 0);
        if (FTrickleMs > 0) {
            for (std::size_t i = 0; i < FReply.size() && !FStopping; ++i) {
                if (::send(client, FReply.data() + i, 1, MSG_NOSIGNAL) != 1) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(FTrickleMs));
            }
        } else if (!FReply.empty()) {
            (void)::send(client, FReply.data(), FReply.size(), MSG_NOSIGNAL);
        }
        if (FHoldOpen)
            held.push_back(client);
        else
            ::close(client);
    }
    for (const int fd : held) ::close(fd);
}

int TRawServer::ServeKeptConnection(int AClient) {
    std::string received;
    while (!FStopping) {
        const std::size_t headEnd = received.find("\r\n\r\n");
        if (headEnd == std::string::npos) {
            char buffer[8192];
            pollfd both[] = {{AClient, POLLIN, 0}, {FListener, POLLIN, 0}};
            if (::poll(both, 2, 50) <= 0) continue;
            if (both[1].revents & POLLIN)
                return AClient;  // kept open, idle, while another is served
            if (!(both[0].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t got = ::recv(AClient, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            received.append(buffer, std::size_t(got));
            continue;
        }
        if (received.starts_with("POST")) {
            ++FPosts;
            break;
        }
        received.erase(0, headEnd + 4);
        if (::send(AClient, FReply.data(), FReply.size(), MSG_NOSIGNAL) < 0) break;
    }
    ::close(AClient);
    return -1;
}
