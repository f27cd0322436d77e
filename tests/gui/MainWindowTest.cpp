#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>

#include <QAccessible>
#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include "CounterBox.h"
#include "ListView.h"
#include "MessageBoxes.h"
#include "Startup.h"
#include "TempDir.h"
#include "TrayIcon.h"
#include "TrayStatus.h"
#include "WindowTest.h"
#include "uMainZelvan.h"
#include "uSettingsForm.h"

namespace {

// Each test has its own configuration file in a temporary folder, and a tray it decides on.
class MainWindow : public TWindowTest {
protected:
    void WriteIni(const std::string& AText) { std::ofstream(Ini()) << AText; }
    bool IniExists() const { return std::filesystem::exists(Ini()); }
};

QRect Place(const QWidget* AWidget) {
    return AWidget->geometry();
}

}  // namespace

TEST_F(MainWindow, CreationSetsCaptionsAndHidesWhatIsNeverShown) {
    TFrmMainZelvan w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kestaro - أمانة المدير | طلبات الشهادات المدرسية"));
    EXPECT_EQ(w.size(), QSize(1000, 650));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "fixed size";
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.isRightToLeft());
    EXPECT_EQ(w.BtnRefresh->text(), QStringLiteral("تحديث 🔄"));
    EXPECT_EQ(w.BtnSettings->text(), QStringLiteral("إعدادات الاتصال ⚙"));
    EXPECT_EQ(w.BtnComplete->text(), QStringLiteral("✔ تحديد كمنجز (تم الاستخراج)"));
    EXPECT_EQ(w.BtnRevert->text(), QStringLiteral("⏳ إرجاع للانتظار"));
    EXPECT_EQ(w.BtnCopyName->text(), QStringLiteral("📋 نسخ اسم التلميذ"));
    EXPECT_EQ(w.BtnDelete->text(), QStringLiteral("🗑 حذف الطلب"));
    EXPECT_EQ(w.BtnSound->text(), QStringLiteral("الصوت: مفعّل 🔔"));
    EXPECT_EQ(w.LblStatusText->toolTip(), QStringLiteral("جاري الاتصال..."));
    EXPECT_EQ(w.LblCountPending->text(), QStringLiteral("في الانتظار: 0"));
    EXPECT_EQ(w.LblCountCompleted->text(), QStringLiteral("منجزة: 0"));
    EXPECT_EQ(w.LblCountTotal->text(), QStringLiteral("الإجمالي: 0"));
    EXPECT_EQ(w.CurrentFilter(), "pending");
    EXPECT_EQ(w.LastSeenMaxID(), 0);
    EXPECT_TRUE(w.EdtSearch->placeholderText().endsWith(QStringLiteral("بحث سريع عن تلميذ...")));

    w.show();
    EXPECT_TRUE(w.BtnDelete->isHidden());
    EXPECT_FALSE(w.MniCheckNow->isVisible());
    EXPECT_TRUE(w.MniShow->font().bold());
    EXPECT_EQ(w.PopupTray->defaultAction(), w.MniShow);
    ASSERT_EQ(w.PopupTray->actions().size(), 4);
    EXPECT_TRUE(w.PopupTray->actions()[2]->isSeparator());
    EXPECT_EQ(w.MniExit->text(), QStringLiteral("خروج"));
    EXPECT_TRUE(w.TimerPoll->isActive());
    EXPECT_EQ(w.TimerPoll->interval(), 10000);
    EXPECT_FALSE(IniExists()) << "start-up creates nothing on disk";
}

