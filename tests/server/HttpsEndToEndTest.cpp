#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

#include "HttpTransport.h"
#include "LocalKestaro.h"
#include "SampleRequests.h"
#include "ScriptedServer.h"
#include "TempDir.h"
#include "uZelvanApi.h"

// The client over HTTPS against kestaro-server serving TLS, with the test-only authority and
// certificates in tests/tls.
namespace {

std::string TlsFile(const char* AName) {
    return std::string(KESTARO_TEST_TLS_DIR) + "/" + AName;
}

std::string Read(const std::string& APath) {
    std::ifstream file(APath, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The authority's file is a process-wide setting: each test sets it and leaves none behind.
class Https : public ::testing::Test {
protected:
    void TearDown() override { THttpTransport::SetCaFile({}); }

    static std::unique_ptr<TLocalKestaro> Serve(const TTempDir& ADir, const char* ACertificate) {
        return std::make_unique<TLocalKestaro>(
            ADir.File("k.db"), "2613", 0, Read(TlsFile(ACertificate)), Read(TlsFile("server.key")));
    }
};

const QString Unreachable =
    QStringLiteral("تعذر الاتصال بالسيرفر. يرجى التأكد من عنوان IP وتشغيل السيرفر.");

}  // namespace

TEST_F(Https, LoginCountsListAndAChangeOverTlsWithTheSchoolsAuthority) {
    TTempDir dir;
    const auto server = Serve(dir, "server.pem");
    server->Store().CreateMany(TSampleRequests(2).History(5));
    THttpTransport::SetCaFile(TlsFile("ca.pem"));
    const QString host = QStringLiteral("HTTPS://127.0.0.1");  // any letter case
    const int port = server->Port();
    QString error;
    ASSERT_TRUE(TZelvanApi::TestConnection(host, port, "2613", error)) << error.toStdString();
    std::int32_t pending = 0, completed = 0, total = 0, maxId = 0, fresh = 0;
    ASSERT_TRUE(TZelvanApi::GetRequestsCount(host, port, "2613", 0, pending, completed, total,
                                             maxId, fresh, error));
    EXPECT_EQ(total, 5);
    TCertRequestList list;
    ASSERT_TRUE(TZelvanApi::GetRequests(host, port, "2613", "all", list, error));
    ASSERT_EQ(list.size(), 5u);
    EXPECT_TRUE(TZelvanApi::UpdateRequestStatus(host, port, "2613", list[0].ID, "completed",
                                                QStringLiteral("أمانة المدير"), error))
        << error.toStdString();
    EXPECT_EQ(server->Store().Counts(0).Completed, completed + (list[0].Status == "pending"));
}

// Every way an https exchange fails says why, and nothing goes out in the clear.
TEST_F(Https, EachFailureNamesItsCause) {
    TTempDir dir;
    const auto good = Serve(dir, "server.pem");
    TTempDir otherDir, expiredDir, plainDir;
    const auto otherName = Serve(otherDir, "other-name.pem");
    const auto expired = Serve(expiredDir, "expired.pem");
    const TLocalKestaro plain(plainDir.File("k.db"));
    TScriptedServer clear;  // where a downgrade would land
    TScriptedServer elsewhere(TlsFile("server.pem"), TlsFile("server.key"));
    TScriptedServer redirecting(TlsFile("server.pem"), TlsFile("server.key"));
    redirecting.Route("/api/login", [&](const auto& ARecord) {
        TScriptedServer::TReply reply(307, "");
        const bool down = ARecord.Body.find("down") != std::string::npos;
        reply.Headers.emplace(
            "Location",
            down ? clear.Url("/api/login")
                 : "https://localhost:" + std::to_string(elsewhere.Port()) + "/api/login");
        return reply;
    });
    const QString ca = QString::fromStdString(TlsFile("ca.pem"));
    // Where the secure connection itself failed, the first line does not send the user to check
    // the address and whether the server runs.
    const QString noSecureConnection = QStringLiteral("تعذر إنشاء اتصال آمن بالسيرفر.");
    const struct {
        const char* What;
        int Port;
        std::string CaFile;
        const char* Password;  // the redirecting server reads where to send the client from it
        QString Cause;
        bool Secure = true;
        const char* Scheme = "https";
    } rows[] = {
        {"no authority", good->Port(), "", "2613",
         QStringLiteral("شهادة السيرفر غير موثوقة: لا تعرفها جهة موثوقة على هذا الجهاز "
                        "(شهادة جهة المدرسة تُذكر في CaFile بملف الإعدادات).")},
        {"another name", otherName->Port(), TlsFile("ca.pem"), "2613",
         QStringLiteral("شهادة السيرفر صادرة لاسم آخر غير عنوان السيرفر في الإعدادات.")},
        {"expired", expired->Port(), TlsFile("ca.pem"), "2613",
         QStringLiteral("شهادة السيرفر منتهية الصلاحية.")},
        {"plain HTTP", plain.Port(), TlsFile("ca.pem"), "2613",
         QStringLiteral("السيرفر لا يتحدث HTTPS على هذا المنفذ.")},
        {"to http", redirecting.Port(), TlsFile("ca.pem"), "down",
         QStringLiteral("رُفض تحويل السيرفر إلى عنوان غير آمن أو إلى سيرفر آخر."), false},
        {"to another host", redirecting.Port(), TlsFile("ca.pem"), "away",
         QStringLiteral("رُفض تحويل السيرفر إلى عنوان غير آمن أو إلى سيرفر آخر."), false},
        {"no authority file", good->Port(), dir.File("missing.pem"), "2613",
         QStringLiteral("تعذرت قراءة ملف شهادة الجهة (CaFile) في ملف الإعدادات: \u2066") +
             QString::fromStdString(dir.File("missing.pem")) + u'\u2069'},
        {"http to the TLS port", good->Port(), TlsFile("ca.pem"), "2613",
         QStringLiteral("السيرفر يتحدث HTTPS على هذا المنفذ: اكتب عنوانه في الإعدادات مبدوءاً بـ "
                        "\u2066https://\u2069."),
         true, "http"},
    };
    for (const auto& row : rows) {
        THttpTransport::SetCaFile(row.CaFile);
        QString error;
        EXPECT_FALSE(TZelvanApi::TestConnection(QString::fromLatin1(row.Scheme) + "://127.0.0.1",
                                                row.Port, row.Password, error))
            << row.What;
        EXPECT_EQ(error, (row.Secure ? noSecureConnection : Unreachable) + u'\n' + row.Cause)
            << row.What;
    }
    EXPECT_EQ(clear.Requests().size(), 0u) << "nothing went out in the clear";
    EXPECT_EQ(elsewhere.Requests().size(), 0u) << "nothing went to another host";
    EXPECT_EQ(redirecting.CountRequests("/api/login"), 2);
}

// Poll cycles on one thread (a worker) go over one connection, over HTTPS as over HTTP; a change
// opens one of its own; the polls after it go on over a kept one. With an authority's file that
// does not sign the server's certificate, a failing exchange makes one handshake.
TEST_F(Https, CyclesKeepOneConnectionAndAChangeOpensOneOfItsOwn) {
    for (const bool tls : {false, true}) {
        SCOPED_TRACE(tls ? "https" : "http");
        TTempDir dir;
        const auto server =
            tls ? Serve(dir, "server.pem") : std::make_unique<TLocalKestaro>(dir.File("k.db"));
        server->Store().CreateMany(TSampleRequests(3).History(4));
        THttpTransport::SetCaFile(tls ? TlsFile("ca.pem") : std::string());
        const QString host = tls ? "https://127.0.0.1" : "127.0.0.1";
        std::thread([&] {
            const THttpTransport::TKeptConnections kept;  // as a worker's thread has
            const auto cycles = [&](int ACount) {
                for (int i = 0; i < ACount; ++i) {
                    std::int32_t pending, completed, total, maxId, fresh;
                    TCertRequestList list;
                    QString error;
                    ASSERT_TRUE(
                        TZelvanApi::GetRequestsCount(host, server->Port(), "2613", 0, pending,
                                                     completed, total, maxId, fresh, error) &&
                        TZelvanApi::GetRequests(host, server->Port(), "2613", "all", list, error))
                        << error.toStdString();
                }
            };
            cycles(3);
            EXPECT_EQ(server->ConnectionsOpened(), 1u);
            QString error;
            EXPECT_TRUE(TZelvanApi::DeleteRequest(host, server->Port(), "2613", 1, error));
            EXPECT_EQ(server->ConnectionsOpened(), 2u);
            cycles(3);
            EXPECT_EQ(server->ConnectionsOpened(), 2u);
        }).join();
    }
    TTempDir dir;
    const auto server = Serve(dir, "server.pem");
    THttpTransport::SetCaFile(TlsFile("expired.pem"));  // signs nothing here
    std::thread([&] {
        QString error;
        EXPECT_FALSE(
            TZelvanApi::TestConnection("https://127.0.0.1", server->Port(), "2613", error));
    }).join();
    EXPECT_EQ(server->ConnectionsOpened(), 1u);
}
