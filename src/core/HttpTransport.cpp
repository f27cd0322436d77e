#include "HttpTransport.h"

#include <cstdlib>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <fstream>
#include <memory>
#include <mutex>
#include <utility>

#include <curl/curl.h>

#include "ZelvanError.h"

namespace {

struct TCurlDeleter {
    void operator()(CURL* AHandle) const { curl_easy_cleanup(AHandle); }
    void operator()(curl_slist* AList) const { curl_slist_free_all(AList); }
};
using TCurlHandle = std::unique_ptr<CURL, TCurlDeleter>;
using TCurlHeaders = std::unique_ptr<curl_slist, TCurlDeleter>;

thread_local const std::atomic<bool>* CancelFlag = nullptr;

using TClock = std::chrono::steady_clock;

// When bytes last moved, in either direction: a request body that is never read stalls the same
// as a reply that never comes.
struct TProgress {
    TClock::duration StallLimit;
    TClock::time_point LastMove = TClock::now();
    curl_off_t Received = 0;
    curl_off_t Sent = 0;
};

// libcurl calls this about once a second even while nothing moves; non-zero ends the transfer.
int CheckProgress(void* AProgress, curl_off_t, curl_off_t AReceived, curl_off_t, curl_off_t ASent) {
    if (CancelFlag != nullptr && CancelFlag->load()) return 1;
    auto* progress = static_cast<TProgress*>(AProgress);
    const TClock::time_point now = TClock::now();
    if (AReceived != progress->Received || ASent != progress->Sent) {
        progress->Received = AReceived;
        progress->Sent = ASent;
        progress->LastMove = now;
    }
    return now - progress->LastMove > progress->StallLimit ? 1 : 0;
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct TSink {
    std::string Body;
    bool TooLarge = false;
};

size_t Collect(char* AData, size_t ASize, size_t ACount, void* AUser) {
    auto* sink = static_cast<TSink*>(AUser);
    const size_t bytes = ASize * ACount;
    if (sink->Body.size() + bytes > THttpTransport::MaxBodyBytes) {
        sink->TooLarge = true;
        return 0;  // makes libcurl abort the transfer
    }
    sink->Body.append(AData, bytes);
    return bytes;
}

void Append(TCurlHeaders& AList, const std::string& ALine) {
    curl_slist* grown = curl_slist_append(AList.get(), ALine.c_str());
    if (grown == nullptr) throw std::bad_alloc();
    AList.release();
    AList.reset(grown);
}

TCurlHeaders MakeHeaders(bool AIsPost, const std::string& AToken) {
    TCurlHeaders headers;
    if (AIsPost) {
        Append(headers, "Content-Type: application/json; charset=utf-8");
        // libcurl would otherwise wait for "100 Continue" before sending a larger body.
        Append(headers, "Expect:");
    } else {
        Append(headers, "Pragma: no-cache");
    }
    // Every reply is fetched fresh from the server; no cache in between may answer for it.
    Append(headers, "Cache-Control: no-cache");
    if (!AToken.empty()) Append(headers, "Authorization: Bearer " + AToken);
    return headers;
}

// The school's server stands on the local network or on this machine: a proxy set for the
// internet (http_proxy and the like) is never asked for it. What no_proxy already names is kept.
std::string NoProxy() {
    std::string hosts =
        "localhost,127.0.0.0/8,::1,10.0.0.0/8,172.16.0.0/12,192.168.0.0/16,"
        "169.254.0.0/16,fe80::/10,fc00::/7";
    for (const char* name : {"no_proxy", "NO_PROXY"})
        if (const char* listed = std::getenv(name); listed && *listed) return hosts + ',' + listed;
    return hosts;
}

// Why the transfer failed. TLS failures are told apart by libcurl's message, the one thing that
// OpenSSL (Linux) and Schannel (Windows) alike say in words, each in its own.
THttpFailure FailureOf(CURLcode AResult, const char* AMessage) {
    std::string message = AMessage;
    std::transform(message.begin(), message.end(), message.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const auto says = [&](const char* AWords) { return message.find(AWords) != std::string::npos; };
    switch (AResult) {
        case CURLE_OK:
            return THttpFailure::None;
        case CURLE_COULDNT_CONNECT:
            return THttpFailure::Refused;
        case CURLE_OPERATION_TIMEDOUT:
            return THttpFailure::TimedOut;
        case CURLE_COULDNT_RESOLVE_HOST:
            return THttpFailure::HostNotFound;
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
            return THttpFailure::BrokeOff;
        case CURLE_ABORTED_BY_CALLBACK:
            // The progress check ends a transfer for one of two reasons: called off, or stalled.
            return CancelFlag != nullptr && CancelFlag->load() ? THttpFailure::Cancelled
                                                               : THttpFailure::TimedOut;
        case CURLE_PEER_FAILED_VERIFICATION:
            if (says("expired") || says("not_time_valid")) return THttpFailure::Expired;
            if (says("subject name") || says("does not match") || says("match connection host") ||
                says("wrong_principal"))
                return THttpFailure::WrongName;
            return THttpFailure::Untrusted;
        case CURLE_SSL_CONNECT_ERROR:
            return THttpFailure::NotTls;
        case CURLE_SSL_CACERT_BADFILE:
            return THttpFailure::CaFileUnreadable;
        default:
            return THttpFailure::Other;
    }
}

std::mutex CaFileMutex;
std::string CaFilePath;

// One request, with no redirect followed: the reply, and where it sends the client, if anywhere.
struct TPerformed {
    THttpReply Reply;
    std::string RedirectUrl;
};

// The handle of the TKeptConnections scope living on this thread, if one does. A plain pointer:
// with mingw-w64 a thread_local that has a destructor may be destroyed after the thread's
// storage is freed, and that write corrupts the heap.
thread_local CURL* KeptHandle = nullptr;

// The handle for one exchange: the thread's kept one, its options reset, where a scope keeps one;
// otherwise one of its own, with a connection of its own.
class TExchangeHandle {
public:
    TExchangeHandle() {
        InitCurlOnce();
        if (KeptHandle) {
            curl_easy_reset(KeptHandle);
            FHandle = KeptHandle;
        } else {
            FOwn.reset(curl_easy_init());
            FHandle = FOwn.get();
        }
    }
    CURL* Get() const { return FHandle; }

private:
    TCurlHandle FOwn;
    CURL* FHandle = nullptr;
};

TPerformed PerformOnce(const std::string& AUrl, const std::string* APostBody,
                       const std::string& AToken, const std::string& ACaFile,
                       TConnection AConnection) {
    const TExchangeHandle handle;
    CURL* h = handle.Get();
    if (!h) return {};
    TCurlHeaders headers = MakeHeaders(APostBody != nullptr, AToken);
    TSink sink;
    // libcurl sends a request again, unasked, when a kept connection turns out to have died
    // before any reply came: the server may have acted on it all the same.
    if (AConnection == TConnection::Fresh) curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(h, CURLOPT_URL, AUrl.c_str());
    curl_easy_setopt(h, CURLOPT_USERAGENT, THttpTransport::UserAgent);
    const std::string noProxy = NoProxy();
    curl_easy_setopt(h, CURLOPT_NOPROXY, noProxy.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!ACaFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, ACaFile.c_str());
    char message[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, message);
    const THttpLimits limits = THttpTransport::Limits();
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, limits.ConnectTimeoutSeconds);
    // A server that trickles a byte now and then never stalls: the whole exchange has a bound.
    curl_easy_setopt(h, CURLOPT_TIMEOUT, limits.TotalTimeoutSeconds);
    TProgress progress{std::chrono::seconds(limits.StallTimeoutSeconds)};
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(THttpTransport::MaxBodyBytes));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Collect);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CheckProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &progress);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    if (APostBody != nullptr) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, APostBody->data());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(APostBody->size()));
    }

    const CURLcode result = curl_easy_perform(h);
    if (sink.TooLarge || result == CURLE_FILESIZE_EXCEEDED)
        throw EZelvanError("استجابة السيرفر أكبر من المسموح (أكثر من 64 ميغابايت).");

    TPerformed performed;
    performed.Reply.Failure = FailureOf(result, message);
    // An exchange that did not end well (cut short, broken off, stalled, out of time, called
    // off) is no reply: a status that did arrive would otherwise pass a body cut off at an
    // arbitrary point as a success.
    if (result != CURLE_OK) return performed;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &performed.Reply.StatusCode);
    performed.Reply.Body = std::move(sink.Body);
    char* location = nullptr;
    if (curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location)
        performed.RedirectUrl = location;
    return performed;
}