TEST_F(MainWindow, AreasAndControlsStandWhereTheyBelong) {
    TFrmMainZelvan w;
    EXPECT_EQ(Place(w.PnlTop), QRect(0, 0, 1000, 65));
    EXPECT_EQ(Place(w.PnlStats), QRect(0, 65, 1000, 65));
    EXPECT_EQ(Place(w.PnlFilter), QRect(0, 130, 1000, 42));
    EXPECT_EQ(Place(w.LvRequests), QRect(0, 172, 1000, 418));
    EXPECT_EQ(Place(w.PnlBottom), QRect(0, 590, 1000, 60));
    EXPECT_EQ(Place(w.LblAppTitle), QRect(700, 18, 280, 25));
    EXPECT_EQ(Place(w.BtnSound), QRect(250, 16, 130, 34));
    EXPECT_EQ(Place(w.BtnRefresh), QRect(140, 16, 100, 34));
    EXPECT_EQ(Place(w.BtnSettings), QRect(15, 16, 115, 34));
    EXPECT_EQ(Place(w.EdtSearch), QRect(665, 8, 320, 25));
    EXPECT_EQ(Place(w.BtnDelete), QRect(15, 10, 100, 40));
    EXPECT_EQ(w.LblAppTitle->font().pixelSize(), 19);
    EXPECT_TRUE(w.LblAppTitle->font().bold());
    EXPECT_EQ(w.LblCountPending->font().pixelSize(), 17);
    EXPECT_EQ(w.BtnComplete->font().pixelSize(), 14);

    const QStringList headers = {"#",           "اسم ولقب التلميذ", "القسم",  "تاريخ الميلاد",
                                 "تاريخ الطلب", "صاحب الطلب",       "الحالة", "تاريخ الإنجاز",
                                 "ملاحظات"};
    const int widths[] = {55, 190, 90, 100, 135, 100, 90, 125, 95};
    const auto* model = w.LvRequests->model();
    ASSERT_EQ(model->columnCount(), 9);
    int total = 0;
    for (int c = 0; c < 9; ++c) {
        EXPECT_EQ(model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), headers[c]);
        EXPECT_EQ(w.LvRequests->columnWidth(c), widths[c]) << c;
        total += w.LvRequests->columnWidth(c);
    }
    EXPECT_EQ(total, 980) << "no column stretches to fill the rest";
    EXPECT_EQ(w.LvRequests->layoutDirection(), Qt::RightToLeft);
    EXPECT_TRUE(w.LvRequests->testAttribute(Qt::WA_SetLayoutDirection))
        << "its own, not the parent's";
    EXPECT_EQ(w.LvRequests->horizontalHeader()->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(w.LvRequests->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(w.LvRequests->editTriggers(), QAbstractItemView::NoEditTriggers);
}

// Small screens at large scale factors, as school laptops have them: the window with its frame
// fits the work area with its title bar on screen; the list gives way first, and where even that
// is not enough the content scrolls, showing the title, indicator and search box first.
TEST_F(MainWindow, AScreenSmallerThanTheWindowKeepsEveryControlInReach) {
    const QMargins frame(8, 31, 8, 8);
    const struct {
        const char* Screen;
        QRect Area;  // the work area in the toolkit's units
        bool Scrolls;
    } screens[] = {{"1366x768 at 125 %", QRect(0, 0, 1093, 584), false},
                   {"1280x900 at 200 %", QRect(0, 0, 640, 430), true},
                   {"one beside it", QRect(1093, 0, 900, 300), true}};
    for (const auto& screen : screens) {
        SCOPED_TRACE(screen.Screen);
        TFrmMainZelvan w;
        w.show();
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        FitInArea(&w, screen.Area, frame);
        const QRect whole = w.geometry().marginsAdded(frame);
        EXPECT_TRUE(screen.Area.contains(whole)) << "the frame, title bar included, is on screen";
        EXPECT_EQ(whole.top(), screen.Area.top());
        EXPECT_EQ(w.PnlBottom->geometry().bottom(), w.PnlBottom->parentWidget()->height() - 1);
        EXPECT_FALSE(w.LblAppTitle->visibleRegion().isEmpty());
        EXPECT_FALSE(w.EdtSearch->visibleRegion().isEmpty());
        auto* scroll = w.findChild<QScrollArea*>();
        ASSERT_NE(scroll, nullptr);
        EXPECT_EQ(
            scroll->horizontalScrollBar()->maximum() + scroll->verticalScrollBar()->maximum() > 0,
            screen.Scrolls);
        for (QPushButton* control : {w.BtnSettings, w.BtnComplete}) {
            control->setFocus(Qt::TabFocusReason);
            EXPECT_FALSE(control->visibleRegion().isEmpty()) << "the focus brings it in sight";
        }
        if (!screen.Scrolls) {
            EXPECT_EQ(w.LvRequests->height(), w.height() - 172 - 60) << "the list gives way";
        } else {
            const int rows = (w.LvRequests->height() - w.LvRequests->horizontalHeader()->height()) /
                             w.LvRequests->verticalHeader()->defaultSectionSize();
            EXPECT_GE(rows, 3) << "where it scrolls, the list still shows a few rows";
            EXPECT_LE(rows, 5) << "and no more than the screen needs";
        }
    }
}

TEST_F(MainWindow, CounterBoxesSplitTheBarInThirds) {
    TFrmMainZelvan w;
    EXPECT_EQ(Place(w.PnlBoxTotal), QRect(0, 8, 331, 48));
    EXPECT_EQ(Place(w.PnlBoxCompleted), QRect(334, 8, 331, 48));
    EXPECT_EQ(Place(w.PnlBoxPending), QRect(668, 8, 332, 48));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(Place(w.LblCountPending), w.PnlBoxPending->contentsRect())
        << "the label fills its box inside the border";

    w.PnlStats->resize(36, 65);  // W = 30, the smallest that is laid out
    w.LayoutStatBoxes();
    EXPECT_EQ(Place(w.PnlBoxTotal), QRect(0, 8, 10, 48));
    EXPECT_EQ(Place(w.PnlBoxCompleted), QRect(13, 8, 10, 48));
    EXPECT_EQ(Place(w.PnlBoxPending), QRect(26, 8, 10, 48));

    w.PnlStats->resize(35, 65);
    w.PnlBoxPending->setGeometry(500, 8, 77, 48);
    w.LayoutStatBoxes();
    EXPECT_EQ(Place(w.PnlBoxPending), QRect(500, 8, 77, 48)) << "too narrow: nothing moves";

    w.PnlStats->resize(701, 65);  // W = 695, T = 231: the pending box takes the remainder
    w.LayoutStatBoxes();
    EXPECT_EQ(Place(w.PnlBoxCompleted), QRect(234, 8, 231, 48));
    EXPECT_EQ(Place(w.PnlBoxPending), QRect(468, 8, 233, 48));
}

TEST_F(MainWindow, ActionButtonsStayCentredWithAFloorOfTen) {
    TFrmMainZelvan w;
    EXPECT_EQ(w.BtnCopyName->x(), 245);
    EXPECT_EQ(w.BtnRevert->x(), 407);
    EXPECT_EQ(w.BtnComplete->x(), 554);
    const struct {
        int Width;
        int CopyName;
    } cases[] = {{800, 145}, {530, 10}, {529, 10}, {520, 10}, {300, 10}, {0, 10}};
    for (const auto& c : cases) {
        w.PnlBottom->resize(c.Width, 60);
        w.LayoutBottomButtons();
        EXPECT_EQ(w.BtnCopyName->x(), c.CopyName) << c.Width;
        EXPECT_EQ(w.BtnRevert->x(), c.CopyName + 150 + 12) << c.Width;
        EXPECT_EQ(w.BtnComplete->x(), c.CopyName + 150 + 12 + 135 + 12) << c.Width;
        EXPECT_EQ(w.BtnComplete->width(), 200) << "buttons never shrink";
    }
    EXPECT_EQ(w.BtnDelete->x(), 15) << "the hidden button is not placed";
}

TEST_F(MainWindow, ConfigurationSetsIntervalAndSoundButton) {
    const struct {
        const char* Interval;
        int Seconds;
    } cases[] = {{"0", 5},        {"1", 5},
                 {"4", 5},        {"-3", 5},
                 {"5", 5},        {"10", 10},
                 {"$1E", 30},     {"4294968", std::numeric_limits<int>::max() / 1000},
                 {"nonsense", 10}};
    for (const auto& c : cases) {
        WriteIni(std::string("[Options]\nPollInterval=") + c.Interval + "\nSoundEnabled=0\n");
        TFrmMainZelvan w;
        EXPECT_EQ(w.TimerPoll->interval() / 1000, c.Seconds) << c.Interval;
        EXPECT_FALSE(w.SoundEnabled());
        EXPECT_EQ(w.BtnSound->text(), QStringLiteral("الصوت: مكتوم 🔕"));
        EXPECT_TRUE(w.BtnSound->styleSheet().contains("#ff0000"));
    }
}

TEST_F(MainWindow, ClosingHidesToTheTrayWithTheBalloonEveryTime) {
    TFrmMainZelvan w;
    QSignalSpy balloons(w.TrayIcon, &TTrayIcon::BalloonShown);
    for (int i = 0; i < 3; ++i) {
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.close();
        EXPECT_FALSE(w.isVisible());
    }
    ASSERT_EQ(balloons.count(), 3);
    EXPECT_EQ(balloons[0][0].toString(), QStringLiteral("Kestaro - أمانة المدير"));
    EXPECT_EQ(balloons[0][1].toString(),
              QStringLiteral("التطبيق يعمل في الخلفية لمراقبة طلبات الشهادات المدرسية."));
    EXPECT_TRUE(w.TimerPoll->isActive()) << "it keeps watching while hidden";
}

TEST_F(MainWindow, MinimisingHidesWithoutABalloonAndTheTrayBringsItBack) {
    TFrmMainZelvan w;
    QSignalSpy balloons(w.TrayIcon, &TTrayIcon::BalloonShown);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }));
    EXPECT_EQ(balloons.count(), 0);
    EXPECT_FALSE(w.isMinimized());

    w.MniShow->trigger();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isMinimized());
    w.close();
    emit w.TrayIcon->DoubleClicked();
    EXPECT_TRUE(w.isVisible());
}

