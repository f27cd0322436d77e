#include <gtest/gtest.h>

#include <chrono>

#include "HttpTransport.h"
#include "RawServer.h"
#include "ScriptedServer.h"
#include "ZelvanApiTestAccess.h"
#include "ZelvanError.h"

using Api = TZelvanApiTestAccess;

namespace {

QString Q(const std::string& AText) {
    return QString::fromStdString(AText);
}

// A port on which nothing listens: bound, then released.
int ClosedPort() {
    TRawServer probe("", false);
    return probe.Port();
}

struct TExchange {
    bool Ok = false;
    std::int32_t Status = -1;
    QString Response;
};

TExchange Get(const std::string& AUrl, const QString& AToken = {}) {
    TExchange e;
    e.Ok = Api::HttpGet(Q(AUrl), AToken, e.Response, e.Status);
    return e;
}

TExchange Post(const std::string& AUrl, const QString& ABody, const QString& AToken = {}) {
    TExchange e;
    e.Ok = Api::HttpPost(Q(AUrl), ABody, AToken, e.Response, e.Status);
    return e;
}

}  // namespace

TEST(BuildUrl, ComposesSchemeHostPortAndPath) {
    const struct {
        const char* Host;
        int Port;
        const char* Url;
    } cases[] = {
        {"", 80, "http://127.0.0.1/api/login"},
        {" \t192.168.1.10\r\n ", 80, "http://192.168.1.10/x"},
        {"HTTPS://srv", 80, "HTTPS://srv/x"},
        {"srv", 0, "http://srv/x"},
        {"srv", -1, "http://srv/x"},
        {"srv", 80, "http://srv/x"},
        {"srv", 8080, "http://srv:8080/x"},
        {"srv:9000", 8080, "http://srv:9000/x"},
        {"https://srv", 8443, "https://srv:8443/x"},
        {"srv/", 80, "http://srv//x"},
        {"Http://srv", 81, "Http://srv:81/x"},
    };
    for (const auto& c : cases) {
        const QString path = QString(c.Url).endsWith("/api/login") ? "/api/login" : "/x";
        EXPECT_EQ(Api::BuildUrl(c.Host, c.Port, path), c.Url) << c.Host << " " << c.Port;
    }
}

TEST(HttpTransport, SendsUserAgentAndAuthorizationOnlyWithAToken) {
    TScriptedServer server;
    server.Queue(200, "{}");
    server.Queue(200, "{}");
    EXPECT_TRUE(Get(server.Url("/a?b=1")).Ok);
    EXPECT_TRUE(Get(server.Url("/a"), "tok123").Ok);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Target, "/a?b=1");
    EXPECT_EQ(requests[0].Header("User-Agent"), "Zelvan/1.0");
    EXPECT_FALSE(requests[0].HasHeader("Authorization")) << "no token, no header: not an empty one";
    EXPECT_EQ(requests[0].Header("Cache-Control"), "no-cache");
    EXPECT_EQ(requests[1].Header("Authorization"), "Bearer tok123");
}

// A proxy set for the internet is not asked for a server on this machine or the local network.
TEST(HttpTransport, AServerNearbyIsReachedPastAProxy) {
    TScriptedServer server;
    server.Queue(200, "{}");
    const QByteArray saved = qgetenv("http_proxy");
    qputenv("http_proxy", "http://127.0.0.1:9");  // nothing listens there
    const bool reached = Get(server.Url("/a")).Ok;
    qputenv("http_proxy", saved);
    EXPECT_TRUE(reached);
}

TEST(HttpTransport, PostsUtf8BodyWithItsByteLength) {
    TScriptedServer server;
    server.Queue(201, R"({"success":true})");
    const QString body = QStringLiteral(R"({"name":"أمانة المدير"})");
    const TExchange e = Post(server.Url("/api/x"), body, "t");
    EXPECT_TRUE(e.Ok);
    EXPECT_EQ(e.Status, 201);
    const auto r = server.Requests().at(0);
    EXPECT_EQ(r.Method, "POST");
    EXPECT_EQ(r.Body, body.toStdString());
    EXPECT_EQ(r.Header("Content-Length"), std::to_string(body.toUtf8().size()));
    EXPECT_EQ(r.Header("Content-Type"), "application/json; charset=utf-8");
    EXPECT_EQ(r.Header("Authorization"), "Bearer t");
    EXPECT_EQ(r.Header("User-Agent"), "Zelvan/1.0");
}

TEST(HttpTransport, ReportsStatusAndBodyWhateverTheStatus) {
    TScriptedServer server;
    server.Queue(404, "not here");
    server.Queue(204, "");
    server.Queue(200, "مرحبا");
    TExchange e = Get(server.Url("/x"));
    EXPECT_FALSE(e.Ok);
    EXPECT_EQ(e.Status, 404);
    EXPECT_EQ(e.Response, "not here");
    e = Get(server.Url("/x"));
    EXPECT_TRUE(e.Ok);
    EXPECT_EQ(e.Status, 204);
    EXPECT_TRUE(e.Response.isEmpty());
    e = Get(server.Url("/x"));
    EXPECT_EQ(e.Response, QStringLiteral("مرحبا"));
}

TEST(HttpTransport, FollowsRedirects) {
    TScriptedServer server;
    TScriptedServer::TReply redirect;
    redirect.Status = 302;
    redirect.Headers.emplace("Location", "/there");
    server.Queue(redirect);
    server.Queue(200, "arrived");
    const TExchange e = Get(server.Url("/here"), "tok");
    EXPECT_TRUE(e.Ok);
    EXPECT_EQ(e.Response, "arrived");
    EXPECT_EQ(server.Requests().at(1).Target, "/there");
}