// Whether the TLS library trusts the system's store beside a CaFile in one verification: OpenSSL
// does, with the store's folder of certificates that libcurl names by default; with Schannel a
// CaFile takes the store's place.
bool StoreTrustedBesideCaFile() {
    static const bool trusted = [] {
        InitCurlOnce();
        const TCurlHandle probe(curl_easy_init());
        char* folder = nullptr;
        return probe && curl_easy_getinfo(probe.get(), CURLINFO_CAPATH, &folder) == CURLE_OK &&
               folder && *folder;
    }();
    return trusted;
}

// The school's own authority and the system's store. Where one verification cannot trust both, a
// certificate the authority did not sign is tried against the store in a second handshake; a
// handshake that failed sent nothing, so that is safe.
TPerformed PerformTrusting(const std::string& AUrl, const std::string* APostBody,
                           const std::string& AToken, const std::string& ACaFile,
                           TConnection AConnection) {
    TPerformed performed = PerformOnce(AUrl, APostBody, AToken, ACaFile, AConnection);
    if (!ACaFile.empty() && !StoreTrustedBesideCaFile() &&
        performed.Reply.Failure == THttpFailure::Untrusted)
        performed = PerformOnce(AUrl, APostBody, AToken, {}, AConnection);
    return performed;
}

struct TPlace {
    std::string Scheme;
    std::string Host;
};