TEST_F(MainWindow, WithoutATrayTheCloseBoxEndsTheProgram) {
    TTrayIcon::SetAvailableForTesting(false);
    TFrmMainZelvan w;
    QSignalSpy balloons(w.TrayIcon, &TTrayIcon::BalloonShown);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTimer::singleShot(0, &w, &QWidget::close);
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });  // a guard, not a wait
    EXPECT_EQ(QApplication::exec(), 0) << "the application was told to end";
    EXPECT_EQ(balloons.count(), 0);
}

TEST_F(MainWindow, ASingleClickOnTheTrayIconDoesNotShowTheWindow) {
    TFrmMainZelvan w;
    auto* icon = w.TrayIcon->findChild<QSystemTrayIcon*>();
    ASSERT_NE(icon, nullptr);
    emit icon->activated(QSystemTrayIcon::Trigger);
    emit icon->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_FALSE(w.isVisible());
    emit icon->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(w.isVisible());
}

TEST_F(MainWindow, ExitFromTheTrayEndsTheLoopWithoutAsking) {
    TFrmMainZelvan w;
    QSignalSpy balloons(w.TrayIcon, &TTrayIcon::BalloonShown);
    w.show();
    QTimer::singleShot(0, w.MniExit, &QAction::trigger);
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });  // a guard, not a wait
    EXPECT_EQ(QApplication::exec(), 0) << "the application was told to end";
    EXPECT_TRUE(w.isVisible()) << "no close request was made";
    EXPECT_FALSE(w.TimerPoll->isActive());
    EXPECT_EQ(balloons.count(), 0);
    EXPECT_TRUE(FBoxes.Shown.empty());
}

