#include <gtest/gtest.h>

#include <fstream>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTest>

#include "Alerts.h"
#include "CachedTextDelegate.h"
#include "CounterBox.h"
#include "ListView.h"
#include "LocalKestaro.h"
#include "MessageBoxes.h"
#include "RequestListModel.h"
#include "SampleRequests.h"
#include "ScriptedServer.h"
#include "TempDir.h"
#include "TrayIcon.h"
#include "WindowTest.h"
#include "uMainZelvan.h"
#include "uSettingsForm.h"

namespace {

using TReply = TScriptedServer::TReply;

const char* const ListReply = R"([
  {"id":12,"student_name":"Ali Ben","class_name":"3 متوسط 1","requester":"الأب","status":"pending",
   "birth_date":"2011-05-05","notes":"urgent"},
  {"id":112,"student_name":"سارة","class_name":"2AM","requester":"Mère","status":"completed"},
  {"id":120,"student_name":"Émile","class_name":"1AM","requester":"الولي","status":"Completed"},
  {"id":7,"student_name":"100% \"Nour\" %1","class_name":"4AM","requester":"Tuteur","status":""}
])";

class RequestList : public TWindowTest {
protected:
    // The first cycle, then every request under the "all" box.
    static void ShowAll(TFrmMainZelvan& AWindow) {
        WaitForCycle(AWindow);
        AWindow.PnlBoxTotalClick();
        WaitForCycle(AWindow);
    }
    static QStringList Column(const TFrmMainZelvan& AWindow, int AColumn) {
        const auto* model = AWindow.LvRequests->model();
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, AColumn).data().toString();
        return texts;
    }
    static QStringList SelectedIds(const TFrmMainZelvan& AWindow) {
        QStringList ids;
        for (const QModelIndex& index : AWindow.LvRequests->selectionModel()->selectedRows())
            ids << index.data().toString();
        return ids;
    }
};

// A server with the list above, and status changes and deletions answered as the test says.
class TListServer {
public:
    TListServer() {
        FServer.Route("/api/login", [](const auto&) { return TReply(200, R"({"token":"t"})"); });
        FServer.Route("/api/certificates/requests/count", [](const auto&) {
            return TReply(200, R"({"pending":2,"completed":2,"total":4,"max_id":120})");
        });
        FServer.Route("/api/certificates/requests",
                      [](const auto&) { return TReply(200, ListReply); });
    }
    TScriptedServer FServer;
};

}  // namespace

TEST_F(RequestList, SearchLooksInNameClassRequesterAndIdOnly) {
    TListServer server;
    PointAt(server.FServer.Port());
    TFrmMainZelvan w;
    WaitForCycle(w);
    ASSERT_EQ(Column(w, 0), QStringList({"12", "112", "120", "7"}));

    const struct {
        const char* Search;
        QStringList Ids;
    } cases[] = {
        {"", {"12", "112", "120", "7"}},
        {" \t ", {"12", "112", "120", "7"}},
        {"  ALI  ", {"12"}},  // capitals find small letters; outer blanks are dropped
        {"i b", {"12"}},      // inner blanks must match
        {"li  b", {}},
        {"12", {"12", "112", "120"}},  // a substring of the decimal id
        {"am", {"112", "120", "7"}},   // the class, lower-cased
        {"mère", {"112"}},             // the requester
        {"MÈRE", {}},                  // only A to Z are lowered
        {"É", {"120"}},
        {"é", {}},
        {"متوسط", {"12"}},
        {"urgent", {}},  // notes, dates and the status word are not searched
        {"2011", {}},
        {"منجزة", {}},
        {"100% \"nour\" %1", {"7"}},
        {"1", {"12", "112", "120", "7"}},  // twice in a record: still one row
        {"ben3", {}},                      // across the end of one field and the next
        {"12ali", {}},
        {"الأب112", {}},  // across the end of one record and the next
    };
    for (const auto& c : cases) {
        w.EdtSearch->setText(QString::fromUtf8(c.Search));
        EXPECT_EQ(Column(w, 0), c.Ids) << c.Search;
    }
    EXPECT_EQ(server.FServer.CountRequests("/api/certificates/requests"), 1)
        << "typing never asks the server";
}

