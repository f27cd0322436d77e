#include "uMainZelvan.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include <QAction>
#include <QApplication>
#include <QBitmap>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QRawFont>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTimer>

#include "Alerts.h"
#include "BusyCursor.h"
#include "CachedTextDelegate.h"
#include "CounterBox.h"
#include "HttpTransport.h"
#include "IniFile.h"
#include "ListView.h"
#include "MessageBoxes.h"
#include "PollCycle.h"
#include "RequestListModel.h"
#include "ServerWorker.h"
#include "Shape.h"
#include "ShownToolTip.h"
#include "Startup.h"
#include "StatusCellDelegate.h"
#include "StyleSwitch.h"
#include "TextRules.h"
#include "TrayIcon.h"
#include "TrayStatus.h"
#include "WindowColours.h"
#include "ZelvanConfig.h"
#include "uSettingsForm.h"

namespace {

constexpr int ClientWidth = 1000;
constexpr int ClientHeight = 650;
constexpr int MinimumClientHeight = 172 + 120 + 60;  // the bars and a few rows of the list
constexpr int ButtonGap = 12;
constexpr int MinimumPollSeconds = 5;

QFont FontOf(const QWidget* AWidget, int APixels, bool ABold) {
    QFont font = AWidget->font();
    font.setPixelSize(APixels);
    font.setBold(ABold);
    return font;
}

QLabel* Label(QWidget* AParent, const QString& AText, int APixels, bool ABold, QRect AGeometry) {
    auto* label = new QLabel(AText, AParent);
    label->setFont(FontOf(AParent, APixels, ABold));
    label->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    label->setGeometry(AGeometry);
    return label;
}

QPushButton* Button(QWidget* AParent, const QString& AText, QRect AGeometry) {
    auto* button = new QPushButton(AText, AParent);
    button->setGeometry(AGeometry);
    return button;
}

void SetTextColour(QPushButton* AButton, const QColor& AColour) {
    // A style sheet rather than the palette, so that the visual styles keep the colour.
    AButton->setStyleSheet(QStringLiteral("color: %1;").arg(AColour.name()));
}

// The search hint begins with a magnifier from the private-use area of icon fonts. Where the
// font has no picture for it, the hint goes without rather than showing an empty box. Only the
// font itself is asked: QFontMetrics would go through the system's fallback fonts, whose lookup
// crashes under wine, and a private-use code means another picture in another font anyway.
QString SearchHint(const QFont& AFont) {
    const QString text = QStringLiteral("بحث سريع عن تلميذ...");
    constexpr char32_t magnifier = 0xF50D;
    if (!QRawFont::fromFont(AFont).supportsCharacter(magnifier)) return text;
    return QString(QChar(magnifier)) + u' ' + text;
}

const QString AlertTitle = QStringLiteral("📜 طلب شهادة مدرسية جديد!");
const QString AlertText = QStringLiteral("ورد %1 طلب جديد في قائمة الانتظار بأمانة المدير.");

const QString MsgSelectRequest = QStringLiteral("يرجى تحديد طلب من القائمة أولاً.");

const QString TrayBalloonTitle = QStringLiteral("Kestaro - أمانة المدير");
const QString TrayBalloonText =
    QStringLiteral("التطبيق يعمل في الخلفية لمراقبة طلبات الشهادات المدرسية.");

}  // namespace

TFrmMainZelvan::TFrmMainZelvan(QWidget* AParent)
    : QWidget(AParent), FChangeSender(new TChangeSender(this)) {
    BuildLayout();
    FormCreate();
}

TFrmMainZelvan::~TFrmMainZelvan() {
    TimerPoll->stop();
    // Calls off what still waits on the server, so the program ends promptly even then.
    delete FChangeSender;
    delete FPollCycle;
    delete PopupTray;
}

// ---- layout ----

void TFrmMainZelvan::BuildLayout() {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setObjectName(QStringLiteral("FrmMainZelvan"));
    setWindowTitle(QStringLiteral("Kestaro - أمانة المدير | طلبات الشهادات المدرسية"));
    setLayoutDirection(Qt::RightToLeft);
    setFixedSize(ClientWidth, ClientHeight);
    setFont(FontOf(this, 13, false));
    BuildClientArea();

    BuildTopBar();
    BuildCounterBar();
    BuildSearchBarAndList();
    BuildActionBar();
    BuildTray();
    DockAreas();
    ApplyColours();
    connect(&TStyleSwitch::Signals(), &TStyleSignals::Switched, this,
            &TFrmMainZelvan::ApplyColours);
    connect(BtnSound, &QPushButton::clicked, this, &TFrmMainZelvan::BtnSoundClick);
    connect(BtnRefresh, &QPushButton::clicked, this, &TFrmMainZelvan::BtnRefreshClick);
    connect(BtnSettings, &QPushButton::clicked, this, &TFrmMainZelvan::BtnSettingsClick);
    connect(PnlBoxPending, &TCounterBox::Clicked, this, &TFrmMainZelvan::PnlBoxPendingClick);
    connect(PnlBoxCompleted, &TCounterBox::Clicked, this, &TFrmMainZelvan::PnlBoxCompletedClick);
    connect(PnlBoxTotal, &TCounterBox::Clicked, this, &TFrmMainZelvan::PnlBoxTotalClick);
    connect(EdtSearch, &QLineEdit::textChanged, this, &TFrmMainZelvan::EdtSearchChange);
    connect(LvRequests, &TListView::DoubleClicked, this, &TFrmMainZelvan::LvRequestsDblClick);
    connect(BtnComplete, &QPushButton::clicked, this, &TFrmMainZelvan::BtnCompleteClick);
    connect(BtnRevert, &QPushButton::clicked, this, &TFrmMainZelvan::BtnRevertClick);
    connect(BtnCopyName, &QPushButton::clicked, this, &TFrmMainZelvan::BtnCopyNameClick);
    connect(BtnDelete, &QPushButton::clicked, this, &TFrmMainZelvan::BtnDeleteClick);
    BuildKeyboardAndNames();
    setTabOrder(BtnSound, BtnRefresh);
    setTabOrder(BtnRefresh, BtnSettings);
    setTabOrder(BtnSettings, PnlBoxPending);
    setTabOrder(PnlBoxPending, PnlBoxCompleted);
    setTabOrder(PnlBoxCompleted, PnlBoxTotal);
    setTabOrder(PnlBoxTotal, EdtSearch);
    setTabOrder(EdtSearch, LvRequests);
    setTabOrder(LvRequests, BtnComplete);
    setTabOrder(BtnComplete, BtnRevert);
    setTabOrder(BtnRevert, BtnCopyName);
    setTabOrder(BtnCopyName, BtnDelete);
}

