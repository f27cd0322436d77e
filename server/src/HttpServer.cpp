#include "HttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>

#include <gnutls/gnutls.h>
#include <microhttpd.h>

#include <memory>

const std::string* THttpRequest::Param(const std::string& AName) const {
    const auto it = Query.find(AName);
    return it == Query.end() ? nullptr : &it->second;
}

std::string THttpRequest::Header(const std::string& ALowerCaseName) const {
    const auto it = Headers.find(ALowerCaseName);
    return it == Headers.end() ? std::string() : it->second;
}

namespace {

MHD_Result CollectQuery(void* ARequest, MHD_ValueKind, const char* AKey, std::size_t AKeySize,
                        const char* AValue, std::size_t AValueSize) {
    auto& query = static_cast<THttpRequest*>(ARequest)->Query;
    query.try_emplace(std::string(AKey, AKeySize),
                      AValue ? std::string(AValue, AValueSize) : std::string());
    return MHD_YES;
}

MHD_Result CollectHeader(void* ARequest, MHD_ValueKind, const char* AKey, const char* AValue) {
    std::string name(AKey);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    static_cast<THttpRequest*>(ARequest)->Headers.try_emplace(name, AValue ? AValue : "");
    return MHD_YES;
}

std::string RemoteAddress(MHD_Connection* AConnection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(AConnection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr || info->client_addr->sa_family != AF_INET) return {};
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(info->client_addr);
    inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
    return text;
}

}  // namespace

// libmicrohttpd's callbacks, with the exact types it calls them through.
struct THttpServerCallbacks {
    // Called once when the head has arrived, once for every piece of the body, and once more at
    // the end, when the answer is given.
    static MHD_Result OnRequest(void* AServer, MHD_Connection* AConnection, const char* AUrl,
                                const char* AMethod, const char*, const char* AUpload,
                                std::size_t* AUploadSize, void** AExchange) {
        auto* self = static_cast<THttpServer*>(AServer);
        auto* request = static_cast<THttpRequest*>(*AExchange);
        if (!request) {
            request = new THttpRequest;
            request->Method = AMethod;
            request->Path = AUrl;
            *AExchange = request;
            return MHD_YES;
        }
        if (*AUploadSize > 0) {
            // Past the limit the rest is read and dropped, so that the answer can still be given.
            if (request->Body.size() + *AUploadSize > self->FMaxBodyBytes)
                request->BodyTooLarge = true;
            else
                request->Body.append(AUpload, *AUploadSize);
            *AUploadSize = 0;
            return MHD_YES;
        }
        return Answer(*self, AConnection, *request);
    }

    static void OnConnection(void* AServer, MHD_Connection*, void**,
                             MHD_ConnectionNotificationCode ACode) {
        if (ACode == MHD_CONNECTION_NOTIFY_STARTED)
            ++static_cast<THttpServer*>(AServer)->FConnectionsOpened;
    }

    static void OnCompleted(void*, MHD_Connection*, void** AExchange, MHD_RequestTerminationCode) {
        delete static_cast<THttpRequest*>(*AExchange);
        *AExchange = nullptr;
    }

    static MHD_Result Answer(THttpServer& AServer, MHD_Connection* AConnection,
                             THttpRequest& ARequest) {
        MHD_get_connection_values_n(AConnection, MHD_GET_ARGUMENT_KIND, &CollectQuery, &ARequest);
        MHD_get_connection_values(AConnection, MHD_HEADER_KIND, &CollectHeader, &ARequest);
        ARequest.RemoteAddress = RemoteAddress(AConnection);
        THttpResponse response;
        try {
            AServer.FHandler(ARequest, response);
        } catch (...) {
            response = {};
            response.Status = 500;
        }
        MHD_Response* reply = MHD_create_response_from_buffer(
            response.Body.size(), response.Body.data(), MHD_RESPMEM_MUST_COPY);
        if (!reply) return MHD_NO;
        if (!response.ContentType.empty())
            MHD_add_response_header(reply, MHD_HTTP_HEADER_CONTENT_TYPE,
                                    response.ContentType.c_str());
        for (const auto& [name, value] : response.Headers)
            MHD_add_response_header(reply, name.c_str(), value.c_str());
        const MHD_Result queued = MHD_queue_response(AConnection, unsigned(response.Status), reply);
        MHD_destroy_response(reply);
        return queued;
    }
};