// Ten redirects in a row are followed; the eleventh is refused rather than followed for ever.
TEST(HttpTransport, FollowsTenRedirectsAndNoMore) {
    for (const int hops : {10, 11}) {
        TScriptedServer server;
        TScriptedServer::TReply redirect(302, "");
        redirect.Headers.emplace("Location", "/again");
        for (int i = 0; i < hops; ++i) server.Queue(redirect);
        server.Queue(200, "arrived");
        const THttpReply reply = THttpTransport::Get(server.Url("/here"), "tok");
        EXPECT_EQ(reply.StatusCode, hops == 10 ? 200 : 0) << hops;
        EXPECT_EQ(reply.Failure, hops == 10 ? THttpFailure::None : THttpFailure::Redirected);
        EXPECT_EQ(server.Requests().size(), 11u) << hops;
    }
}

TEST(HttpTransport, UnreachableServerGivesFalseZeroAndEmpty) {
    const std::string url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/x";
    for (const TExchange& e : {Get(url, "t"), Post(url, "{}", "t")}) {
        EXPECT_FALSE(e.Ok);
        EXPECT_EQ(e.Status, 0);
        EXPECT_TRUE(e.Response.isEmpty());
    }
    const TExchange bad = Post("not a url", "{}");
    EXPECT_FALSE(bad.Ok);
    EXPECT_EQ(bad.Status, 0);
}

TEST(HttpTransport, ConnectionClosedWithoutReplyGivesStatusZero) {
    TRawServer server("", false);
    const TExchange e = Get(server.Url("/x"));
    EXPECT_FALSE(e.Ok);
    EXPECT_EQ(e.Status, 0);
}

TEST(HttpTransport, AReplyThatBreaksOffIsNoReply) {
    for (const char* reply : {
             "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"pending\":",    // shorter than said
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n[1,",  // a chunk cut off
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",    // no chunk size
         }) {
        TRawServer server(reply, false);
        const TExchange e = Get(server.Url("/x"));
        EXPECT_FALSE(e.Ok) << reply;
        EXPECT_EQ(e.Status, 0) << reply;
    }
}

TEST(HttpTransport, ATricklingReplyEndsAtTheOverallLimit) {
    TRawServer trickle("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(1000, ' '),
                       false, 100);
    THttpLimits& limits = THttpTransport::Limits();
    const THttpLimits saved = limits;
    limits.TotalTimeoutSeconds = 2;
    const TExchange e = Get(trickle.Url("/x"));
    limits = saved;
    EXPECT_FALSE(e.Ok);
    EXPECT_EQ(e.Status, 0);
}

TEST(HttpTransport, InvalidUtf8RaisesTheClientsError) {
    TScriptedServer server;
    server.Queue(200, "abc\xff\xfe");
    server.Queue(500, "\xd9");          // a lone lead byte: an Arabic letter cut in half
    server.Queue(200, "\xed\xa0\x80");  // a surrogate, which UTF-8 may not encode
    server.Queue(200, "\xc0\xaf");      // an overlong "/"
    for (int i = 0; i < 4; ++i) {
        try {
            Get(server.Url("/x"));
            ADD_FAILURE() << "no error raised";
        } catch (const EZelvanError& e) {
            EXPECT_NE(std::string(e.what()).find("UTF-8"), std::string::npos);
        }
    }
}

TEST(HttpTransport, RefusesAReplyLargerThanTheLimit) {
    TScriptedServer server;
    server.Queue(200, std::string(THttpTransport::MaxBodyBytes, 'a'));
    EXPECT_EQ(Get(server.Url("/x")).Response.size(), qsizetype(THttpTransport::MaxBodyBytes))
        << "exactly the limit is accepted";
    server.Queue(200, std::string(THttpTransport::MaxBodyBytes + 1, 'a'));
    try {
        Get(server.Url("/x"));
        ADD_FAILURE() << "no error raised";
    } catch (const EZelvanError& e) {
        EXPECT_NE(std::string(e.what()).find("64"), std::string::npos);
    }
}

TEST(HttpTransport, GivesUpOnASilentServer) {
    TRawServer silent("", true);
    TRawServer stalled("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n{\"a\"", true);
    THttpLimits& limits = THttpTransport::Limits();
    const THttpLimits saved = limits;
    limits.StallTimeoutSeconds = 1;
    const auto start = std::chrono::steady_clock::now();
    const TExchange quiet = Get(silent.Url("/x"));
    const TExchange partial = Post(stalled.Url("/x"), "{}");
    limits = saved;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    for (const TExchange& e : {quiet, partial}) {
        EXPECT_FALSE(e.Ok);
        EXPECT_EQ(e.Status, 0);
        EXPECT_TRUE(e.Response.isEmpty());
    }
}

// Exchanges on a thread that keeps its connections go over one; a change never does, so that a
// server that dies after acting on it is never sent it again over a new one.
TEST(HttpTransport, GetsKeepTheirConnectionAndAChangeTakesAFreshOneAndIsSentOnce) {
    TRawServer server("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}",
                      TRawServer::TKeepingGetsDroppingPosts{});
    std::thread([&] {
        EXPECT_EQ(THttpTransport::Get(server.Url("/x"), "t").StatusCode, 200);  // keeps nothing
        const THttpTransport::TKeptConnections kept;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(THttpTransport::Get(server.Url("/x"), "t").StatusCode, 200);
        EXPECT_EQ(server.Connections(), 2);
        const THttpReply change =
            THttpTransport::Post(server.Url("/change"), "{}", "t", TConnection::Fresh);
        EXPECT_EQ(change.Failure, THttpFailure::BrokeOff);
    }).join();
    EXPECT_EQ(server.PostsReceived(), 1);
}