// What a person who works from the keyboard or with a screen reader expects: Enter presses the
// focused button, F5 refreshes, Ctrl+F goes to the search and Esc there clears it, and every
// control that takes the focus tells its name.
void TFrmMainZelvan::BuildKeyboardAndNames() {
    for (QPushButton* button :
         {BtnSound, BtnRefresh, BtnSettings, BtnComplete, BtnRevert, BtnCopyName, BtnDelete})
        button->setAutoDefault(true);
    auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(refresh, &QShortcut::activated, this, &TFrmMainZelvan::BtnRefreshClick);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        EdtSearch->setFocus(Qt::ShortcutFocusReason);
        EdtSearch->selectAll();
    });
    auto* clear = new QShortcut(QKeySequence(Qt::Key_Escape), EdtSearch);
    clear->setContext(Qt::WidgetShortcut);
    connect(clear, &QShortcut::activated, EdtSearch, &QLineEdit::clear);
    EdtSearch->setAccessibleName(QStringLiteral("بحث سريع عن تلميذ"));
    LvRequests->setAccessibleName(QStringLiteral("طلبات الشهادات"));
}

void TFrmMainZelvan::BuildTopBar() {
    PnlTop = new QWidget(FClient);
    LblAppTitle =
        Label(PnlTop, QStringLiteral("طلبات الشهادات المدرسية"), 19, true, {700, 18, 280, 25});
    ShapeStatus = new TShape(PnlTop, TWindowColours::Current().IdleCircle);
    ShapeStatus->setGeometry(675, 27, 14, 14);
    LblStatusText = Label(PnlTop, FStatusText, 13, true, {550, 25, 115, 17});
    BtnSound = Button(PnlTop, QStringLiteral("تنبيه الصوت"), {250, 16, 130, 34});
    BtnRefresh = Button(PnlTop, QStringLiteral("تحديث"), {140, 16, 100, 34});
    BtnSettings = Button(PnlTop, QStringLiteral("إعدادات الاتصال"), {15, 16, 115, 34});
}

void TFrmMainZelvan::BuildCounterBar() {
    PnlStats = new QWidget(FClient);
    PnlBoxPending = new TCounterBox(PnlStats, QStringLiteral("في الانتظار: 0"));
    PnlBoxCompleted = new TCounterBox(PnlStats, QStringLiteral("منجزة: 0"));
    PnlBoxTotal = new TCounterBox(PnlStats, QStringLiteral("الإجمالي: 0"));
    PnlBoxPending->setGeometry(668, 8, 332, 48);
    PnlBoxCompleted->setGeometry(334, 8, 331, 48);
    PnlBoxTotal->setGeometry(0, 8, 331, 48);
    LblCountPending = PnlBoxPending->Label();
    LblCountCompleted = PnlBoxCompleted->Label();
    LblCountTotal = PnlBoxTotal->Label();
}

void TFrmMainZelvan::BuildSearchBarAndList() {
    PnlFilter = new QWidget(FClient);
    EdtSearch = new QLineEdit(PnlFilter);
    EdtSearch->setGeometry(665, 8, 320, 25);
    EdtSearch->setPlaceholderText(SearchHint(EdtSearch->font()));

    LvRequests = new TListView(FClient);
    LvRequests->setFont(FontOf(this, 13, false));
    FRequestModel = new TRequestListModel(LvRequests);
    LvRequests->setModel(FRequestModel);
    for (int column = 0; column < TRequestListModel::ColumnCount; ++column)
        LvRequests->setColumnWidth(column, TRequestListModel::Width(column));
    LvRequests->setItemDelegate(new TCachedTextDelegate(LvRequests));
    LvRequests->setItemDelegateForColumn(TRequestListModel::ColStatus,
                                         new TStatusCellDelegate(FImgListStatus, LvRequests));
}

void TFrmMainZelvan::BuildActionBar() {
    PnlBottom = new QWidget(FClient);
    BtnComplete =
        Button(PnlBottom, QStringLiteral("تحديد كمنجز (تم الاستخراج)"), {554, 10, 200, 40});
    BtnComplete->setFont(FontOf(this, 14, true));
    BtnRevert = Button(PnlBottom, QStringLiteral("إرجاع للانتظار"), {407, 10, 135, 40});
    BtnCopyName = Button(PnlBottom, QStringLiteral("نسخ اسم التلميذ"), {245, 10, 150, 40});
    BtnDelete = Button(PnlBottom, QStringLiteral("حذف الطلب"), {15, 10, 100, 40});
    BtnDelete->hide();
}

