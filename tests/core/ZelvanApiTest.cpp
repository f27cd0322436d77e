#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "HttpTransport.h"
#include "JsonDocument.h"
#include "RawServer.h"
#include "ScriptedServer.h"
#include "ZelvanError.h"
#include "uZelvanApi.h"

namespace {

const QString Unauthorized = QStringLiteral("كلمة المرور غير صحيحة أو غير مصرح به (401)");
const QString WrongPassword = QStringLiteral("كلمة المرور غير صحيحة.");
const QString Unreachable =
    QStringLiteral("تعذر الاتصال بالسيرفر. يرجى التأكد من عنوان IP وتشغيل السيرفر.");
const QString NoToken = QStringLiteral("استجابة غير متوقعة: لم يتم استلام رمز المصادقة.");
const QString InvalidReply = QStringLiteral("استجابة السيرفر غير صالحة.");
const char* const CountPath = "/api/certificates/requests/count";
const char* const ListPath = "/api/certificates/requests";

std::string Member(const std::string& AJson, const char* AKey) {
    const auto doc = TJsonDocument::Parse(AJson);
    if (!doc) return "<not json>";
    const auto value = doc->Root().Find(AKey);
    return value ? std::string(value->Text()) : "<missing>";
}

// A scripted server whose login route grants numbered tokens for the password it accepts and
// answers 401 to any other.
class TServer : public TScriptedServer {
public:
    explicit TServer(std::string APassword = "2613") : FPassword(std::move(APassword)) {
        Route("/api/login", [this](const TRecord& ARequest) {
            if (Member(ARequest.Body, "password") != FPassword) return TReply{401, ""};
            return TReply{200, "{\"token\":\"" + Token(++FGranted) + "\"}"};
        });
    }
    // Tokens name the server that granted them.
    std::string Token(int ANumber) const {
        return "t" + std::to_string(Port()) + "-" + std::to_string(ANumber);
    }
    std::string Bearer(int ANumber) const { return "Bearer " + Token(ANumber); }
    QString HostQ() const { return QString::fromStdString(Host()); }
    int Logins() const { return CountRequests("/api/login"); }
    std::string LastAuthorization(const std::string& APath) const {
        std::string last;
        for (const auto& r : Requests())
            if (r.Target.rfind(APath, 0) == 0) last = r.Header("Authorization");
        return last;
    }

private:
    std::string FPassword;
    std::atomic<int> FGranted{0};
};

struct TCounts {
    bool Ok = false;
    std::int32_t Pending = -1, Completed = -1, Total = -1, MaxID = -1, NewCount = -1;
    QString Error = "stale";
};

TCounts Counts(const TServer& AServer, const QString& APassword = "2613", int ALastSeen = 0) {
    TCounts c;
    c.Ok =
        TZelvanApi::GetRequestsCount(AServer.HostQ(), AServer.Port(), APassword, ALastSeen,
                                     c.Pending, c.Completed, c.Total, c.MaxID, c.NewCount, c.Error);
    return c;
}

class ZelvanApi : public ::testing::Test {
protected:
    // The token cache is process-wide: a failed connection test leaves it empty for each test.
    void SetUp() override {
        TRawServer closed("", false);
        QString error;
        TZelvanApi::TestConnection("127.0.0.1", closed.Port(), error);
    }
};

}  // namespace

TEST_F(ZelvanApi, LogsInOnceForCallsWithTheSamePassword) {
    TServer server;
    server.SetFallback({200, R"({"pending":1})"});
    EXPECT_TRUE(Counts(server).Ok);
    EXPECT_TRUE(Counts(server).Ok);
    EXPECT_EQ(server.Logins(), 1);
    EXPECT_EQ(server.LastAuthorization(CountPath), server.Bearer(1));
    const auto login = server.Requests().front();
    EXPECT_FALSE(login.HasHeader("Authorization"));
    EXPECT_EQ(login.Body, R"({"username":"user","password":"2613"})");
}