TEST_F(RequestList, StatusWordAndRowColours) {
    TListServer server;
    PointAt(server.FServer.Port());
    TFrmMainZelvan w;
    ShowAll(w);
    EXPECT_EQ(Column(w, 6), QStringList({"في الانتظار", "منجزة", "في الانتظار", "في الانتظار"}))
        << "only exactly \"completed\" is done";
    const auto* model = w.LvRequests->model();
    const QColor red(208, 27, 27);
    for (int column : {0, 1, 6}) {
        EXPECT_EQ(model->index(0, column).data(Qt::ForegroundRole).value<QColor>(), red);
        EXPECT_FALSE(model->index(1, column).data(Qt::ForegroundRole).isValid());
        EXPECT_EQ(model->index(2, column).data(Qt::ForegroundRole).value<QColor>(), red);
    }
}

// The status cell as painted: a flag for pending requests, a tick for completed ones. The rows are
// selected, so that the only red or green in the cell is the picture's.
TEST_F(RequestList, PendingRowsShowTheFlagAndCompletedRowsTheTick) {
    TListServer server;
    PointAt(server.FServer.Port());
    TFrmMainZelvan w;
    ShowAll(w);
    w.show();
    const auto pixels = [&](int ARow) {
        Select(w, ARow);
        const QRect cell = w.LvRequests->visualRect(w.LvRequests->model()->index(ARow, 6));
        const QImage image = w.LvRequests->viewport()->grab(cell).toImage();
        int red = 0, green = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                red += c.red() > 150 && c.green() < 90 && c.blue() < 90;
                green += c.green() > 120 && c.green() > c.red() + 50 && c.green() > c.blue() + 20;
            }
        return std::pair(red, green);
    };
    const auto [pendingRed, pendingGreen] = pixels(0);
    const auto [completedRed, completedGreen] = pixels(1);
    EXPECT_GT(pendingRed, 5);
    EXPECT_EQ(pendingGreen, 0);
    EXPECT_GT(completedGreen, 5);
    EXPECT_EQ(completedRed, 0);
}

TEST(CachedTextDelegate, ATextIsElidedForTheWidthItIsPaintedAt) {
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), QString(60, u'ش'));
    TCachedTextDelegate delegate;
    QImage image(400, 24, QImage::Format_RGB32);
    image.fill(Qt::white);
    QStyleOptionViewItem option;
    option.font = QApplication::font();
    option.fontMetrics = QFontMetrics(option.font);
    option.palette.setColor(QPalette::Text, Qt::black);
    QPainter painter(&image);
    for (const QRect& cell : {QRect(0, 0, 400, 24), QRect(300, 0, 60, 24)}) {
        image.fill(Qt::white);
        option.rect = cell;
        delegate.paint(&painter, option, model.index(0, 0));
    }
    painter.end();
    for (int x = 0; x < 300; ++x)
        for (int y = 0; y < image.height(); ++y)
            ASSERT_EQ(image.pixelColor(x, y), QColor(Qt::white)) << "ink left of the cell at " << x;
}