void TFrmMainZelvan::BuildTray() {
    TimerPoll = new QTimer(this);
    TimerPoll->setInterval(10 * 1000);
    connect(TimerPoll, &QTimer::timeout, this, &TFrmMainZelvan::TimerPollTimer);

    // Not a child of the window: a box or the dialog, modal to the window, leaves it usable.
    PopupTray = new QMenu;
    PopupTray->setLayoutDirection(Qt::RightToLeft);
    MniShow = PopupTray->addAction(QStringLiteral("عرض النافذة"));
    QFont bold = MniShow->font();
    bold.setBold(true);
    MniShow->setFont(bold);
    PopupTray->setDefaultAction(MniShow);
    MniCheckNow = PopupTray->addAction(QStringLiteral("فحص فوري للطلبات"));
    MniCheckNow->setVisible(false);
    N1 = PopupTray->addSeparator();
    MniExit = PopupTray->addAction(QStringLiteral("خروج"));
    connect(MniShow, &QAction::triggered, this, &TFrmMainZelvan::MniShowClick);
    connect(MniCheckNow, &QAction::triggered, this, &TFrmMainZelvan::MniCheckNowClick);
    connect(MniExit, &QAction::triggered, this, &TFrmMainZelvan::MniExitClick);

    TrayIcon = new TTrayIcon(this);
    TrayIcon->SetToolTip(TMessageBoxes::ApplicationTitle());
    TrayIcon->SetMenu(PopupTray);
    connect(TrayIcon, &TTrayIcon::DoubleClicked, this, &TFrmMainZelvan::TrayIconDblClick);
}

// The window's content lies on a client area that scrolls where a screen is too small even for
// the window with its list made short: every control stays within reach. Right to left, the
// title, the indicator and the search box are what shows first.
void TFrmMainZelvan::BuildClientArea() {
    FScroll = new QScrollArea(this);
    FScroll->setFrameShape(QFrame::NoFrame);
    FScroll->setFocusPolicy(Qt::NoFocus);
    FScroll->setWidgetResizable(false);
    FClient = new QWidget;
    FClient->resize(ClientWidth, ClientHeight);
    FScroll->setWidget(FClient);
    FScroll->setGeometry(rect());
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* ANow) {
        if (ANow && FClient->isAncestorOf(ANow)) ScrollToControl(ANow);
    });
}

// The toolkit's own way to this gets the horizontal direction wrong right to left, where the
// scroll bar's zero shows the client area's right edge.
void TFrmMainZelvan::ScrollToControl(QWidget* AControl) {
    const QRect place(AControl->mapTo(FClient, QPoint()), AControl->size());
    const QSize view = FScroll->viewport()->size();
    QScrollBar* across = FScroll->horizontalScrollBar();
    QScrollBar* down = FScroll->verticalScrollBar();
    const int shownX = across->maximum() - across->value();
    // A control wider than the view shows its right-hand edge, where right-to-left text begins.
    if (place.left() < shownX && place.width() <= view.width())
        across->setValue(across->maximum() - place.left());
    else if (place.right() >= shownX + view.width() || place.width() > view.width())
        across->setValue(across->maximum() - (place.right() + 1 - view.width()));
    if (place.top() < down->value())
        down->setValue(place.top());
    else if (place.bottom() >= down->value() + view.height())
        down->setValue(place.bottom() + 1 - view.height());
}

// The client area keeps the layout's width (the window is never wider) and the window's height,
// but never less than the bars and a few rows of the list; beyond that it scrolls. A scroll bar
// across takes its height from what the list can have.
void TFrmMainZelvan::SizeClientArea() {
    FScroll->setGeometry(rect());
    const int across = width() < ClientWidth ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0;
    FClient->resize(ClientWidth, std::max(height() - across, MinimumClientHeight));
}

// The areas are docked: three bars at the top, the action bar at the bottom, the list between.
void TFrmMainZelvan::DockAreas() {
    const int w = FClient->width();
    const int h = FClient->height();
    PnlTop->setGeometry(0, 0, w, 65);
    PnlStats->setGeometry(0, 65, w, 65);
    PnlFilter->setGeometry(0, 130, w, 42);
    PnlBottom->setGeometry(0, h - 60, w, 60);
    LvRequests->setGeometry(0, 172, w, std::max(0, h - 60 - 172));
}

void TFrmMainZelvan::LayoutStatBoxes() {
    const int w = PnlStats->contentsRect().width() - 6;
    if (w < 30) return;
    const int third = w / 3;
    PnlBoxTotal->setGeometry(0, PnlBoxTotal->y(), third, PnlBoxTotal->height());
    PnlBoxCompleted->setGeometry(third + 3, PnlBoxCompleted->y(), third, PnlBoxCompleted->height());
    PnlBoxPending->setGeometry(2 * third + 6, PnlBoxPending->y(), w - 2 * third,
                               PnlBoxPending->height());
}

void TFrmMainZelvan::LayoutBottomButtons() {
    const int group =
        BtnCopyName->width() + ButtonGap + BtnRevert->width() + ButtonGap + BtnComplete->width();
    const int left = std::max(10, (PnlBottom->contentsRect().width() - group) / 2);
    BtnCopyName->move(left, BtnCopyName->y());
    BtnRevert->move(left + BtnCopyName->width() + ButtonGap, BtnRevert->y());
    BtnComplete->move(BtnRevert->x() + BtnRevert->width() + ButtonGap, BtnComplete->y());
}

void TFrmMainZelvan::resizeEvent(QResizeEvent* AEvent) {
    QWidget::resizeEvent(AEvent);
    SizeClientArea();
    DockAreas();
    LayoutStatBoxes();
    LayoutBottomButtons();
}

// ---- creation ----