TEST_F(ZelvanApi, FailedLoginWithANewPasswordKeepsTheOldToken) {
    TServer server;
    server.SetFallback({200, "{}"});
    EXPECT_TRUE(Counts(server, "2613").Ok);
    const TCounts refused = Counts(server, "wrong");
    EXPECT_FALSE(refused.Ok);
    EXPECT_EQ(refused.Error, WrongPassword);
    EXPECT_EQ(refused.Pending, 0);
    EXPECT_EQ(server.Logins(), 2);
    EXPECT_TRUE(Counts(server, "2613").Ok);
    EXPECT_EQ(server.Logins(), 2) << "the first password's token is still cached";
    EXPECT_EQ(server.LastAuthorization(CountPath), server.Bearer(1));
}

TEST_F(ZelvanApi, ATokenGrantedByOneServerIsNeverSentToAnother) {
    TServer first;
    TServer second;
    first.SetFallback({200, "{}"});
    second.SetFallback({200, "{}"});
    EXPECT_TRUE(Counts(first).Ok);
    EXPECT_TRUE(Counts(second).Ok);
    EXPECT_EQ(second.Logins(), 1);
    EXPECT_EQ(second.LastAuthorization(CountPath), second.Bearer(1));
    for (const auto& r : second.Requests()) EXPECT_NE(r.Header("Authorization"), first.Bearer(1));
    EXPECT_TRUE(Counts(first).Ok);
    EXPECT_EQ(first.Logins(), 2) << "back on the first server, it logs in afresh";
}

TEST_F(ZelvanApi, LoginRepliesAndTheirMessages) {
    const struct {
        int Status;
        const char* Body;
        QString Error;
    } cases[] = {
        {200, R"({"token":""})", NoToken},
        {200, R"({"token":null})", NoToken},
        {200, R"({"Token":"x"})", NoToken},
        {200, R"({"token":{}})", NoToken},
        {200, R"(["token"])", InvalidReply},
        {200, "", InvalidReply},
        {200, "token=abc", InvalidReply},
        {401, "", WrongPassword},
        {500, "", QStringLiteral("خطأ استجابة السيرفر (500)")},
        {403, "", QStringLiteral("خطأ استجابة السيرفر (403)")},
    };
    for (const auto& c : cases) {
        TScriptedServer server;
        server.Queue(c.Status, c.Body);
        QString error;
        EXPECT_FALSE(TZelvanApi::TestConnection("127.0.0.1", server.Port(), "p", error)) << c.Body;
        EXPECT_EQ(error, c.Error) << c.Status << " " << c.Body;
    }
}

TEST_F(ZelvanApi, ANumericTokenIsCachedAsItsText) {
    TScriptedServer server;
    server.Route("/api/login", [](const auto&) {
        return TScriptedServer::TReply{200, R"({"token":12345})"};
    });
    server.SetFallback({200, "{}"});
    TCounts c;
    EXPECT_TRUE(TZelvanApi::GetRequestsCount("127.0.0.1", server.Port(), "p", 0, c.Pending,
                                             c.Completed, c.Total, c.MaxID, c.NewCount, c.Error));
    EXPECT_EQ(server.Requests().back().Header("Authorization"), "Bearer 12345");
}

