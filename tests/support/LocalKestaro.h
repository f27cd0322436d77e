#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "KestaroServer.h"
#include "RequestStore.h"

// kestaro-server run in-process on 127.0.0.1 with a free port, over the given database file.
class TLocalKestaro {
public:
    // APort 0 picks a free port; a restart can ask for the port it had before.
    // With a certificate and key (PEM texts), it serves HTTPS.
    explicit TLocalKestaro(const std::string& ADatabase, std::string APassword = "2613",
                           int APort = 0, std::string ACertificatePem = {},
                           std::string AKeyPem = {}, bool ALogRequests = false)
        : FStore(std::make_unique<TRequestStore>(ADatabase)) {
        TServerOptions options;
        options.Port = APort;
        options.DatabasePath = ADatabase;
        options.Password = std::move(APassword);
        options.TlsCertificatePem = std::move(ACertificatePem);
        options.TlsKeyPem = std::move(AKeyPem);
        options.LogRequests = ALogRequests;
        FServer = std::make_unique<TKestaroServer>(options, *FStore);
        FPort = FServer->Bind();
        if (FPort < 0) throw std::runtime_error("cannot listen");
        FThread = std::thread([this] { FServer->Serve(); });
        while (!FServer->IsRunning()) std::this_thread::yield();
    }
    ~TLocalKestaro() {
        FServer->Stop();
        FThread.join();
    }
    TLocalKestaro(const TLocalKestaro&) = delete;
    TLocalKestaro& operator=(const TLocalKestaro&) = delete;

    int Port() const { return FPort; }
    TRequestStore& Store() { return *FStore; }
    unsigned ConnectionsOpened() const { return FServer->ConnectionsOpened(); }

private:
    std::unique_ptr<TRequestStore> FStore;
    std::unique_ptr<TKestaroServer> FServer;
    std::thread FThread;
    int FPort = 0;
};