void TFrmMainZelvan::FormCreate() {
    FPollCycle = new TPollCycle(this);
    connect(FPollCycle, &TPollCycle::CountsArrived, this, &TFrmMainZelvan::PollCountsArrived);
    connect(FPollCycle, &TPollCycle::ListArrived, this, &TFrmMainZelvan::PollListArrived);
    connect(FPollCycle, &TPollCycle::Raised, this, &TFrmMainZelvan::PollRaised);
    connect(FChangeSender, &TChangeSender::Answered, this, &TFrmMainZelvan::ChangeAnswered);
    connect(FChangeSender, &TChangeSender::Settled, this, &TFrmMainZelvan::ChangesSettled);
    connect(TrayIcon, &TTrayIcon::BalloonClicked, this, &TFrmMainZelvan::TrayBalloonClick);
    FCurrentFilter = QStringLiteral("pending");
    FLastSeenMaxID = 0;
    FIsPolling = false;
    LoadIcons();
    TrayIcon->Show();
    // An error in any later step is shown, and the steps after it do not run.
    RunGuarded(this, [this] {
        ReloadConfig();
        UpdateSoundButton();
        SetRunTimeCaptions();
        BtnDelete->hide();
        MniCheckNow->setVisible(false);
        UpdateFilterBoxes();
        LayoutStatBoxes();
        LayoutBottomButtons();
        CreateStatusImages();
        PollServer(true);
        TimerPoll->start();
    });
    QTimer::singleShot(0, this, &TFrmMainZelvan::ShowChangesLeftAtLastEnd);
}

void TFrmMainZelvan::LoadIcons() {
    QIcon icon;
    for (const int size : {24, 30, 36, 48})
        icon.addFile(QStringLiteral(":/icons/MAINICON-%1.png").arg(size), QSize(size, size));
    if (!icon.isNull()) {  // otherwise the window keeps the icons it has
        setWindowIcon(icon);
        QApplication::setWindowIcon(icon);
        FProgramIcon = icon;
        FTrayIconLook.clear();
    }
    UpdateTray();
}

void TFrmMainZelvan::SetRunTimeCaptions() {
    BtnRefresh->setText(QStringLiteral("تحديث 🔄"));
    BtnSettings->setText(QStringLiteral("إعدادات الاتصال ⚙"));
    BtnComplete->setText(QStringLiteral("✔ تحديد كمنجز (تم الاستخراج)"));
    BtnRevert->setText(QStringLiteral("⏳ إرجاع للانتظار"));
    BtnCopyName->setText(QStringLiteral("📋 نسخ اسم التلميذ"));
    BtnDelete->setText(QStringLiteral("🗑 حذف الطلب"));
}

void TFrmMainZelvan::ReloadConfig() {
    QString style;
    TFrmSettings::LoadConfig(FServerHost, FServerPort, FPollInterval, FSoundEnabled, style,
                             FServerPassword);
    if (const QString problem = TFrmSettings::ConfigFileProblem(); !problem.isEmpty())
        TMessageBoxes::ShowMessage(this, problem);
    THttpTransport::SetCaFile(TrustedAuthorityFile(TFrmSettings::GetIniPath()).toStdString());
    FReminder.SetInterval(LoadZelvanConfig(TFrmSettings::GetIniPath()).ReminderMinutes);
    FPollInterval = std::max(FPollInterval, MinimumPollSeconds);
    // Seconds beyond what the timer can count in milliseconds wait as long as it can.
    const int milliseconds = static_cast<int>(std::min<std::int64_t>(
        std::int64_t(FPollInterval) * 1000, std::numeric_limits<int>::max()));
    // Setting the same interval again would restart a running count.
    if (TimerPoll->interval() != milliseconds) TimerPoll->setInterval(milliseconds);
}

void TFrmMainZelvan::SetConnectionStatus(bool AConnected, const QString& AText) {
    FLink = AConnected ? TLink::Connected : TLink::NotConnected;
    if (AConnected)
        FStatusText = QStringLiteral("متصل بالسيرفر");
    else
        FStatusText = AText.isEmpty() ? QStringLiteral("غير متصل بالسيرفر") : AText;
    PaintStatus();
}

void TFrmMainZelvan::ShowWaiting() {
    FLink = TLink::Waiting;
    FStatusText = QStringLiteral("بانتظار رد السيرفر...");
    PaintStatus();
}

// The label is narrow: it shows the first line, cut at its end where it is long, and the whole
// text is in the tooltips of the indicator and of the tray icon, with the changes still waiting.
void TFrmMainZelvan::PaintStatus() {
    const TWindowColours& c = TWindowColours::Current();
    const bool connected = FLink == TLink::Connected;
    const bool lost = FLink == TLink::NotConnected;
    ShapeStatus->SetBrushColor(connected ? c.ConnectedCircle
                               : lost    ? c.NotConnectedCircle
                                         : c.IdleCircle);
    PaintText(LblStatusText, connected ? c.ConnectedText : lost ? c.NotConnectedText : c.IdleText);
    LblStatusText->setText(LblStatusText->fontMetrics().elidedText(
        FStatusText.section(u'\n', 0, 0), Qt::ElideRight, LblStatusText->width()));
    const QString whole = StatusWithChanges();
    RefreshShownToolTip(LblStatusText->toolTip(), whole);
    LblStatusText->setToolTip(whole);
    ShapeStatus->setToolTip(whole);
    LblStatusText->setAccessibleName(QStringLiteral("حالة الاتصال: ") + whole);
    UpdateTray();
}

QString TFrmMainZelvan::StatusWithChanges() const {
    if (!IsChanging()) return FStatusText;
    return FStatusText +
           QStringLiteral("\nتغييرات قيد الإرسال إلى السيرفر: %1").arg(ChangesWaiting());
}

void TFrmMainZelvan::UpdateTray() {
    TTrayStatus status;
    status.Pending = FCountPending;
    status.Completed = FCountCompleted;
    status.Total = FCountTotal;
    // Only a server that has answered is shown as reached; while one is awaited, or before the
    // first answer, the icon says nothing is known to be well.
    status.Reachable = FLink == TLink::Connected;
    status.Status = StatusWithChanges();
    // The icon is drawn again only when what it shows changes, not on every cycle.
    const QString look = TTrayStatus::BadgeText(status.Pending) + (status.Reachable ? u'+' : u'-');
    if (!FProgramIcon.isNull() && look != FTrayIconLook) {
        TrayIcon->SetIcon(status.Icon(FProgramIcon));
        FTrayIconLook = look;
    }
    TrayIcon->SetToolTip(status.ToolTip(TMessageBoxes::ApplicationTitle()));
}