TEST_F(ZelvanApi, ConnectionTestAlwaysLogsInAndEmptiesTheToken) {
    TServer server;
    server.SetFallback({200, "{}"});
    QString error = "stale";
    EXPECT_TRUE(TZelvanApi::TestConnection(server.HostQ(), server.Port(), "2613", error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(TZelvanApi::TestConnection(server.HostQ(), server.Port(), error)) << "2613 form";
    EXPECT_EQ(server.Logins(), 2);
    EXPECT_FALSE(TZelvanApi::TestConnection(server.HostQ(), server.Port(), "bad", error));
    EXPECT_EQ(error, WrongPassword);
    EXPECT_TRUE(Counts(server).Ok);
    EXPECT_EQ(server.Logins(), 4) << "the failed test left no token to use";
}

// Where no status came back, the message says why, on a line after the usual text.
TEST_F(ZelvanApi, AFailureWithoutAStatusNamesItsCause) {
    const QString refused =
        QStringLiteral("السيرفر رفض الاتصال: تأكد من تشغيل السيرفر ومن رقم المنفذ.");
    const QString late = QStringLiteral("السيرفر لم يرد في الوقت المحدد.");
    const QString unknown =
        QStringLiteral("تعذر العثور على عنوان السيرفر: تأكد من العنوان في الإعدادات.");
    const QString cut = QStringLiteral("انقطع رد السيرفر قبل اكتماله.");
    int closedPort = 0;
    {
        TRawServer probe("", false);
        closedPort = probe.Port();
    }
    TRawServer silent("", true);
    TRawServer partial("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n{", false);
    // A label longer than DNS allows fails in the resolver itself, without asking any server.
    const QString noSuchHost = QString(70, u'a') + QStringLiteral(".example");
    const struct {
        QString Host;
        int Port;
        QString Cause;
    } rows[] = {{"127.0.0.1", closedPort, refused},
                {"127.0.0.1", silent.Port(), late},
                {noSuchHost, 80, unknown},
                {"127.0.0.1", partial.Port(), cut}};
    THttpLimits& limits = THttpTransport::Limits();
    const THttpLimits saved = limits;
    limits.StallTimeoutSeconds = 1;
    for (const auto& row : rows) {
        QString error;
        EXPECT_FALSE(TZelvanApi::TestConnection(row.Host, row.Port, "p", error));
        EXPECT_EQ(error, Unreachable + u'\n' + row.Cause) << row.Port;
    }

    // A change whose reply is lost may have been made, and says so; a refused one was not.
    TServer server;
    server.Route("/api/certificates/requests/update-status", [](const auto&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        return TScriptedServer::TReply{200, R"({"success":true})"};
    });
    QString error;
    EXPECT_FALSE(TZelvanApi::UpdateRequestStatus(server.HostQ(), server.Port(), "2613", 3,
                                                 "completed", "x", error));
    limits = saved;
    EXPECT_TRUE(error.startsWith(QStringLiteral("خطأ تحديث الحالة (0)\n") + late + u'\n'));
    EXPECT_TRUE(TZelvanApi::LastChangeMayHaveArrived());
    auto gone = std::make_unique<TServer>();
    gone->SetFallback({200, "{}"});
    EXPECT_TRUE(Counts(*gone).Ok);
    const int port = gone->Port();
    gone.reset();  // its token is still held for its address
    EXPECT_FALSE(TZelvanApi::DeleteRequest("127.0.0.1", port, "2613", 3, error));
    EXPECT_EQ(error, QStringLiteral("خطأ حذف الطلب (0)\n") + refused);
    EXPECT_FALSE(TZelvanApi::LastChangeMayHaveArrived());
}

TEST_F(ZelvanApi, PasswordAndCompletedByArriveExactlyAsTyped) {
    const QString password = QStringLiteral("a\"b\\c\nd كلمة");
    TServer server(password.toStdString());
    server.SetFallback({200, R"({"success":true})"});
    QString error;
    EXPECT_TRUE(TZelvanApi::UpdateRequestStatus(server.HostQ(), server.Port(), password, 7,
                                                "completed", QStringLiteral("أمانة \"المدير\"\\"),
                                                error))
        << error.toStdString();
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(Member(requests[0].Body, "password"), password.toStdString());
    EXPECT_EQ(requests[1].Target, "/api/certificates/requests/update-status");
    EXPECT_EQ(requests[1].Body, std::string(R"({"id":7,"status":"completed","completed_by":)") +
                                    R"("أمانة \"المدير\"\\"})");
}

TEST_F(ZelvanApi, RetriesOnceAfterARefusedToken) {
    TServer server;
    server.Queue(401, "");
    server.Queue(200, R"({"pending":2,"completed":3,"total":5,"max_id":9,"new_count":1})");
    const TCounts c = Counts(server);
    EXPECT_TRUE(c.Ok);
    EXPECT_TRUE(c.Error.isEmpty());
    EXPECT_EQ(c.Pending, 2);
    EXPECT_EQ(c.Completed, 3);
    EXPECT_EQ(c.Total, 5);
    EXPECT_EQ(c.MaxID, 9);
    EXPECT_EQ(c.NewCount, 1);
    EXPECT_EQ(server.Logins(), 2);
    EXPECT_EQ(server.LastAuthorization(CountPath), server.Bearer(2));
    server.Queue(200, "{}");
    EXPECT_TRUE(Counts(server).Ok);
    EXPECT_EQ(server.Logins(), 2) << "the new token stays cached";
}

TEST_F(ZelvanApi, RefusedTokenAndFailingLoginGiveThe401Message) {
    TServer server;
    server.SetFallback({401, ""});
    EXPECT_TRUE(Counts(server).Ok == false);
    // Login succeeds, request 401, retry login succeeds, request 401 again: four exchanges.
    EXPECT_EQ(server.Requests().size(), 4u);
    EXPECT_EQ(Counts(server).Error, Unauthorized);

    TServer other;
    other.Queue(401, "");
    other.Route("/api/login", [&other](const auto&) {
        return other.Logins() == 1 ? TScriptedServer::TReply{200, R"({"token":"x"})"}
                                   : TScriptedServer::TReply{401, ""};
    });
    const TCounts c = Counts(other);
    EXPECT_FALSE(c.Ok);
    EXPECT_EQ(c.Error, Unauthorized) << "replaces the retry login's own message";
    EXPECT_EQ(other.Requests().size(), 3u);
}

TEST_F(ZelvanApi, CountsReplies) {
    TServer server;
    server.Queue(200, R"({"pending":3})");
    TCounts c = Counts(server, "2613", 41);
    EXPECT_TRUE(c.Ok);
    EXPECT_EQ(c.Pending, 3);
    EXPECT_EQ(c.Completed + c.Total + c.MaxID + c.NewCount, 0);
    EXPECT_EQ(server.Requests().back().Target, "/api/certificates/requests/count?last_id=41");

    server.Queue(200, "not json");
    c = Counts(server);
    EXPECT_TRUE(c.Ok);
    EXPECT_EQ(c.Pending, 0);

    server.Queue(500, R"({"pending":3})");
    c = Counts(server);
    EXPECT_FALSE(c.Ok);
    EXPECT_EQ(c.Error, QStringLiteral("خطأ اتصال (500)"));
    EXPECT_EQ(c.Pending, 0);

    server.Queue(300, R"({"pending":3})");
    EXPECT_FALSE(Counts(server).Ok) << "only a 2xx status is a success";

    // A byte order mark before the reply, and one odd number, leave the rest readable.
    server.Queue(200, "\xEF\xBB\xBF{\"pending\":4,\"completed\":1e400,\"total\":9}");
    c = Counts(server);
    EXPECT_TRUE(c.Ok);
    EXPECT_EQ(c.Pending, 4);
    EXPECT_EQ(c.Completed, 0);
    EXPECT_EQ(c.Total, 9);
}

TEST_F(ZelvanApi, EveryOperationReadsAMarkedReplyAlike) {
    TServer server;
    server.Route("/api/login", [](const auto&) {
        return TScriptedServer::TReply(200, "\xEF\xBB\xBF{\"token\":\"t\"}");
    });
    server.Queue(200, "\xEF\xBB\xBF[{\"id\":3,\"x\":1e999}]");
    server.Queue(200, "\xEF\xBB\xBF{\"success\":false,\"error\":\"لا\"}");
    TCertRequestList list;
    QString error;
    EXPECT_TRUE(TZelvanApi::GetRequests(server.HostQ(), server.Port(), "p", "all", list, error));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].ID, 3);
    EXPECT_FALSE(TZelvanApi::UpdateRequestStatus(server.HostQ(), server.Port(), "p", 3, "completed",
                                                 "x", error))
        << "a refusal behind a mark is still a refusal";
    EXPECT_EQ(error, QStringLiteral("لا"));
}