TEST_F(RequestList, BoxesShowTheFilterAndALabelClickIsABoxClick) {
    TListServer server;
    PointAt(server.FServer.Port());
    TFrmMainZelvan w;
    WaitForCycle(w);
    const struct {
        QLabel* Label;
        const char* Filter;
        const TCounterBox* Framed;
        QColor Pending, Completed, Total;
    } cases[] = {
        {w.LblCountCompleted,
         "completed",
         w.PnlBoxCompleted,
         {255, 245, 233},
         {196, 239, 208},
         {245, 245, 245}},
        {w.LblCountTotal, "all", w.PnlBoxTotal, {255, 245, 233}, {220, 255, 227}, {226, 226, 226}},
        {w.LblCountPending,
         "pending",
         w.PnlBoxPending,
         {255, 239, 216},
         {220, 255, 227},
         {245, 245, 245}},
    };
    int fetches = server.FServer.CountRequests("/api/certificates/requests");
    for (const auto& c : cases) {
        QTest::mouseClick(c.Label, Qt::LeftButton);
        WaitForCycle(w);
        EXPECT_EQ(w.CurrentFilter(), c.Filter);
        EXPECT_EQ(server.FServer.CountRequests("/api/certificates/requests"), ++fetches);
        for (const TCounterBox* box : {w.PnlBoxPending, w.PnlBoxCompleted, w.PnlBoxTotal})
            EXPECT_EQ(box->frameShape() == QFrame::Box, box == c.Framed) << c.Filter;
        EXPECT_EQ(w.PnlBoxPending->palette().color(QPalette::Window), c.Pending) << c.Filter;
        EXPECT_EQ(w.PnlBoxCompleted->palette().color(QPalette::Window), c.Completed) << c.Filter;
        EXPECT_EQ(w.PnlBoxTotal->palette().color(QPalette::Window), c.Total) << c.Filter;
    }
}

TEST_F(RequestList, ActionsWithoutASelectionOnlyAskForOne) {
    TListServer server;
    PointAt(server.FServer.Port());
    TFrmMainZelvan w;
    WaitForCycle(w);
    QGuiApplication::clipboard()->setText("before");
    w.BtnComplete->click();
    w.BtnRevert->click();
    w.BtnDeleteClick();
    w.BtnCopyName->click();
    QTest::mouseDClick(w.LvRequests->viewport(), Qt::LeftButton, {}, QPoint(5, 300));
    const QString request = QStringLiteral("يرجى تحديد طلب من القائمة أولاً.");
    const QString pupil = QStringLiteral("يرجى تحديد تلميذ من القائمة أولاً.");
    ASSERT_EQ(FBoxes.Shown.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(FBoxes.Shown[i].Text, i < 3 ? request : pupil) << i;
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
    EXPECT_EQ(server.FServer.CountRequests("/api/certificates/requests/update-status"), 0);
}

TEST_F(RequestList, CopyNameAndDeleteUseTheNameUnchanged) {
    TListServer server;
    server.FServer.Route("/api/certificates/requests/delete", [](const auto&) {
        return TReply(200, R"({"success":false,"error":"مرفوض"})");
    });
    PointAt(server.FServer.Port());
    TFrmMainZelvan w;
    WaitForCycle(w);
    w.EdtSearch->setText("nour");
    Select(w, 0);
    const QString name = QStringLiteral("100% \"Nour\" %1");

    w.BtnCopyName->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), name);
    ASSERT_EQ(FBoxes.Shown.size(), 1u);
    EXPECT_EQ(FBoxes.Shown[0].Text, QStringLiteral("تم نسخ اسم التلميذ بنجاح:\r\n«") + name + "»");

    w.BtnDeleteClick();  // answered No
    ASSERT_EQ(FBoxes.Shown.size(), 2u);
    EXPECT_EQ(FBoxes.Shown[1].Kind, TMessageBoxes::TKind::Question);
    EXPECT_EQ(FBoxes.Shown[1].Text,
              QStringLiteral("هل أنت متأكد من حذف طلب التلميذ \"") + name + "\" نهائياً؟");
    EXPECT_EQ(server.FServer.CountRequests("/api/certificates/requests/delete"), 0);

    FBoxes.Answers.push_back(true);
    w.BtnDeleteClick();
    WaitForCycle(w);
    ASSERT_EQ(FBoxes.Shown.size(), 4u);
    EXPECT_EQ(FBoxes.Shown[3].Text,
              QStringLiteral("فشل حذف الطلب: مرفوض\nالتلميذ: «") + name + u'»');
    EXPECT_EQ(server.FServer.Requests().back().Body, R"({"id":7})");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(RequestList, CompletingAndRevertingAgainstKestaroServer) {
    TTempDir data;
    TLocalKestaro server(data.File("k.db"));
    server.Store().CreateMany(TSampleRequests(11).History(30));
    PointAt(server.Port());
    TFrmMainZelvan w;
    WaitForCycle(w);
    const auto before = server.Store().Counts(0);
    ASSERT_EQ(w.LvRequests->model()->rowCount(), before.Pending);

    // Under "pending" the completed request leaves the list, and no row is selected.
    Select(w, 1);
    const QString first = SelectedIds(w).value(0);
    w.BtnComplete->click();
    EXPECT_NE(QApplication::overrideCursor(), nullptr) << "busy until the poll is shown";
    WaitForCycle(w);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(Column(w, 0).contains(first));
    EXPECT_TRUE(SelectedIds(w).isEmpty());
    EXPECT_EQ(w.LblCountPending->text(), QStringLiteral("في الانتظار: %1").arg(before.Pending - 1));
    EXPECT_EQ(w.LblCountCompleted->text(), QStringLiteral("منجزة: %1").arg(before.Completed + 1));

    // Under "all" the row stays selected and changes its status word, both ways.
    w.PnlBoxTotalClick();
    WaitForCycle(w);
    const int row = int(Column(w, 6).indexOf(QStringLiteral("في الانتظار")));
    ASSERT_GE(row, 0);
    Select(w, row);
    const QString id = SelectedIds(w).value(0);
    for (const char* word : {"منجزة", "في الانتظار"}) {
        (QString::fromUtf8(word) == QStringLiteral("منجزة") ? w.BtnComplete : w.BtnRevert)->click();
        WaitForCycle(w);
        EXPECT_EQ(SelectedIds(w), QStringList{id});
        EXPECT_EQ(Column(w, 6)[Column(w, 0).indexOf(id)], QString::fromUtf8(word));
    }
    EXPECT_TRUE(FBoxes.Shown.empty());
}