// The colours the window paints itself, for the style in effect; run again after every switch.
void TFrmMainZelvan::ApplyColours() {
    const TWindowColours& c = TWindowColours::Current();
    PaintBackground(this, c.Window);
    PaintBackground(FClient, c.Window);
    PaintBackground(PnlTop, c.TopBar);
    PaintBackground(PnlStats, c.StatsBar);
    PaintBackground(PnlFilter, c.FilterBar);
    PaintBackground(PnlBottom, c.ActionBar);
    PaintText(LblAppTitle, c.Title);
    PaintText(LblCountPending, c.PendingText);
    PaintText(LblCountCompleted, c.CompletedText);
    PaintText(LblCountTotal, c.TotalText);
    SetTextColour(BtnComplete, c.Complete);
    PaintStatus();
    UpdateSoundButton();
    UpdateFilterBoxes();
    LvRequests->viewport()->update();
}

void TFrmMainZelvan::UpdateSoundButton() {
    BtnSound->setText(FSoundEnabled ? QStringLiteral("الصوت: مفعّل 🔔")
                                    : QStringLiteral("الصوت: مكتوم 🔕"));
    const TWindowColours& colours = TWindowColours::Current();
    SetTextColour(BtnSound, FSoundEnabled ? colours.SoundOn : colours.SoundOff);
}

void TFrmMainZelvan::PlayAlertSound() {
    if (FSoundEnabled) TAlerts::PlaySound();
}

void TFrmMainZelvan::BtnSoundClick() {
    FSoundEnabled = !FSoundEnabled;
    UpdateSoundButton();
    if (FSoundEnabled) PlayAlertSound();
    RunGuarded(this, [this] {
        TIniFile(TFrmSettings::GetIniSavePath())
            .WriteBool(ConfigKeys::Options, ConfigKeys::SoundEnabled, FSoundEnabled);
    });
}

// ---- the request list ----

// The current filter's box is framed and takes a deeper shade of its own colour.
void TFrmMainZelvan::UpdateFilterBoxes() {
    const bool pending = FCurrentFilter == u"pending";
    const bool completed = !pending && FCurrentFilter == u"completed";
    const bool all = !pending && !completed;
    PnlBoxPending->SetFramed(pending);
    PnlBoxCompleted->SetFramed(completed);
    PnlBoxTotal->SetFramed(all);
    const TWindowColours& c = TWindowColours::Current();
    PaintBackground(PnlBoxPending, pending ? c.PendingCurrent : c.Pending);
    PaintBackground(PnlBoxCompleted, completed ? c.CompletedCurrent : c.Completed);
    PaintBackground(PnlBoxTotal, all ? c.TotalCurrent : c.Total);
}

// The program's own pictures; where one cannot be loaded, a file of that name beside the
// executable stands in, and without it the picture is left out.
void TFrmMainZelvan::CreateStatusImages() {
    FImgListStatus.clear();
    const struct {
        const char* Resource;
        const char* Fallback;
    } images[] = {{":/bitmaps/BMP_FLAG_RED.bmp", "bmp24/16px/flag-red.bmp"},
                  {":/bitmaps/BMP_BUTTON_OK.bmp", "bmp24/16px/button-ok.bmp"}};
    const QDir folder(QCoreApplication::applicationDirPath());
    for (const auto& image : images) {
        QPixmap picture(QString::fromLatin1(image.Resource));
        const QString fallback = folder.filePath(QString::fromLatin1(image.Fallback));
        if (picture.isNull() && QFile::exists(fallback)) picture.load(fallback);
        if (picture.isNull()) continue;
        picture.setMask(picture.createMaskFromColor(QColor(255, 0, 255)));
        FImgListStatus.append(picture);
    }
}

void TFrmMainZelvan::RefreshRequestList(TCertRequestList* ANewRecords) {
    QString name, className;
    const std::int32_t selected = GetSelectedRequest(name, className);
    {
        TRequestListModel::TRebuild rebuild(*FRequestModel);
        if (ANewRecords) {
            FAllRequests = std::move(*ANewRecords);
            rebuild.SetRequests(FAllRequests);
        }
        rebuild.ApplySearch(TrimBlanks(LowerLatin(EdtSearch->text())));
    }
    SelectRequest(selected);
}

std::int32_t TFrmMainZelvan::GetSelectedRequest(QString& AStudentName, QString& AClassName) const {
    AStudentName.clear();
    AClassName.clear();
    const QModelIndexList rows = LvRequests->selectionModel()->selectedRows();
    if (rows.isEmpty()) return 0;
    const TCertRequestItem& request = FRequestModel->Request(rows.first().row());
    AStudentName = request.StudentName;
    AClassName = request.ClassName;
    return request.ID;
}

