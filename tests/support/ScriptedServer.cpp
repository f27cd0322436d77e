#include "ScriptedServer.h"

std::string TScriptedServer::TRecord::Header(const std::string& AName) const {
    const auto it = Headers.find(AName);
    return it == Headers.end() ? std::string() : it->second;
}

namespace {
std::unique_ptr<httplib::Server> MakeServer(const std::string& ACertificateFile,
                                            const std::string& AKeyFile) {
    if (ACertificateFile.empty()) return std::make_unique<httplib::Server>();
    return std::make_unique<httplib::SSLServer>(ACertificateFile.c_str(), AKeyFile.c_str());
}
}  // namespace

TScriptedServer::TScriptedServer(const std::string& ACertificateFile, const std::string& AKeyFile)
    : FServer(MakeServer(ACertificateFile, AKeyFile)),
      FScheme(ACertificateFile.empty() ? "http" : "https") {
    // Writes are bounded so that a test that abandons a delayed reply still shuts down quickly.
    FServer->set_write_timeout(5, 0);
    FServer->set_keep_alive_max_count(1);
    auto handler = [this](const httplib::Request& req, httplib::Response& res) {
        TRecord record{req.method, req.target, {}, req.body};
        for (const auto& [name, value] : req.headers) record.Headers.emplace(name, value);
        const TReply reply = NextReply(record);
        res.status = reply.Status;
        for (const auto& [name, value] : reply.Headers) res.set_header(name, value);
        if (reply.BreakOff) {
            res.set_content_provider(
                reply.Body.size() * 2, reply.ContentType,
                [body = reply.Body](std::size_t, std::size_t, httplib::DataSink& ASink) {
                    ASink.write(body.data(), body.size());
                    return false;  // httplib then drops the connection
                });
        } else if (!reply.Body.empty() || reply.Status != 204) {
            res.set_content(reply.Body, reply.ContentType);
        }
    };
    FServer->Get(".*", handler);
    FServer->Post(".*", handler);
    FPort = FServer->bind_to_any_port("127.0.0.1");
    FThread = std::thread([this] { FServer->listen_after_bind(); });
    while (!FServer->is_running()) std::this_thread::yield();
}

TScriptedServer::~TScriptedServer() {
    FServer->stop();
    if (FThread.joinable()) FThread.join();
}

std::string TScriptedServer::Url(const std::string& APath) const {
    return FScheme + "://127.0.0.1:" + std::to_string(FPort) + APath;
}

void TScriptedServer::Queue(TReply AReply) {
    std::lock_guard lock(FMutex);
    FQueue.push_back(std::move(AReply));
}

void TScriptedServer::Queue(int AStatus, std::string ABody) {
    Queue(TReply(AStatus, std::move(ABody)));
}

void TScriptedServer::SetFallback(TReply AReply) {
    std::lock_guard lock(FMutex);
    FFallback = std::move(AReply);
}

void TScriptedServer::Route(const std::string& APath,
                            std::function<TReply(const TRecord&)> AHandler) {
    std::lock_guard lock(FMutex);
    FRoutes[APath] = std::move(AHandler);
}

TScriptedServer::TReply TScriptedServer::NextReply(const TRecord& ARecord) {
    std::function<TReply(const TRecord&)> route;
    {
        std::lock_guard lock(FMutex);
        FRequests.push_back(ARecord);
        const std::string path = ARecord.Target.substr(0, ARecord.Target.find('?'));
        if (const auto it = FRoutes.find(path); it != FRoutes.end()) {
            route = it->second;
        } else if (!FQueue.empty()) {
            TReply reply = std::move(FQueue.front());
            FQueue.pop_front();
            return reply;
        } else {
            return FFallback;
        }
    }
    return route(ARecord);
}

std::vector<TScriptedServer::TRecord> TScriptedServer::Requests() const {
    std::lock_guard lock(FMutex);
    return FRequests;
}

int TScriptedServer::CountRequests(const std::string& APath) const {
    std::lock_guard lock(FMutex);
    int count = 0;
    for (const auto& r : FRequests)
        if (r.Target.substr(0, r.Target.find('?')) == APath) ++count;
    return count;
}
