#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gnutls/gnutls.h>
#include <httplib.h>
#include <rapidjson/document.h>

#include "CommandLine.h"
#include "LocalKestaro.h"
#include "LoginGuard.h"
#include "SampleRequests.h"
#include "TempDir.h"
#include "Utf8.h"

namespace {

struct TReply {
    int Status = 0;
    rapidjson::Document Json;
};

class TClient {
public:
    explicit TClient(int APort) : FHttp("127.0.0.1", APort) {}

    TReply Get(const std::string& APath) { return Done(FHttp.Get(APath.c_str(), Headers())); }
    TReply Post(const std::string& APath, const std::string& ABody) {
        return Done(FHttp.Post(APath.c_str(), Headers(), ABody, "application/json"));
    }
    bool Login(const std::string& APassword = "2613") {
        TReply r = Post("/api/login", R"({"username":"user","password":")" + APassword + "\"}");
        if (r.Status != 200) return false;
        FToken = r.Json["token"].GetString();
        return true;
    }
    std::string Token() const { return FToken; }
    void SetTimeout(int ASeconds) {
        FHttp.set_connection_timeout(ASeconds);
        FHttp.set_read_timeout(ASeconds);
    }
    void SetToken(std::string AToken) { FToken = std::move(AToken); }

private:
    httplib::Headers Headers() const {
        if (FToken.empty()) return {};
        return {{"Authorization", "Bearer " + FToken}};
    }
    static TReply Done(const httplib::Result& AResult) {
        TReply reply;
        if (!AResult) return reply;
        reply.Status = AResult->status;
        reply.Json.Parse(AResult->body.c_str());
        return reply;
    }

    httplib::Client FHttp;
    std::string FToken;
};

std::int64_t Create(TClient& AClient, const std::string& AName) {
    TReply r = AClient.Post("/api/certificates/requests",
                            R"({"student_name":")" + AName + R"(","class_name":"3 متوسط 2"})");
    EXPECT_EQ(r.Status, 200);
    return r.Json["id"].GetInt64();
}

class KestaroServer : public ::testing::Test {
protected:
    TTempDir FDir;
    std::string FDb = FDir.File("kestaro.db");
};

}  // namespace

TEST_F(KestaroServer, GrantsLongRandomTokensForThePasswordOnly) {
    TLocalKestaro server(FDb, "s3cret");
    TClient client(server.Port());
    EXPECT_FALSE(client.Login("2613"));
    EXPECT_EQ(client.Post("/api/login", R"({"username":"admin","password":"s3cret"})").Status, 401);
    EXPECT_EQ(client.Post("/api/login", R"({"username":"user","password":5})").Status, 401);
    ASSERT_TRUE(client.Login("s3cret"));
    const std::string first = client.Token();
    ASSERT_TRUE(client.Login("s3cret"));
    EXPECT_GE(first.size(), 32u) << "at least 128 bits";
    EXPECT_NE(first, client.Token());

    // The newest MaxTokens tokens all stay valid; one login more forgets the oldest only.
    const std::string second = client.Token();
    for (std::size_t i = 2; i < TKestaroServer::MaxTokens; ++i) ASSERT_TRUE(client.Login("s3cret"));
    const auto valid = [&](const std::string& AToken) {
        const std::string own = client.Token();
        client.SetToken(AToken);
        const bool ok = client.Get("/api/certificates/requests").Status == 200;
        client.SetToken(own);
        return ok;
    };
    EXPECT_TRUE(valid(first)) << "the oldest of exactly MaxTokens";
    ASSERT_TRUE(client.Login("s3cret"));
    EXPECT_FALSE(valid(first));
    EXPECT_TRUE(valid(second));
    EXPECT_TRUE(valid(client.Token()));
}

TEST_F(KestaroServer, EveryRouteButLoginNeedsAGrantedToken) {
    TLocalKestaro server(FDb);
    TClient client(server.Port());
    for (const char* path : {"/api/certificates/requests", "/api/certificates/requests/count"})
        EXPECT_EQ(client.Get(path).Status, 401) << path;
    for (const char* path : {"/api/certificates/requests", "/api/certificates/requests/delete",
                             "/api/certificates/requests/update-status"})
        EXPECT_EQ(client.Post(path, "{}").Status, 401) << path;
    client.SetToken("made-up");
    const TReply refused = client.Get("/api/certificates/requests");
    EXPECT_EQ(refused.Status, 401);
    EXPECT_FALSE(refused.Json["success"].GetBool());
}