// The settings dialog is open, and the tray menu is opened from the tray icon (a window of its
// own, as the toolkit's tray icon is on X11) and its exit item clicked: the dialog closes with
// nothing saved, and the program ends.
TEST_F(MainWindow, TheTrayMenuWorksWhileTheSettingsDialogIsOpen) {
    TFrmMainZelvan w;
    w.show();
    QPushButton trayIcon("tray");
    QObject::connect(&trayIcon, &QPushButton::clicked, [&] { w.PopupTray->popup({100, 100}); });
    trayIcon.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&trayIcon));
    QWidget* dialog = nullptr;
    QTimer::singleShot(0, [&] {
        dialog = QApplication::activeModalWidget();
        QTest::mouseClick(trayIcon.windowHandle(), Qt::LeftButton);
        ASSERT_TRUE(w.PopupTray->isVisible()) << "the tray icon answers while the dialog is open";
        QTest::mouseClick(w.PopupTray->windowHandle(), Qt::LeftButton, {},
                          w.PopupTray->actionGeometry(w.MniExit).center());
    });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });  // a guard, not a wait
    w.BtnSettingsClick();  // comes back when the dialog is gone
    EXPECT_NE(dialog, nullptr);
    EXPECT_FALSE(w.TimerPoll->isActive()) << "the exit item was reached";
    EXPECT_FALSE(IniExists());
}

TEST_F(MainWindow, TheCounterBoxesAreReachedAndChosenFromTheKeyboard) {
    TFrmMainZelvan w;
    w.show();
    QApplication::setActiveWindow(&w);
    w.BtnSettings->setFocus();
    const struct {
        TCounterBox* Box;
        const char* Filter;
    } boxes[] = {
        {w.PnlBoxPending, "pending"}, {w.PnlBoxCompleted, "completed"}, {w.PnlBoxTotal, "all"}};
    for (const auto& box : boxes) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), box.Box);
        QTest::keyClick(box.Box, Qt::Key_Space);
        EXPECT_EQ(w.CurrentFilter(), box.Filter);
        QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(box.Box);
        EXPECT_EQ(reader->role(), QAccessible::RadioButton);
        EXPECT_EQ(reader->text(QAccessible::Name), box.Box->Label()->text());
        EXPECT_TRUE(reader->state().checked);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.EdtSearch);
}