TEST_F(RequestList, ARefusedChangeShowsThePrefixAndTheServersReason) {
    TListServer server;
    server.FServer.Route("/api/certificates/requests/update-status",
                         [](const auto&) { return TReply(200, R"({"success":false})"); });
    PointAt(server.FServer.Port());
    TFrmMainZelvan w;
    WaitForCycle(w);
    Select(w, 1);
    const int polls = server.FServer.CountRequests("/api/certificates/requests/count");
    w.BtnRevert->click();
    WaitForCycle(w);
    ASSERT_EQ(FBoxes.Shown.size(), 1u);
    EXPECT_TRUE(FBoxes.Shown[0].Text.startsWith(QStringLiteral("فشل تحديث الطلب: \nالتلميذ: «")));
    EXPECT_EQ(server.FServer.Requests().back().Body,
              R"({"id":112,"status":"pending","completed_by":"أمانة المدير"})");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(SelectedIds(w), QStringList{"112"}) << "the list keeps its rows and selection";
    EXPECT_EQ(server.FServer.CountRequests("/api/certificates/requests/count"), polls)
        << "no poll after a failure";
}

TEST(RequestListModel, TypingOnGivesTheSameRowsAsSearchingAfresh) {
    TCertRequestList records(500);
    for (int i = 0; i < 500; ++i) {
        records[std::size_t(i)].ID = i * 7;
        records[std::size_t(i)].StudentName = QStringLiteral("Pupil %1 سارة").arg(i % 37);
    }
    const auto rows = [](const TRequestListModel& AModel) {
        QStringList ids;
        for (int row = 0; row < AModel.rowCount(); ++row)
            ids << QString::number(AModel.Request(row).ID);
        return ids;
    };
    TRequestListModel typed;
    TRequestListModel::TRebuild(typed).SetRequests(records);
    for (const char* search :
         {"", "1", "12", "123", "2", "pupil 3", "pupil 33", "سا", "سارة", ""}) {
        TRequestListModel::TRebuild(typed).ApplySearch(QString::fromUtf8(search));
        TRequestListModel fresh;
        {
            TRequestListModel::TRebuild rebuild(fresh);
            rebuild.SetRequests(records);
            rebuild.ApplySearch(QString::fromUtf8(search));
        }
        EXPECT_EQ(rows(typed), rows(fresh)) << search;
    }
}