TEST_F(KestaroServer, CountsAndNewRequestsAboveALastId) {
    TLocalKestaro server(FDb);
    TClient client(server.Port());
    ASSERT_TRUE(client.Login());
    TReply empty = client.Get("/api/certificates/requests/count?last_id=0");
    EXPECT_EQ(empty.Json["total"].GetInt(), 0);
    EXPECT_EQ(empty.Json["max_id"].GetInt(), 0);
    for (int i = 0; i < 4; ++i) Create(client, "تلميذ " + std::to_string(i));
    EXPECT_EQ(client
                  .Post("/api/certificates/requests/update-status",
                        R"({"id":1,"status":"completed","completed_by":"أمانة المدير"})")
                  .Status,
              200);
    TReply c = client.Get("/api/certificates/requests/count?last_id=2");
    EXPECT_EQ(c.Json["pending"].GetInt(), 3);
    EXPECT_EQ(c.Json["completed"].GetInt(), 1);
    EXPECT_EQ(c.Json["total"].GetInt(), 4);
    EXPECT_EQ(c.Json["max_id"].GetInt(), 4);
    EXPECT_EQ(c.Json["new_count"].GetInt(), 2);
    EXPECT_EQ(client.Get("/api/certificates/requests/count?last_id=x").Status, 400);
}

TEST_F(KestaroServer, ListsNewestFirstWithEveryMemberAndFiltersByStatus) {
    TLocalKestaro server(FDb);
    TClient client(server.Port());
    ASSERT_TRUE(client.Login());
    Create(client, "أول");
    Create(client, "ثان");
    client.Post("/api/certificates/requests/update-status",
                R"({"id":2,"status":"completed","completed_by":"أمانة \"المدير\""})");
    TReply all = client.Get("/api/certificates/requests");
    ASSERT_TRUE(all.Json.IsArray());
    ASSERT_EQ(all.Json.Size(), 2u);
    const auto& newest = all.Json[0];
    EXPECT_EQ(newest["id"].GetInt(), 2);
    EXPECT_EQ(newest.MemberCount(), 11u);
    for (const char* key :
         {"id", "student_id", "student_name", "class_name", "birth_date", "request_date",
          "requester", "status", "completed_date", "completed_by", "notes"})
        EXPECT_TRUE(newest.HasMember(key)) << key;
    EXPECT_STREQ(newest["completed_by"].GetString(), "أمانة \"المدير\"");
    EXPECT_FALSE(std::string(newest["completed_date"].GetString()).empty());
    EXPECT_TRUE(all.Json[1]["completed_date"].IsNull());

    TReply pending = client.Get("/api/certificates/requests?status=pending");
    ASSERT_EQ(pending.Json.Size(), 1u);
    EXPECT_STREQ(pending.Json[0]["student_name"].GetString(), "أول");
    EXPECT_EQ(client.Get("/api/certificates/requests?status=completed").Json.Size(), 1u);
    EXPECT_EQ(client.Get("/api/certificates/requests?status=All").Status, 400);
}

TEST_F(KestaroServer, RevertClearsCompletionAndDeleteRemoves) {
    TLocalKestaro server(FDb);
    TClient client(server.Port());
    ASSERT_TRUE(client.Login());
    const auto id = Create(client, "ن");
    const std::string idText = std::to_string(id);
    client.Post("/api/certificates/requests/update-status",
                R"({"id":)" + idText + R"(,"status":"completed","completed_by":"x"})");
    TReply back = client.Post("/api/certificates/requests/update-status",
                              R"({"id":)" + idText + R"(,"status":"pending","completed_by":"x"})");
    EXPECT_TRUE(back.Json["success"].GetBool());
    TReply list = client.Get("/api/certificates/requests");
    EXPECT_STREQ(list.Json[0]["status"].GetString(), "pending");
    EXPECT_TRUE(list.Json[0]["completed_by"].IsNull());
    EXPECT_TRUE(list.Json[0]["completed_date"].IsNull());

    EXPECT_TRUE(client.Post("/api/certificates/requests/delete", R"({"id":)" + idText + "}")
                    .Json["success"]
                    .GetBool());
    TReply again = client.Post("/api/certificates/requests/delete", R"({"id":)" + idText + "}");
    EXPECT_EQ(again.Status, 404);
    EXPECT_FALSE(again.Json["success"].GetBool());
    EXPECT_TRUE(again.Json["error"].IsString());
}