// Every control that takes the focus tells a screen reader its name.
TEST_F(MainWindow, EveryFocusableControlHasAName) {
    TFrmMainZelvan w;
    TFrmSettings dialog;
    for (QWidget* window : {static_cast<QWidget*>(&w), static_cast<QWidget*>(&dialog)}) {
        for (QWidget* control : window->findChildren<QWidget*>()) {
            if (control->focusPolicy() == Qt::NoFocus || !control->isVisibleTo(window) ||
                control->focusProxy())
                continue;
            QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(reader, nullptr);
            EXPECT_FALSE(reader->text(QAccessible::Name).trimmed().isEmpty())
                << control->metaObject()->className() << " in "
                << window->objectName().toStdString();
        }
    }
}

// However the window is brought up, keys meant for something else (the tray menu) reach the
// list, never an action button that the focus was on when the window was hidden.
TEST_F(MainWindow, BroughtUpAnyWayTheWindowHasTheListFocusedOnTheChosenRequest) {
    TFrmMainZelvan w;
    const std::function<void()> ways[] = {
        [&] { w.MniShow->trigger(); },
        [&] { emit w.TrayIcon->DoubleClicked(); },
    };
    for (const auto& bringUp : ways) {
        w.show();
        w.BtnComplete->setFocus();
        ASSERT_EQ(w.focusWidget(), w.BtnComplete);
        w.close();
        bringUp();
        EXPECT_EQ(w.focusWidget(), w.LvRequests);
    }
}

TEST(TrayIcon, TheToolkitsBalloonKeepsOffTheIcon) {
    const QRect icon(1000, 0, 24, 24);
    const struct {
        QRect Balloon;
        QPoint Expected;
    } cases[] = {
        {{900, 12, 200, 80}, {900, 24}},    // below, its arrow on the icon
        {{900, -70, 200, 80}, {900, -80}},  // above
        {{700, 12, 200, 80}, {700, 12}},    // beside it: stays
        {{1000, 0, 200, 80}, {1000, 24}},   // right over it
    };
    for (const auto& c : cases)
        EXPECT_EQ(TTrayIcon::BalloonApartFromIcon(c.Balloon, icon), c.Expected) << c.Balloon.y();
    EXPECT_EQ(TTrayIcon::BalloonApartFromIcon({1, 2, 3, 4}, QRect()), QPoint(1, 2))
        << "an icon whose place is not known moves nothing";
}

namespace {
bool IsWhite(const QImage& AImage, int AX, int AY) {
    if (!AImage.rect().contains(AX, AY)) return false;
    const QColor c = AImage.pixelColor(AX, AY);
    return c.red() > 200 && c.green() > 200 && c.blue() > 200;
}

// Where the picture has a "+": a white pixel with arms of two pixels each way, the corners of
// the square around it not white. A "-" has no upright arm; a digit 9 has no such crossing.
std::optional<QPoint> PlusIn(const QImage& AImage) {
    for (int y = 0; y < AImage.height(); ++y)
        for (int x = 0; x < AImage.width(); ++x) {
            bool plus = IsWhite(AImage, x, y);
            for (int k = 1; k <= 2 && plus; ++k)
                plus = IsWhite(AImage, x - k, y) && IsWhite(AImage, x + k, y) &&
                       IsWhite(AImage, x, y - k) && IsWhite(AImage, x, y + k);
            for (const QPoint corner : {QPoint(-2, -2), QPoint(2, -2), QPoint(-2, 2), QPoint(2, 2)})
                plus = plus && !IsWhite(AImage, x + corner.x(), y + corner.y());
            if (plus) return QPoint(x, y);
        }
    return std::nullopt;
}
}  // namespace