// Only the selection is set: the focus mark stays and the list does not scroll to the row.
void TFrmMainZelvan::SelectRequest(std::int32_t AID) {
    const int row = AID == 0 ? -1 : FRequestModel->RowOfRequest(AID);
    if (row < 0) return;
    LvRequests->selectionModel()->select(FRequestModel->index(row, 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TFrmMainZelvan::SetFilter(const QString& AWord) {
    FCurrentFilter = AWord;
    UpdateFilterBoxes();
    PollServer(true);
}

void TFrmMainZelvan::PnlBoxPendingClick() {
    SetFilter(QStringLiteral("pending"));
}

void TFrmMainZelvan::PnlBoxCompletedClick() {
    SetFilter(QStringLiteral("completed"));
}

void TFrmMainZelvan::PnlBoxTotalClick() {
    SetFilter(QStringLiteral("all"));
}

void TFrmMainZelvan::EdtSearchChange() {
    RefreshRequestList();
}

// ---- the actions on the selected request ----

// Nothing is changed here first: the server's state comes back with the poll.
void TFrmMainZelvan::ChangeSelectedStatus(const QString& AStatus) {
    QString name, className;
    const std::int32_t id = GetSelectedRequest(name, className);
    if (id == 0) {
        TMessageBoxes::ShowMessage(this, MsgSelectRequest);
        return;
    }
    AskChange({id, AStatus, name});
}

// The changes go to the server one after another in the order asked, while the window answers.
void TFrmMainZelvan::AskChange(const TAskedChange& AChange) {
    FChangeSender->SetServer({FServerHost, FServerPort, FServerPassword});
    const bool first = !IsChanging();
    if (!FChangeSender->Ask(AChange)) return;
    if (first) FChangeCursor = std::make_unique<TBusyCursor>();
    PaintStatus();
}

// On success the poll that follows shows the server's state (and keeps the busy cursor until it
// is shown). A failure names the pupil; where the reply was lost the change may have been made,
// and a poll follows too, so that the list shows whether it was. While the program ends, the
// failures are named together when it goes.
void TFrmMainZelvan::ChangeAnswered(const TAskedChange& AChange, const TChangeResult& AResult) {
    if (AResult.Done || AResult.MayHaveArrived)
        PollServer(true);  // takes the busy cursor over before the change's goes
    PaintStatus();
    ShowExitProgressValue();
    if (AResult.Done) return;
    if (FExit != TExit::No) {
        FExitFailures << TChangeQueue::Describe(AChange) + QStringLiteral(": ") + AResult.Error;
        return;
    }
    const QString prefix = AChange.What == TAskedChange::DeleteWord
                               ? QStringLiteral("فشل حذف الطلب: ")
                               : QStringLiteral("فشل تحديث الطلب: ");
    ReportFailure(prefix + AResult.Error + QStringLiteral("\nالتلميذ: «%1»").arg(AChange.Name),
                  AResult.Raised);
}

void TFrmMainZelvan::ChangesSettled() {
    FChangeCursor.reset();
    PaintStatus();
    if (FExit == TExit::Waiting) LeaveWithChangesLeft(true);
}

void TFrmMainZelvan::ReportFailure(const QString& AText, bool AIsError) {
    FFailures.emplace_back(AText, AIsError);
    if (FShowingFailures) return;  // the box open now shows it when it is closed
    FShowingFailures = true;
    while (!FFailures.empty()) {
        const auto [text, isError] = FFailures.front();
        FFailures.erase(FFailures.begin());
        if (isError)
            TMessageBoxes::ShowError(this, text);
        else
            TMessageBoxes::ShowMessage(this, text);
    }
    FShowingFailures = false;
}

void TFrmMainZelvan::BtnCompleteClick() {
    ChangeSelectedStatus(QStringLiteral("completed"));
}

void TFrmMainZelvan::BtnRevertClick() {
    ChangeSelectedStatus(QStringLiteral("pending"));
}

void TFrmMainZelvan::BtnCopyNameClick() {
    QString name, className;
    if (GetSelectedRequest(name, className) == 0) {
        TMessageBoxes::ShowMessage(this, QStringLiteral("يرجى تحديد تلميذ من القائمة أولاً."));
        return;
    }
    QGuiApplication::clipboard()->setText(name);
    TMessageBoxes::ShowMessage(this,
                               QStringLiteral("تم نسخ اسم التلميذ بنجاح:\r\n«") + name + u'»');
}

void TFrmMainZelvan::LvRequestsDblClick() {
    BtnCopyNameClick();
}

void TFrmMainZelvan::BtnDeleteClick() {
    QString name, className;
    const std::int32_t id = GetSelectedRequest(name, className);
    if (id == 0) {
        TMessageBoxes::ShowMessage(this, MsgSelectRequest);
        return;
    }
    if (!TMessageBoxes::Confirm(this, QStringLiteral("هل أنت متأكد من حذف طلب التلميذ \"") + name +
                                          QStringLiteral("\" نهائياً؟")))
        return;
    AskChange({id, TAskedChange::DeleteWord, name});
}

// ---- the poll cycle ----

// A call while a cycle runs returns at once. Unless it is the timer's, it comes from a change
// the user has just made, which then gets a cycle of its own as soon as the running one ends
// rather than one interval later.
void TFrmMainZelvan::PollServer(bool AShowBusy) {
    if (FIsPolling) {
        FPollAgain = true;
        FPollAgainBusy = FPollAgainBusy || AShowBusy;
        return;
    }
    FIsPolling = true;
    if (AShowBusy) FPollCursor = std::make_unique<TBusyCursor>();
    FPollCycle->Start({FServerHost, FServerPort, FServerPassword, FLastSeenMaxID, FCurrentFilter});
}

void TFrmMainZelvan::PollCountsArrived(const TPollCounts& ACounts) {
    FReminder.Reached(ACounts.Ok, Now());
    if (ACounts.Ok) FReminder.PendingCounted(ACounts.Pending, Now());
    if (!ACounts.Ok) {
        SetConnectionStatus(
            false, ACounts.Error.isEmpty() ? QStringLiteral("فشل الاتصال") : ACounts.Error);
        return;
    }
    FCountPending = ACounts.Pending;
    FCountCompleted = ACounts.Completed;
    FCountTotal = ACounts.Total;
    SetConnectionStatus(true, QString());
    LblCountPending->setText(QStringLiteral("في الانتظار: %1").arg(ACounts.Pending));
    LblCountCompleted->setText(QStringLiteral("منجزة: %1").arg(ACounts.Completed));
    LblCountTotal->setText(QStringLiteral("الإجمالي: %1").arg(ACounts.Total));
    // Nothing is announced until a first max id is known: at start-up every pending request
    // would otherwise count as new.
    if (FLastSeenMaxID > 0 && FLastSeenMaxID < ACounts.MaxID && ACounts.NewCount > 0) {
        PlayAlertSound();
        TAlerts::Flash(this);
        TrayIcon->ShowBalloon(AlertTitle, AlertText.arg(ACounts.NewCount));
        FBalloon = TBalloon::NewRequests;
    }
    FLastSeenMaxID = std::max(FLastSeenMaxID, ACounts.MaxID);
}

// A failed fetch leaves the last good list in place, so the search goes on showing the requests
// the server holds instead of an empty list after a passing network fault.
// A list that arrives while the counts had failed means the server is back: the counts are asked
// again at once (once), so that the indicator need not wait a whole interval to turn green.
void TFrmMainZelvan::PollListArrived(TPollList& AList) {
    if (AList.Ok) {
        FReminder.Listed(AList.Requests, FCurrentFilter != u"completed", Now());
        RefreshRequestList(&AList.Requests);
    }
    const bool recheck = AList.Ok && FLink == TLink::NotConnected && !FRecheck;
    FRecheck = recheck;
    if (recheck) FPollAgain = true;
    EndPollCycle();
}

// Shown in the usual error box, but one at a time: ticks go on while the box is open, and a
// server that keeps sending such replies would otherwise stack a box on every tick.
void TFrmMainZelvan::PollRaised(const QString& AMessage) {
    EndPollCycle();
    if (FShowingPollError) return;
    FShowingPollError = true;
    TMessageBoxes::ShowError(this, AMessage);
    FShowingPollError = false;
}

void TFrmMainZelvan::EndPollCycle() {
    FPollCursor.reset();
    FIsPolling = false;
    emit PollFinished();
    if (!FPollAgain) return;
    const bool busy = FPollAgainBusy;
    FPollAgain = FPollAgainBusy = false;
    PollServer(busy);
}

// A tick never queues a cycle; one that finds the last still waiting says so at once, rather
// than leave the indicator green until the transport gives up. A server that has already failed
// stays shown as not connected until it answers again.
void TFrmMainZelvan::TimerPollTimer() {
    if (!FIsPolling)
        PollServer(false);
    else if (FLink == TLink::Connected)
        ShowWaiting();
    RemindIfDue();
}

// The reminder of waiting requests sounds like the new-request alert; the server's outage and
// return are only said.
void TFrmMainZelvan::RemindIfDue() {
    const auto notice = FReminder.Due(Now(), isVisible() && isActiveWindow());
    if (!notice) return;
    const bool waiting = notice->Kind == TReminderNotice::TKind::Waiting;
    if (waiting) PlayAlertSound();
    TrayIcon->ShowBalloon(waiting ? QStringLiteral("⏰ تذكير بالطلبات المنتظرة") : TrayBalloonTitle,
                          notice->Text);
    FBalloon = waiting ? TBalloon::Waiting : TBalloon::Connection;
}

void TFrmMainZelvan::BtnRefreshClick() {
    PollServer(true);
}

// The dialog loads afresh from the file each time and is gone when this returns, on every path.
// After OK the new values are in use at once; the highest id seen is kept.
void TFrmMainZelvan::BtnSettingsClick() {
    TFrmSettings dialog(this);
    dialog.setWindowModality(Qt::WindowModal);  // the tray menu stays usable meanwhile
    dialog.setWindowIcon(windowIcon());
    CentreOnScreen(&dialog);
    if (dialog.exec() != QDialog::Accepted) return;
    ReloadConfig();
    UpdateSoundButton();
    PollServer(true);
}

void TFrmMainZelvan::MniCheckNowClick() {
    PollServer(true);
}

// ---- tray and window life ----

void TFrmMainZelvan::HideToTray(bool AWithBalloon) {
    hide();
    if (!AWithBalloon) return;
    TrayIcon->ShowBalloon(TrayBalloonTitle, TrayBalloonText);
    FBalloon = TBalloon::InTheTray;
}

// Without a tray a hidden window could not be brought back, and the exit item would be out of
// reach: the close box then ends the program (minimising keeps the window on the task bar).
void TFrmMainZelvan::closeEvent(QCloseEvent* AEvent) {
    AEvent->ignore();
    if (TrayIcon->IsAvailable())
        HideToTray(true);
    else
        MniExitClick();
}

void TFrmMainZelvan::showEvent(QShowEvent* AEvent) {
    QWidget::showEvent(AEvent);
    FReminder.Looked(Now());
}

void TFrmMainZelvan::changeEvent(QEvent* AEvent) {
    QWidget::changeEvent(AEvent);
    if (AEvent->type() == QEvent::ActivationChange && isActiveWindow()) FReminder.Looked(Now());
    if (AEvent->type() != QEvent::WindowStateChange || !isMinimized() || !TrayIcon->IsAvailable())
        return;
    // Hidden after the state change has been handled: on X11 a window should not be minimised
    // and hidden at the same time.
    QTimer::singleShot(0, this, [this] {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        HideToTray(false);
    });
}

void TFrmMainZelvan::TrayIconDblClick() {
    show();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    raise();
    activateWindow();
    FocusTheList();
}

// Left alone, the window would give the focus back to the control that had it when it was
// hidden, often an action button, where a Return meant for the tray menu would press it.
void TFrmMainZelvan::FocusTheList() {
    LvRequests->setFocus(Qt::OtherFocusReason);
    const QModelIndexList rows = LvRequests->selectionModel()->selectedRows();
    if (rows.isEmpty()) return;
    LvRequests->selectionModel()->setCurrentIndex(rows.first(), QItemSelectionModel::NoUpdate);
    LvRequests->scrollTo(rows.first());
}

void TFrmMainZelvan::MniShowClick() {
    TrayIconDblClick();
}

// Only the balloon of new requests leads to them; the one that says the program lives on in the
// tray is simply gone when clicked.
void TFrmMainZelvan::TrayBalloonClick() {
    if (FBalloon != TBalloon::NewRequests && FBalloon != TBalloon::Waiting) return;
    TrayIconDblClick();
    if (FCurrentFilter != u"pending") {
        PnlBoxPendingClick();
        // The list of pending requests comes with that cycle; the newest is chosen then.
        connect(this, &TFrmMainZelvan::PollFinished, this, &TFrmMainZelvan::TrayBalloonClick,
                Qt::SingleShotConnection);
        return;
    }
    std::int32_t chosen = FBalloon == TBalloon::Waiting ? FReminder.OldestPending() : 0;
    if (FBalloon == TBalloon::NewRequests)
        for (const TCertRequestItem& request : FAllRequests) chosen = std::max(chosen, request.ID);
    if (chosen != 0) SelectRequest(chosen);
    FocusTheList();
}

// ---- the way out ----

namespace {
// How long an end that asks nobody gives the changes still waiting: well within the ten seconds
// an installer waits for the program to end.
constexpr int UnaskedEndMilliseconds = 5000;
}  // namespace

// Changes the server has not answered are never dropped without a word: the user chooses to wait
// for them (and may give up waiting) or to leave without them. Asked again meanwhile, the exit
// item leaves at once.
void TFrmMainZelvan::MniExitClick() {
    if (FExit == TExit::Asking || FExit == TExit::Waiting) return LeaveWithChangesLeft(true);
    if (FExit != TExit::No) return;
    if (!IsChanging()) return EndProgram();
    FExit = TExit::Asking;
    const bool wait = TMessageBoxes::Confirm(
        this, QStringLiteral("لم تصل بعد إلى السيرفر هذه التغييرات (%1):\n%2\n\n"
                             "هل تنتظر إرسالها قبل الخروج؟ («لا» للخروج دونها)")
                  .arg(ChangesWaiting())
                  .arg(FChangeSender->Queue().DescribeLeft()));
    if (FExit != TExit::Asking) return;  // ended, or made to end, while asked
    if (!wait) return LeaveWithChangesLeft(false);
    FExit = TExit::Waiting;
    if (!IsChanging()) return LeaveWithChangesLeft(true);
    ShowExitProgress();
}

void TFrmMainZelvan::ShowExitProgress() {
    FExitProgress = new QProgressDialog(this);
    FExitProgress->setCancelButtonText(QStringLiteral("الخروج دون انتظار"));
    FExitProgress->setRange(0, ChangesWaiting());
    FExitProgress->setWindowTitle(TMessageBoxes::ApplicationTitle());
    FExitProgress->setMinimumWidth(
        FExitProgress->fontMetrics().horizontalAdvance(FExitProgress->windowTitle()) + 160);
    FExitProgress->setWindowModality(Qt::WindowModal);  // the tray menu stays usable meanwhile
    FExitProgress->setAutoClose(false);
    FExitProgress->setAutoReset(false);
    FExitProgress->setMinimumDuration(0);
    ShowExitProgressValue();
    connect(FExitProgress, &QProgressDialog::canceled, this,
            [this] { LeaveWithChangesLeft(true); });
    FExitProgress->show();
}

void TFrmMainZelvan::ShowExitProgressValue() {
    if (!FExitProgress) return;
    FExitProgress->setValue(FExitProgress->maximum() - ChangesWaiting());
    FExitProgress->setLabelText(
        QStringLiteral("جاري إرسال التغييرات إلى السيرفر قبل الخروج...\nلم يصل بعد: %1")
            .arg(ChangesWaiting()));
}

// ANameThem: whether the changes not sent are named (they are not when the user has just read
// them in the question); failures met on the way out always are.
void TFrmMainZelvan::LeaveWithChangesLeft(bool ANameThem) {
    if (FExit == TExit::Leaving || FExit == TExit::Ended) return;
    FExit = TExit::Leaving;
    const QString left = ANameThem ? ChangesLeftText() : FExitFailures.join(u'\n');
    if (FExitProgress) FExitProgress->hide();
    if (!left.isEmpty())
        TMessageBoxes::ShowMessage(
            this, QStringLiteral("خرج البرنامج دون أن تصل هذه التغييرات إلى السيرفر:\n") + left);
    EndProgram();
}

void TFrmMainZelvan::EndWithoutAsking() {
    if (FExit == TExit::Unasked || FExit == TExit::Ended) return;
    FExit = TExit::Unasked;
    TMessageBoxes::EndAll();
    delete FExitProgress;
    FExitProgress = nullptr;
    FChangeSender->WaitUntilSettled(UnaskedEndMilliseconds);
    if (const QString left = ChangesLeftText(); !left.isEmpty()) {
        std::fprintf(stderr,
                     "kestaro-zelvan: ended before the server had these changes "
                     "(the next start names them):\n%s\n",
                     left.toUtf8().constData());
        TFrmSettings::WriteChangesLeftNote(left);
    }
    EndProgram();
}

QString TFrmMainZelvan::ChangesLeftText() const {
    QStringList lines = FExitFailures;
    if (const QString left = FChangeSender->Queue().DescribeLeft(); !left.isEmpty())
        lines.prepend(left);
    return lines.join(u'\n');
}

void TFrmMainZelvan::ShowChangesLeftAtLastEnd() {
    const QString left = TFrmSettings::TakeChangesLeftNote();
    if (left.isEmpty()) return;
    TMessageBoxes::ShowMessage(
        this, QStringLiteral("انتهى البرنامج في المرة السابقة قبل أن تصل هذه التغييرات إلى "
                             "السيرفر، فيرجى التحقق منها:\n") +
                  left);
}

// Whatever box or dialog is open is closed with nothing saved, and the loops they run end too.
void TFrmMainZelvan::EndProgram() {
    if (FExit == TExit::Ended) return;
    FExit = TExit::Ended;
    TimerPoll->stop();
    TMessageBoxes::EndAll();
    // exit() rather than quit(): quit() would first ask the window to close, and closing hides
    // it to the tray with a balloon instead of ending.
    QCoreApplication::exit(0);
}