TEST_F(KestaroServer, BadInputGetsAClearAnswerAndChangesNothing) {
    TLocalKestaro server(FDb);
    TClient client(server.Port());
    ASSERT_TRUE(client.Login());
    Create(client, "ن");
    const struct {
        const char* Path;
        std::string Body;
        int Status;
    } cases[] = {
        {"/api/certificates/requests/update-status", "{", 400},
        {"/api/certificates/requests/update-status", "[1]", 400},
        {"/api/certificates/requests/update-status", R"({"id":"1","status":"completed"})", 400},
        {"/api/certificates/requests/update-status", R"({"id":1.5,"status":"completed"})", 400},
        {"/api/certificates/requests/update-status", R"({"id":1,"status":"done"})", 400},
        {"/api/certificates/requests/update-status",
         R"({"id":1,"status":"pending","completed_by":3})", 400},
        {"/api/certificates/requests/update-status", R"({"id":99,"status":"completed"})", 404},
        {"/api/certificates/requests/update-status", "{\"id\":1,\"status\":\"\xff\"}", 400},
        {"/api/certificates/requests/delete", R"({"id":9999999999})", 400},
        {"/api/certificates/requests", R"({"class_name":"x"})", 400},
        {"/api/certificates/requests", R"({"student_name":["x"]})", 400},
        {"/api/certificates/requests",
         "{\"student_name\":\"" + std::string(2 * 1024 * 1024, 'a') + "\"}", 413},
        {"/api/nothing", "{}", 404},
        {"/api/certificates/requests/delete", std::string(900 * 1024, '['), 400},
        {"/api/certificates/requests/delete",
         R"({"id":[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]})", 400},
        // Bytes after the value, hidden behind a NUL, and texts that are no UTF-8.
        {"/api/certificates/requests/delete", std::string("{\"id\":1}\0junk", 13), 400},
        {"/api/certificates/requests/update-status",
         std::string("{\"id\":1,\"status\":\"completed\"}\0x", 32), 400},
        {"/api/certificates/requests/update-status",
         R"({"id":1,"status":"completed","completed_by":"\udc00"})", 400},
        {"/api/certificates/requests", R"({"student_name":"a\udfff"})", 400},
        // Visible bytes after the value, bad UTF-8 where the route reads nothing, a number
        // where a text belongs.
        {"/api/certificates/requests/delete", R"({"id":1} x)", 400},
        {"/api/certificates/requests/update-status",
         "{\"id\":1,\"status\":\"completed\",\"unread\":\"\xff\"}", 400},
        {"/api/certificates/requests", R"({"student_name":"x","class_name":5})", 400},
    };
    for (const auto& c : cases) {
        const TReply r = client.Post(c.Path, c.Body);
        EXPECT_EQ(r.Status, c.Status) << c.Path << " " << c.Body.substr(0, 60);
        ASSERT_TRUE(r.Json.IsObject()) << c.Path << " " << c.Body.substr(0, 60);
        EXPECT_FALSE(r.Json["success"].GetBool());
        EXPECT_TRUE(r.Json["error"].IsString());
    }
    TReply list = client.Get("/api/certificates/requests");
    ASSERT_EQ(list.Json.Size(), 1u);
    EXPECT_STREQ(list.Json[0]["status"].GetString(), "pending");
}

TEST_F(KestaroServer, LastIdIsDecimalDigitsOrRefused) {
    TLocalKestaro server(FDb);
    TClient client(server.Port());
    ASSERT_TRUE(client.Login());
    for (const char* id : {"%00", "%205", "1%20OR%201=1", "", "+5", "5a", "0x10", "-",
                           "9223372036854775808", "99999999999999999999", "-9223372036854775809"})
        EXPECT_EQ(client.Get(std::string("/api/certificates/requests/count?last_id=") + id).Status,
                  400)
            << id;
    for (const char* id : {"5", "-1", "0"})
        EXPECT_EQ(client.Get(std::string("/api/certificates/requests/count?last_id=") + id).Status,
                  200)
            << id;
}

TEST_F(KestaroServer, ABatchWithOneBadTextStoresNothing) {
    TRequestStore store(FDb);
    auto batch = TSampleRequests(2).History(3);
    batch[1].Notes = "\xed\xb0\x80";  // a surrogate's bytes
    EXPECT_THROW(store.CreateMany(batch), std::invalid_argument);
    EXPECT_TRUE(store.IsEmpty());
}

