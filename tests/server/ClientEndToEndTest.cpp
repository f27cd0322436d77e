#include <gtest/gtest.h>

#include "LocalKestaro.h"
#include "SampleRequests.h"
#include "TempDir.h"
#include "uZelvanApi.h"

namespace {

const QString Host = QStringLiteral("127.0.0.1");
const QString Secretariat = QStringLiteral("أمانة المدير");

struct TCounts {
    std::int32_t Pending = -1, Completed = -1, Total = -1, MaxID = -1, NewCount = -1;
};

TCounts Counts(int APort, int ALastSeen = 0, const QString& APassword = "2613") {
    TCounts c;
    QString error;
    EXPECT_TRUE(TZelvanApi::GetRequestsCount(Host, APort, APassword, ALastSeen, c.Pending,
                                             c.Completed, c.Total, c.MaxID, c.NewCount, error))
        << error.toStdString();
    return c;
}

TCertRequestList List(int APort, const QString& AStatus) {
    TCertRequestList list;
    QString error;
    EXPECT_TRUE(TZelvanApi::GetRequests(Host, APort, "2613", AStatus, list, error))
        << error.toStdString();
    return list;
}

}  // namespace

TEST(ClientAgainstKestaroServer, CountsListCompletionRevertAndDeletion) {
    TTempDir dir;
    TLocalKestaro server(dir.File("k.db"));
    server.Store().CreateMany(TSampleRequests(3).History(12));
    const int port = server.Port();

    const TCounts before = Counts(port);
    EXPECT_EQ(before.Total, 12);
    EXPECT_EQ(before.MaxID, 12);
    EXPECT_EQ(before.Pending + before.Completed, 12);

    TCertRequestList pending = List(port, "pending");
    ASSERT_EQ(pending.size(), std::size_t(before.Pending));
    ASSERT_FALSE(pending.empty());
    const TCertRequestItem chosen = pending.front();
    EXPECT_FALSE(chosen.StudentName.isEmpty());
    EXPECT_EQ(chosen.Status, "pending");

    QString error;
    ASSERT_TRUE(TZelvanApi::UpdateRequestStatus(Host, port, "2613", chosen.ID, "completed",
                                                Secretariat, error))
        << error.toStdString();
    const TCounts after = Counts(port);
    EXPECT_EQ(after.Pending, before.Pending - 1);
    EXPECT_EQ(after.Completed, before.Completed + 1);
    for (const auto& item : List(port, "pending")) EXPECT_NE(item.ID, chosen.ID);
    bool found = false;
    for (const auto& item : List(port, "all")) {
        if (item.ID != chosen.ID) continue;
        found = true;
        EXPECT_EQ(item.Status, "completed");
        EXPECT_EQ(item.CompletedBy, Secretariat);
        EXPECT_FALSE(item.CompletedDate.isEmpty());
    }
    EXPECT_TRUE(found);

    ASSERT_TRUE(TZelvanApi::UpdateRequestStatus(Host, port, "2613", chosen.ID, "pending",
                                                Secretariat, error));
    EXPECT_EQ(Counts(port).Pending, before.Pending);

    ASSERT_TRUE(TZelvanApi::DeleteRequest(Host, port, "2613", chosen.ID, error));
    EXPECT_EQ(Counts(port).Total, 11);
    EXPECT_FALSE(TZelvanApi::DeleteRequest(Host, port, "2613", chosen.ID, error));
    EXPECT_FALSE(error.isEmpty()) << "the server's reason comes through";
    EXPECT_FALSE(
        TZelvanApi::UpdateRequestStatus(Host, port, "2613", 4242, "completed", Secretariat, error));
}

TEST(ClientAgainstKestaroServer, NewRequestsAboveTheLastSeenId) {
    TTempDir dir;
    TLocalKestaro server(dir.File("k.db"));
    server.Store().CreateMany(TSampleRequests(5).History(3));
    const TCounts first = Counts(server.Port());
    TSampleRequests samples(9);
    server.Store().Create(samples.Next(NowText()));
    server.Store().Create(samples.Next(NowText()));
    const TCounts next = Counts(server.Port(), first.MaxID);
    EXPECT_EQ(next.MaxID, first.MaxID + 2);
    EXPECT_EQ(next.NewCount, 2);
}

TEST(ClientAgainstKestaroServer, WrongPasswordAndAServerRestart) {
    TTempDir dir;
    const std::string db = dir.File("k.db");
    QString error;
    int port = 0;
    {
        TLocalKestaro server(db, "other");
        port = server.Port();
        EXPECT_FALSE(TZelvanApi::TestConnection(Host, port, "2613", error));
        EXPECT_EQ(error, QStringLiteral("كلمة المرور غير صحيحة."));
        EXPECT_TRUE(TZelvanApi::TestConnection(Host, port, "other", error));
    }
    // Restarted at the same address, the server has forgotten the token the client holds: the
    // refused token is replaced by a fresh login without the caller noticing.
    TLocalKestaro restarted(db, "other", port);
    TCounts c;
    EXPECT_TRUE(TZelvanApi::GetRequestsCount(Host, restarted.Port(), "other", 0, c.Pending,
                                             c.Completed, c.Total, c.MaxID, c.NewCount, error))
        << error.toStdString();
    EXPECT_TRUE(TZelvanApi::GetRequestsCount(Host, restarted.Port(), "other", 0, c.Pending,
                                             c.Completed, c.Total, c.MaxID, c.NewCount, error));
}