// At every size the badge's "+" keeps its upright bar with a digit before it; a server that
// cannot be reached is unmistakable: the icon struck through, no red left, the count greyed.
TEST(TrayStatus, TheBadgeReadsAtEverySizeAndALostServerIsUnmistakable) {
    QPixmap blue(64, 64);
    blue.fill(QColor(40, 120, 220));
    for (const int side : {16, 22, 24, 32, 48}) {
        SCOPED_TRACE(side);
        TTrayStatus up;
        up.Pending = 100;
        TTrayStatus down = up;
        down.Reachable = false;
        const QImage reached = up.Icon(QIcon(blue)).pixmap(side, side).toImage();
        const QImage lost = down.Icon(QIcon(blue)).pixmap(side, side).toImage();
        const std::optional<QPoint> plus = PlusIn(reached);
        ASSERT_TRUE(plus.has_value());
        int digit = 0, red = 0, changed = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                if (x < plus->x() - 3 && IsWhite(reached, x, y)) ++digit;
                const QColor before = reached.pixelColor(x, y), after = lost.pixelColor(x, y);
                if (after.saturation() > 60) ++red;
                if (std::abs(before.lightness() - after.lightness()) > 40 ||
                    std::abs(before.saturation() - after.saturation()) > 60)
                    ++changed;
            }
        EXPECT_GE(digit, 4) << "a digit before the plus";
        EXPECT_EQ(red, 0) << "no colour left, the badge's included";
        EXPECT_TRUE(PlusIn(lost).has_value()) << "the count stays readable";
        EXPECT_GT(changed, side * side / 2) << "unlike the icon of a reached server";
        if (const QByteArray folder = qgetenv("KESTARO_TEST_PICTURES"); !folder.isEmpty()) {
            reached.save(QStringLiteral("%1/tray-%2-reached.png").arg(folder).arg(side));
            lost.save(QStringLiteral("%1/tray-%2-lost.png").arg(folder).arg(side));
        }
    }
}

TEST(TrayStatus, TheIconCarriesThePendingCountAndTheTooltipTheState) {
    QPixmap white(32, 32);
    white.fill(Qt::white);
    const QIcon program(white);
    const struct {
        int Pending;
        const char* Badge;
    } cases[] = {{0, ""}, {7, "7"}, {100, "99+"}};
    for (const auto& c : cases) {
        TTrayStatus status;
        status.Pending = c.Pending;
        status.Completed = 4;
        status.Total = c.Pending + 4;
        status.Status = "متصل بالسيرفر";
        EXPECT_EQ(TTrayStatus::BadgeText(c.Pending), c.Badge);
        const QImage icon = status.Icon(program).pixmap(32, 32).toImage();
        const QColor corner = icon.pixelColor(25, 25);
        EXPECT_EQ(corner == Qt::white, c.Pending == 0) << c.Pending << ": a badge, or none for 0";
        EXPECT_EQ(
            status.ToolTip("Kestaro"),
            QStringLiteral("Kestaro\nفي الانتظار: %1 | منجزة: 4 | الإجمالي: %2\nمتصل بالسيرفر")
                .arg(c.Pending)
                .arg(c.Pending + 4));
    }
    // Every count fits inside the icon with a pixel to spare in its corner, at every size, and
    // reads the same whichever way the rest of the program runs.
    QPixmap blue(64, 64);
    blue.fill(Qt::blue);
    for (const Qt::LayoutDirection direction : {Qt::RightToLeft, Qt::LeftToRight}) {
        QApplication::setLayoutDirection(direction);
        for (const int count : {7, 42, 100}) {
            TTrayStatus status;
            status.Pending = count;
            for (const int side : {16, 22, 24, 32, 48, 64}) {
                const QImage icon = status.Icon(QIcon(blue)).pixmap(side, side).toImage();
                QRect badge, text;
                for (int y = 0; y < side; ++y)
                    for (int x = 0; x < side; ++x) {
                        const QColor c = icon.pixelColor(x, y);
                        if (c.red() > 150 && c.blue() < 100) badge |= QRect(x, y, 1, 1);
                        if (c.red() > 200 && c.green() > 200 && c.blue() > 200)
                            text |= QRect(x, y, 1, 1);
                    }
                SCOPED_TRACE(testing::Message() << count << " at " << side << " px");
                EXPECT_TRUE(QRect(1, 1, side - 2, side - 2).contains(badge)) << badge.left();
                EXPECT_GE(std::min(badge.right(), badge.bottom()), side - 3)
                    << "in the corner, a pixel or two from the edges";
                EXPECT_TRUE(badge.contains(text)) << text.left() << " in " << badge.left();
            }
        }
    }
    QApplication::setLayoutDirection(Qt::RightToLeft);

    QPixmap red(32, 32);
    red.fill(Qt::red);
    TTrayStatus lost;
    lost.Reachable = false;
    const QColor grey = lost.Icon(QIcon(red)).pixmap(32, 32).toImage().pixelColor(4, 4);
    EXPECT_EQ(grey.saturation(), 0) << "grey while the server cannot be reached";
}