TEST_F(KestaroServer, GuessingPasswordsIsSlowedPerAddress) {
    TLocalKestaro server(FDb);
    TClient guesser(server.Port());
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(guesser.Login("0000")) << i;
    const TReply refused = guesser.Post("/api/login", R"({"username":"user","password":"2613"})");
    EXPECT_EQ(refused.Status, 429) << "even the right password waits";
    ASSERT_TRUE(refused.Json.IsObject());
    EXPECT_TRUE(refused.Json["error"].IsString());

    httplib::Client other("127.0.0.1", server.Port());
    other.set_interface("127.0.0.2");  // another address on the loopback network
    const auto res =
        other.Post("/api/login", R"({"username":"user","password":"2613"})", "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
}

TEST_F(KestaroServer, ARightPasswordClearsTheFailuresOfItsAddress) {
    TLocalKestaro server(FDb);
    TClient client(server.Port());
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(client.Login("0000"));
    EXPECT_TRUE(client.Login());
    EXPECT_FALSE(client.Login("0000"));
    EXPECT_TRUE(client.Login()) << "answered normally, not made to wait";
}

TEST(LoginGuard, TheWaitDoublesUpToItsCap) {
    TLoginGuard guard;
    const auto now = TLoginGuard::TClock::now();
    TLoginGuard::TClock::duration previous{};
    for (int failure = 1; failure <= 40; ++failure) {
        guard.Failed("10.0.0.1", now);
        const auto wait = guard.WaitFor("10.0.0.1", now);
        EXPECT_LE(wait, TLoginGuard::MaxBlock) << failure;
        EXPECT_GE(wait, previous) << failure;
        previous = wait;
    }
    EXPECT_EQ(previous, TLoginGuard::MaxBlock);
    EXPECT_EQ(guard.WaitFor("10.0.0.1", now + TLoginGuard::MaxBlock),
              TLoginGuard::TClock::duration{});
    EXPECT_EQ(guard.WaitFor("10.0.0.2", now), TLoginGuard::TClock::duration{});
}

TEST_F(KestaroServer, SlowClientsDoNotStarveTheOthers) {
    TLocalKestaro server(FDb);
    // 64 connections that each send one byte of a request head now and then.
    std::vector<int> slow;
    for (int i = 0; i < 64; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(std::uint16_t(server.Port()));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        (void)::send(fd, "G", 1, MSG_NOSIGNAL);
        slow.push_back(fd);
    }
    TClient client(server.Port());
    client.SetTimeout(3);
    EXPECT_TRUE(client.Login());
    EXPECT_EQ(client.Get("/api/certificates/requests").Status, 200);
    for (const int fd : slow) ::close(fd);
}

TEST_F(KestaroServer, RequestsSurviveARestartButTokensDoNot) {
    std::string token;
    {
        TLocalKestaro server(FDb);
        TClient client(server.Port());
        ASSERT_TRUE(client.Login());
        token = client.Token();
        Create(client, "باق");
        server.Store().CreateMany(TSampleRequests(7).History(20));
    }
    TLocalKestaro server(FDb);
    TClient client(server.Port());
    client.SetToken(token);
    EXPECT_EQ(client.Get("/api/certificates/requests").Status, 401);
    ASSERT_TRUE(client.Login());
    TReply list = client.Get("/api/certificates/requests");
    ASSERT_EQ(list.Json.Size(), 21u);
    EXPECT_STREQ(list.Json[20]["student_name"].GetString(), "باق");
    EXPECT_EQ(Create(client, "جديد"), 22) << "ids keep growing across restarts";
}

TEST(KestaroCommandLine, ReadsOptionsAndRejectsMistakes) {
    std::string error;
    const auto line = ParseCommandLine({"--port", "0", "--db", "x.db", "--seed", "40", "--simulate",
                                        "5", "--password", "p", "--host", "::1", "--log-requests"},
                                       error);
    ASSERT_TRUE(line.has_value()) << error;
    EXPECT_EQ(line->Server.Port, 0);
    EXPECT_EQ(line->Server.DatabasePath, "x.db");
    EXPECT_EQ(line->Server.Password, "p");
    EXPECT_EQ(line->Server.Host, "::1");
    EXPECT_EQ(line->Seed, 40);
    EXPECT_EQ(line->SimulateSeconds, 5);
    EXPECT_TRUE(line->Server.LogRequests);
    const auto defaults = ParseCommandLine({"--demo"}, error);
    EXPECT_EQ(defaults->Server.Port, 8080);
    EXPECT_EQ(defaults->Server.DatabasePath, "kestaro.db");
    EXPECT_EQ(defaults->Server.Password, "2613");
    EXPECT_TRUE(ParseCommandLine({"--help"}, error)->Help);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--port", "70000"},
                                                {"--port"},
                                                {"--seed", "-1"},
                                                {"--bogus", "1"},
                                                {"--simulate", "5s"}})
        EXPECT_FALSE(ParseCommandLine(bad, error).has_value()) << bad[0];
}