TEST_F(ZelvanApi, AServerThatStopsAnsweringWhileATokenIsHeld) {
    auto server = std::make_unique<TServer>();
    server->SetFallback({200, "{}"});
    const int port = server->Port();
    EXPECT_TRUE(Counts(*server).Ok);
    server.reset();
    TCounts c;
    EXPECT_FALSE(TZelvanApi::GetRequestsCount("127.0.0.1", port, "2613", 0, c.Pending, c.Completed,
                                              c.Total, c.MaxID, c.NewCount, c.Error));
    EXPECT_TRUE(c.Error.startsWith(QStringLiteral("خطأ اتصال (0)\n")));
}

TEST_F(ZelvanApi, ListRepliesAndStatusPaths) {
    TServer server;
    server.SetFallback({200, "[]"});
    const struct {
        QString Status;
        const char* Target;
    } paths[] = {{"", ListPath},
                 {"all", ListPath},
                 {"All", "/api/certificates/requests?status=All"},
                 {" pending \t", "/api/certificates/requests?status=pending"},
                 {"completed", "/api/certificates/requests?status=completed"}};
    for (const auto& p : paths) {
        TCertRequestList list(3);
        QString error;
        EXPECT_TRUE(
            TZelvanApi::GetRequests(server.HostQ(), server.Port(), "2613", p.Status, list, error));
        EXPECT_TRUE(list.empty());
        EXPECT_EQ(server.Requests().back().Target, p.Target);
    }

    TCertRequestList list;
    QString error;
    server.Queue(200, R"({"items":[{"id":1}]})");
    EXPECT_TRUE(TZelvanApi::GetRequests(server.HostQ(), server.Port(), "2613", "all", list, error));
    EXPECT_TRUE(list.empty()) << "an object wrapping an array is no list";

    server.Queue(200, R"([5,{"id":4,"student_name":"ن"}])");
    EXPECT_TRUE(TZelvanApi::GetRequests(server.HostQ(), server.Port(), "2613", "all", list, error));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].ID, 0);
    EXPECT_EQ(list[1].ID, 4);
    EXPECT_EQ(list[1].StudentName, QStringLiteral("ن"));

    server.Queue(503, "[]");
    EXPECT_FALSE(
        TZelvanApi::GetRequests(server.HostQ(), server.Port(), "2613", "all", list, error));
    EXPECT_EQ(error, QStringLiteral("خطأ جلب الطلبات (503)"));
    EXPECT_TRUE(list.empty()) << "the caller's list is emptied also when the call fails";
}