TPlace PlaceOf(const std::string& AUrl) {
    TPlace place;
    CURLU* raw = curl_url();
    if (!raw) return place;
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(raw, &curl_url_cleanup);
    if (curl_url_set(raw, CURLUPART_URL, AUrl.c_str(), 0) != CURLUE_OK) return place;
    for (auto [part, into] :
         {std::pair{CURLUPART_SCHEME, &place.Scheme}, std::pair{CURLUPART_HOST, &place.Host}}) {
        char* text = nullptr;
        if (curl_url_get(raw, part, &text, 0) == CURLUE_OK && text) {
            *into = text;
            curl_free(text);
        }
        std::transform(into->begin(), into->end(), into->begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
    }
    return place;
}

// A redirect is followed on the same host only, and never from https to plain http.
bool MayFollow(const TPlace& AFrom, const std::string& ATo) {
    const TPlace to = PlaceOf(ATo);
    if (to.Host.empty() || to.Host != AFrom.Host) return false;
    return AFrom.Scheme != "https" || to.Scheme == "https";
}

constexpr int MaxRedirects = 10;

// Whether the server at AUrl's host and port completes a TLS handshake. Nothing is sent over it,
// and its certificate does not matter here: the exchange has failed already.
bool SpeaksTls(const std::string& AUrl) {
    CURLU* raw = curl_url();
    if (!raw) return false;
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(raw, &curl_url_cleanup);
    char* https = nullptr;
    if (curl_url_set(raw, CURLUPART_URL, AUrl.c_str(), 0) != CURLUE_OK ||
        curl_url_set(raw, CURLUPART_SCHEME, "https", 0) != CURLUE_OK ||
        curl_url_get(raw, CURLUPART_URL, &https, 0) != CURLUE_OK)
        return false;
    const std::string address = https;
    curl_free(https);
    const TCurlHandle probe(curl_easy_init());
    if (!probe) return false;
    CURL* h = probe.get();
    const std::string noProxy = NoProxy();
    curl_easy_setopt(h, CURLOPT_URL, address.c_str());
    curl_easy_setopt(h, CURLOPT_NOPROXY, noProxy.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    // A handshake takes well under a second; a server that keeps silent is not waited for long.
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 3L);
    return curl_easy_perform(h) == CURLE_OK;
}

THttpReply Exchange(const std::string& AUrl, const std::string* APostBody,
                    const std::string& AToken, TConnection AConnection) {
    const std::string caFile = THttpTransport::CaFile();
    if (!caFile.empty() && !std::ifstream(caFile, std::ios::binary)) {
        THttpReply unreadable;
        unreadable.Failure = THttpFailure::CaFileUnreadable;
        return unreadable;
    }
    const TPlace origin = PlaceOf(AUrl);
    std::string url = AUrl;
    const std::string* body = APostBody;
    for (int hop = 0;; ++hop) {
        TPerformed performed = PerformTrusting(url, body, AToken, caFile, AConnection);
        if (performed.Reply.Failure == THttpFailure::BrokeOff && PlaceOf(url).Scheme == "http" &&
            SpeaksTls(url))
            performed.Reply.Failure = THttpFailure::TlsOnly;
        if (performed.RedirectUrl.empty()) return performed.Reply;
        if (hop == MaxRedirects || !MayFollow(origin, performed.RedirectUrl)) {
            THttpReply refused;
            refused.Failure = THttpFailure::Redirected;
            return refused;
        }
        // As browsers do: after 301, 302 and 303 the request goes on as a GET without its body.
        const long status = performed.Reply.StatusCode;
        if (status == 301 || status == 302 || status == 303) body = nullptr;
        url = performed.RedirectUrl;
    }
}

}  // namespace

THttpTransport::TCancelScope::TCancelScope(const std::atomic<bool>& AFlag) : FPrevious(CancelFlag) {
    CancelFlag = &AFlag;
}

THttpTransport::TCancelScope::~TCancelScope() {
    CancelFlag = FPrevious;
}

// A scope within a scope on one thread keeps the outer one's handle.
THttpTransport::TKeptConnections::TKeptConnections() {
    if (KeptHandle) return;
    InitCurlOnce();
    KeptHandle = curl_easy_init();
    FOwner = true;
}

THttpTransport::TKeptConnections::~TKeptConnections() {
    if (!FOwner) return;
    curl_easy_cleanup(KeptHandle);
    KeptHandle = nullptr;
}

void THttpTransport::SetCaFile(std::string APath) {
    const std::lock_guard lock(CaFileMutex);
    CaFilePath = std::move(APath);
}

std::string THttpTransport::CaFile() {
    const std::lock_guard lock(CaFileMutex);
    return CaFilePath;
}

THttpLimits& THttpTransport::Limits() {
    static THttpLimits limits;
    return limits;
}

THttpReply THttpTransport::Get(const std::string& AUrl, const std::string& AToken) {
    return Exchange(AUrl, nullptr, AToken, TConnection::Kept);
}

THttpReply THttpTransport::Post(const std::string& AUrl, const std::string& ABody,
                                const std::string& AToken, TConnection AConnection) {
    return Exchange(AUrl, &ABody, AToken, AConnection);
}