TEST(KestaroCommandLine, ThePasswordComesFromAFileOrTheEnvironment) {
    TTempDir dir;
    std::ofstream(dir.File("pw")) << "from file\r\nsecond line\n";
    std::ofstream(dir.File("empty")) << "";
    const std::string file = dir.File("pw");
    const struct {
        std::vector<std::string> Args;
        const char* Environment;
        std::optional<std::string> Password;  // none: refused
        const char* Source = "";              // what start-up says of where it came from
    } cases[] = {
        {{}, nullptr, std::nullopt},  // a service started without its password
        {{}, "", std::nullopt},
        {{"--demo"}, nullptr, "2613", "--demo"},
        {{"--demo"}, "from env", "from env", "KESTARO_PASSWORD"},
        {{}, "from env", "from env", "KESTARO_PASSWORD"},
        {{"--password", "typed"}, "from env", "typed", "--password"},
        {{"--password-file", file}, "from env", "from file", "pw"},
        {{"--password-file", file, "--password", "typed"}, nullptr, "from file", "pw"},
        {{"--password-file", dir.File("missing")}, nullptr, std::nullopt},
        {{"--password-file", dir.File("empty")}, nullptr, std::nullopt},
        {{"--password", ""}, nullptr, std::nullopt},
    };
    // A password file others may read is used, with a warning; the owner's alone, without one.
    for (const bool shared : {false, true}) {
        std::filesystem::permissions(
            file, shared ? std::filesystem::perms(0644) : std::filesystem::perms::owner_read);
        std::string error;
        const auto line = ParseCommandLine({"--password-file", file}, error);
        ASSERT_TRUE(line);
        EXPECT_EQ(line->Warnings.size(), shared ? 1u : 0u);
    }
    for (const auto& c : cases) {
        std::string error;
        const auto line = ParseCommandLine(c.Args, error, c.Environment);
        EXPECT_EQ(line ? std::optional(line->Server.Password) : std::nullopt, c.Password)
            << (c.Args.empty() ? "" : c.Args[0]) << " / " << error;
        if (!line) continue;
        EXPECT_NE(line->PasswordSource.find(c.Source), std::string::npos) << line->PasswordSource;
        EXPECT_EQ(line->PasswordSource.find(line->Server.Password), std::string::npos);
    }
}