TEST_F(ZelvanApi, StatusChangeAndDeletionReplies) {
    TServer server;
    const struct {
        int Status;
        const char* Body;
        bool Ok;
        QString Error;
    } cases[] = {
        {200, R"({"success":true})", true, ""},
        {200, R"({"success":false,"error":"X"})", false, "X"},
        {200, R"({"success":false,"error":12})", false, "12"},
        {200, "{}", false, ""},
        {200, R"({"success":"true"})", true, ""},
        {200, R"({"success":1})", true, ""},
        {200, R"({"success":"yes","error":"no"})", false, "no"},
        {200, R"([{"success":false}])", true, ""},
        {204, "", true, ""},
        {500, "{}", false, QStringLiteral("خطأ تحديث الحالة (500)")},
    };
    for (const auto& c : cases) {
        server.Queue(c.Status, c.Body);
        QString error = "stale";
        EXPECT_EQ(TZelvanApi::UpdateRequestStatus(server.HostQ(), server.Port(), "2613", 3,
                                                  "pending", QStringLiteral("أمانة المدير"), error),
                  c.Ok)
            << c.Body;
        EXPECT_EQ(error, c.Error) << c.Body;
    }

    QString error;
    server.Queue(500, "");
    EXPECT_FALSE(TZelvanApi::DeleteRequest(server.HostQ(), server.Port(), "2613", 12, error));
    EXPECT_EQ(error, QStringLiteral("خطأ حذف الطلب (500)"));
    EXPECT_EQ(server.Requests().back().Body, R"({"id":12})");
    server.Queue(200, R"({"success":false,"error":"غير موجود"})");
    EXPECT_FALSE(TZelvanApi::DeleteRequest(server.HostQ(), server.Port(), "2613", 12, error));
    EXPECT_EQ(error, QStringLiteral("غير موجود"));
}

TEST_F(ZelvanApi, NoRequestIsSentWithoutAToken) {
    TServer server("secret");
    TCertRequestList list;
    QString error;
    EXPECT_FALSE(
        TZelvanApi::GetRequests(server.HostQ(), server.Port(), "2613", "all", list, error));
    EXPECT_EQ(error, WrongPassword);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(ZelvanApi, AReplyThatIsNotUtf8EndsTheOperationWithAnError) {
    TServer server;
    server.Queue(200, "[\"\xc3\x28\"]");
    TCertRequestList list;
    QString error;
    EXPECT_THROW(TZelvanApi::GetRequests(server.HostQ(), server.Port(), "2613", "all", list, error),
                 EZelvanError);
}