THttpServer::THttpServer(std::size_t AMaxBodyBytes, THandler AHandler)
    : FMaxBodyBytes(AMaxBodyBytes), FHandler(std::move(AHandler)) {}

THttpServer::~THttpServer() {
    Stop();
}

void THttpServer::UseTls(std::string ACertificatePem, std::string AKeyPem) {
    FCertificatePem = std::move(ACertificatePem);
    FKeyPem = std::move(AKeyPem);
}

// GnuTLS is what libmicrohttpd serves TLS with: asking it first gives the reason, where the
// daemon would only fail to start.
bool THttpServer::CheckTlsPair(const std::string& ACertificatePem, const std::string& AKeyPem,
                               std::string& AError) {
    gnutls_certificate_credentials_t raw = nullptr;
    if (gnutls_certificate_allocate_credentials(&raw) != GNUTLS_E_SUCCESS) {
        AError = "out of memory";
        return false;
    }
    const std::unique_ptr<gnutls_certificate_credentials_st,
                          decltype(&gnutls_certificate_free_credentials)>
        credentials(raw, &gnutls_certificate_free_credentials);
    const auto datum = [](const std::string& AText) {
        return gnutls_datum_t{reinterpret_cast<unsigned char*>(const_cast<char*>(AText.data())),
                              static_cast<unsigned>(AText.size())};
    };
    const gnutls_datum_t certificate = datum(ACertificatePem);
    const gnutls_datum_t key = datum(AKeyPem);
    const int result = gnutls_certificate_set_x509_key_mem(credentials.get(), &certificate, &key,
                                                           GNUTLS_X509_FMT_PEM);
    if (result >= 0) return true;
    AError = result == GNUTLS_E_CERTIFICATE_KEY_MISMATCH
                 ? "the key is not the certificate's"
                 : std::string("the certificate or the key cannot be read as PEM (") +
                       gnutls_strerror(result) + ")";
    return false;
}

int THttpServer::Start(const std::string& AHost, int APort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(APort));
    if (inet_pton(AF_INET, AHost.c_str(), &address.sin_addr) != 1) return -1;
    const bool tls = !FCertificatePem.empty();
    FConnectionsOpened = 0;
    // The certificate options are given only with TLS: libmicrohttpd refuses them otherwise.
    FDaemon = MHD_start_daemon(
        MHD_USE_AUTO_INTERNAL_THREAD | (tls ? MHD_USE_TLS : 0), 0, nullptr, nullptr,
        &THttpServerCallbacks::OnRequest, this, MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<const sockaddr*>(&address), MHD_OPTION_THREAD_POOL_SIZE, Threads,
        MHD_OPTION_CONNECTION_TIMEOUT, InactivitySeconds, MHD_OPTION_CONNECTION_LIMIT,
        MaxConnections, MHD_OPTION_LISTEN_BACKLOG_SIZE, 128u, MHD_OPTION_NOTIFY_COMPLETED,
        &THttpServerCallbacks::OnCompleted, this, MHD_OPTION_NOTIFY_CONNECTION,
        &THttpServerCallbacks::OnConnection, this, tls ? MHD_OPTION_HTTPS_MEM_CERT : MHD_OPTION_END,
        FCertificatePem.c_str(), MHD_OPTION_HTTPS_MEM_KEY, FKeyPem.c_str(),
        MHD_OPTION_HTTPS_PRIORITIES, TlsPriorities, MHD_OPTION_END);
    if (!FDaemon) return -1;
    const MHD_DaemonInfo* info = MHD_get_daemon_info(FDaemon, MHD_DAEMON_INFO_BIND_PORT);
    return info ? info->port : -1;
}

void THttpServer::Stop() {
    if (FDaemon) MHD_stop_daemon(FDaemon);
    FDaemon = nullptr;
}