// A certificate and key that cannot serve together are refused with the reason, before anything
// listens; the files themselves must be readable.
TEST(KestaroTls, ACertificateAndKeyThatCannotServeAreRefusedWithTheReason) {
    const auto read = [](const char* AName) {
        std::ifstream file(std::string(KESTARO_TEST_TLS_DIR) + "/" + AName, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    const struct {
        std::string Certificate, Key;
        const char* Reason;  // empty: they serve
    } pairs[] = {{read("server.pem"), read("server.key"), ""},
                 {read("other-name.pem"), read("server.key"), ""},
                 {read("server.pem"), read("ca.key"), "the key is not the certificate's"},
                 {"not a certificate", read("server.key"), "cannot be read as PEM"}};
    for (const auto& pair : pairs) {
        std::string error;
        EXPECT_EQ(THttpServer::CheckTlsPair(pair.Certificate, pair.Key, error), !*pair.Reason);
        EXPECT_NE(error.find(pair.Reason), std::string::npos) << error;
    }
    std::string error;
    EXPECT_FALSE(ParseCommandLine({"--demo", "--tls-cert", "/nonexistent.pem", "--tls-key",
                                   std::string(KESTARO_TEST_TLS_DIR) + "/server.key"},
                                  error));
    EXPECT_EQ(error, "cannot read /nonexistent.pem");
    // An empty file is refused too: the server would otherwise speak plain HTTP.
    TTempDir dir;
    std::ofstream(dir.File("empty.pem")) << "";
    const std::string good = std::string(KESTARO_TEST_TLS_DIR) + "/server.pem";
    for (const auto& [certificate, key] :
         {std::pair{dir.File("empty.pem"), std::string(KESTARO_TEST_TLS_DIR) + "/server.key"},
          std::pair{good, dir.File("empty.pem")}}) {
        EXPECT_FALSE(
            ParseCommandLine({"--demo", "--tls-cert", certificate, "--tls-key", key}, error));
        EXPECT_EQ(error, "cannot read " + dir.File("empty.pem"));
    }
    EXPECT_FALSE(ParseCommandLine({"--demo", "--tls-cert", "x.pem"}, error));
    EXPECT_EQ(error, "--tls-cert and --tls-key go together");
}

namespace {
// Whether a TLS client that offers only APriorities (GnuTLS's notation) completes a handshake
// with the server on APort.
bool Handshakes(int APort, const char* APriorities) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(APort));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    gnutls_certificate_credentials_t credentials = nullptr;
    gnutls_session_t session = nullptr;
    gnutls_certificate_allocate_credentials(&credentials);
    gnutls_init(&session, GNUTLS_CLIENT);
    gnutls_credentials_set(session, GNUTLS_CRD_CERTIFICATE, credentials);
    int result = gnutls_priority_set_direct(session, APriorities, nullptr);
    EXPECT_EQ(result, GNUTLS_E_SUCCESS) << APriorities;
    gnutls_transport_set_int(session, fd);
    gnutls_handshake_set_timeout(session, 5000);
    do {
        result = gnutls_handshake(session);
    } while (result < 0 && !gnutls_error_is_fatal(result));
    gnutls_deinit(session);
    gnutls_certificate_free_credentials(credentials);
    ::close(fd);
    return result >= 0;
}
}  // namespace

// The server speaks TLS 1.2 and 1.3 with forward-secret key exchanges only; what older Windows
// offers (ECDHE with AES-CBC over TLS 1.2) is served.
TEST(KestaroTls, OnlyTls12And13WithForwardSecrecyAreServed) {
    const auto read = [](const char* AName) {
        std::ifstream file(std::string(KESTARO_TEST_TLS_DIR) + "/" + AName, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    TTempDir dir;
    TLocalKestaro server(dir.File("k.db"), "2613", 0, read("server.pem"), read("server.key"));
    const struct {
        const char* Client;
        bool Served;
    } clients[] = {
        {"NORMAL", true},
        {"NORMAL:-VERS-ALL:+VERS-TLS1.2:-KX-ALL:+ECDHE-RSA:-CIPHER-ALL:+AES-128-CBC:+AES-256-CBC",
         true},
        {"NORMAL:-VERS-ALL:+VERS-TLS1.1:+VERS-TLS1.0", false},
        {"NORMAL:-VERS-ALL:+VERS-TLS1.2:-KX-ALL:+RSA", false},
    };
    for (const auto& client : clients)
        EXPECT_EQ(Handshakes(server.Port(), client.Client), client.Served) << client.Client;
}

// What a request sends cannot forge a log line or steer the terminal the log is read on.
TEST(KestaroLog, FieldsFromTheRequestAreEscaped) {
    const struct {
        std::string Text, Logged;
    } fields[] = {{"/api/طلبات", "/api/طلبات"},
                  {"a\nb\r\"c\\", "a\\x0ab\\x0d\\x22c\\x5c"},
                  {"\x1b[2J\x07\x7f", "\\x1b[2J\\x07\\x7f"},
                  {"\xc2\x9b"
                   "1m",
                   "\\xc2\\x9b"
                   "1m"}};
    for (const auto& field : fields) EXPECT_EQ(EscapedForLog(field.Text), field.Logged);

    TTempDir dir;
    TLocalKestaro server(dir.File("k.db"), "2613", 0, {}, {}, true);
    httplib::Client client("127.0.0.1", server.Port());
    testing::internal::CaptureStdout();
    client.Get("/api/x%0arequest%20POST%20/api/login%20200%20%22forged%22",
               {{"User-Agent", "agent\x1b[31m"}});
    const std::string logged = testing::internal::GetCapturedStdout();
    EXPECT_EQ(logged,
              "request GET /api/x\\x0arequest POST /api/login 200 \\x22forged\\x22 401 "
              "\"agent\\x1b[31m\"\n");
}
