#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QWidget>

#include "ChangeSender.h"
#include "Reminder.h"
#include "uZelvanApi.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressDialog;
class QPushButton;
class QScrollArea;
class QTimer;
class TBusyCursor;
class TCounterBox;
class TPollCycle;
struct TPollCounts;
struct TPollList;
class TListView;
class TRequestListModel;
class TShape;
class TTrayIcon;

// The main window: counters, search, the request list and the actions on it, with an icon in
// the tray. Closing or minimising only hides it; the program keeps watching the server until
// the tray menu's exit item.
class TFrmMainZelvan : public QWidget {
    Q_OBJECT
public:
    explicit TFrmMainZelvan(QWidget* AParent = nullptr);
    ~TFrmMainZelvan() override;

    // Top bar.
    QWidget* PnlTop;
    QLabel* LblAppTitle;
    TShape* ShapeStatus;
    QLabel* LblStatusText;
    QPushButton* BtnSound;
    QPushButton* BtnRefresh;
    QPushButton* BtnSettings;
    // Counter bar.
    QWidget* PnlStats;
    TCounterBox* PnlBoxPending;
    TCounterBox* PnlBoxCompleted;
    TCounterBox* PnlBoxTotal;
    QLabel* LblCountPending;
    QLabel* LblCountCompleted;
    QLabel* LblCountTotal;
    // Search bar and list.
    QWidget* PnlFilter;
    QLineEdit* EdtSearch;
    TListView* LvRequests;
    // Action bar.
    QWidget* PnlBottom;
    QPushButton* BtnComplete;
    QPushButton* BtnRevert;
    QPushButton* BtnCopyName;
    QPushButton* BtnDelete;
    // Without a place on screen.
    QTimer* TimerPoll;
    TTrayIcon* TrayIcon;
    QMenu* PopupTray;
    QAction* MniShow;
    QAction* MniCheckNow;
    QAction* N1;
    QAction* MniExit;

    // What the window holds, for the tests' eyes.
    std::int32_t PollInterval() const { return FPollInterval; }
    bool SoundEnabled() const { return FSoundEnabled; }
    const QString& CurrentFilter() const { return FCurrentFilter; }
    std::int32_t LastSeenMaxID() const { return FLastSeenMaxID; }
    // The clock the reminder goes by; tests set their own.
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };
    bool IsPolling() const { return FIsPolling; }
    // Actions (status changes, deletes) asked and not yet answered by the server.
    int ChangesWaiting() const { return FChangeSender->Queue().Size(); }
    bool IsChanging() const { return !FChangeSender->Queue().Empty(); }
    const TCertRequestList& AllRequests() const { return FAllRequests; }

    void LayoutStatBoxes();
    void LayoutBottomButtons();

signals:
    // A poll cycle has ended and everything it brought is shown.
    void PollFinished();

public slots:
    void TrayIconDblClick();
    void MniShowClick();
    // The exit item: where changes still wait, the user chooses to wait for them or leave.
    void MniExitClick();
    // The program is made to end (by --quit, or with the desktop session) and nobody is asked:
    // the changes still waiting get a few seconds, and what is left is named on the error output
    // and at the next start.
    void EndWithoutAsking();
    void TimerPollTimer();
    void BtnSoundClick();
    void BtnRefreshClick();
    void BtnSettingsClick();
    void MniCheckNowClick();
    void PnlBoxPendingClick();
    void PnlBoxCompletedClick();
    void PnlBoxTotalClick();
    void EdtSearchChange();
    void BtnCompleteClick();
    void BtnRevertClick();
    void BtnCopyNameClick();
    void LvRequestsDblClick();
    void BtnDeleteClick();
    // Clicking the new-request balloon: the window with the pending requests, the newest chosen.
    void TrayBalloonClick();

protected:
    void closeEvent(QCloseEvent* AEvent) override;    // FormClose
    void resizeEvent(QResizeEvent* AEvent) override;  // FormResize
    void changeEvent(QEvent* AEvent) override;        // minimising, and being looked at
    void showEvent(QShowEvent* AEvent) override;

private:
    void BuildLayout();
    void BuildClientArea();
    void SizeClientArea();
    void ScrollToControl(QWidget* AControl);
    void BuildTopBar();
    void BuildCounterBar();
    void BuildSearchBarAndList();
    void BuildActionBar();
    void BuildTray();
    void DockAreas();

    void FormCreate();
    void LoadIcons();
    void SetRunTimeCaptions();
    void ReloadConfig();
    void ApplyColours();
    void BuildKeyboardAndNames();
    void SetConnectionStatus(bool AConnected, const QString& AText);
    // The cycle still waits on the server when the next one is due: the indicator says so.
    void ShowWaiting();
    void PaintStatus();
    // The indicator's whole text, with the number of changes still on their way.
    QString StatusWithChanges() const;
    void UpdateTray();
    void UpdateSoundButton();
    void PlayAlertSound();
    void UpdateFilterBoxes();
    void CreateStatusImages();
    // Rebuilds the rows from FAllRequests and the search text, keeping the selected request
    // selected. ANewRecords, when given, first replaces FAllRequests (the selection is read from
    // the rows as they were).
    void RefreshRequestList(TCertRequestList* ANewRecords = nullptr);
    std::int32_t GetSelectedRequest(QString& AStudentName, QString& AClassName) const;
    void SelectRequest(std::int32_t AID);
    void SetFilter(const QString& AWord);
    void ChangeSelectedStatus(const QString& AStatus);
    // Queues the change on the server, under the busy cursor until the last is answered.
    void AskChange(const TAskedChange& AChange);
    void ChangeAnswered(const TAskedChange& AChange, const TChangeResult& AResult);
    void ChangesSettled();
    // Failures are shown one box at a time, in the order they came.
    void ReportFailure(const QString& AText, bool AIsError);
    void HideToTray(bool AWithBalloon);
    // Asks the reminder whether something is due, on each tick, and shows it.
    void RemindIfDue();
    // The list has the focus, on the chosen request, whenever the window is brought up: keys
    // meant for something else never press an action button.
    void FocusTheList();

    // The ways out while changes wait.
    void ShowExitProgress();
    void ShowExitProgressValue();
    void LeaveWithChangesLeft(bool ANameThem);
    void EndProgram();
    // What did not reach the server, or failed, while the program was ending.
    QString ChangesLeftText() const;
    // Names, at this start, what an earlier end that asked nobody left unsent.
    void ShowChangesLeftAtLastEnd();

    // A cycle asks the server on a thread of its own and hands its results back here: the
    // counts first (indicator, counters, alert), then the list.
    void PollServer(bool AShowBusy);
    void PollCountsArrived(const TPollCounts& ACounts);
    void PollListArrived(TPollList& AList);
    void PollRaised(const QString& AMessage);
    void EndPollCycle();

    QScrollArea* FScroll = nullptr;
    QWidget* FClient = nullptr;  // everything the window shows, on FScroll
    TRequestListModel* FRequestModel = nullptr;
    TPollCycle* FPollCycle = nullptr;
    TChangeSender* FChangeSender = nullptr;      // the actions' way to the server
    std::unique_ptr<TBusyCursor> FChangeCursor;  // while actions wait on the server
    enum class TExit { No, Asking, Waiting, Leaving, Unasked, Ended };
    TExit FExit = TExit::No;
    QProgressDialog* FExitProgress = nullptr;         // while the exit waits for the changes
    QStringList FExitFailures;                        // the changes refused while the program ends
    std::vector<std::pair<QString, bool>> FFailures;  // to show: the text, and whether an error
    bool FShowingFailures = false;
    bool FRecheck = false;  // a cycle follows at once to see whether the server is back
    std::unique_ptr<TBusyCursor> FPollCursor;  // the busy cursor of the running cycle, if asked
    bool FPollAgain = false;      // a change the user made came during a cycle: poll once more
    bool FPollAgainBusy = false;  // ... with the busy cursor
    bool FShowingPollError = false;
    // What the last balloon said, which decides what clicking it shows.
    enum class TBalloon { InTheTray, NewRequests, Waiting, Connection };
    TBalloon FBalloon = TBalloon::InTheTray;
    TReminder FReminder;
    enum class TLink { Unknown, Connected, NotConnected, Waiting };
    TLink FLink = TLink::Unknown;                             // the indicator's state
    QString FStatusText = QStringLiteral("جاري الاتصال...");  // the indicator's whole text
    int FCountPending = 0, FCountCompleted = 0, FCountTotal = 0;
    QIcon FProgramIcon;
    QString FTrayIconLook;  // what the tray icon shows now: its badge and whether reachable
    QString FServerHost;
    std::int32_t FServerPort = 80;
    QString FServerPassword;
    std::int32_t FPollInterval = 10;
    bool FSoundEnabled = true;
    QString FCurrentFilter;
    std::int32_t FLastSeenMaxID = 0;
    bool FIsPolling = false;
    TCertRequestList FAllRequests;
    QList<QPixmap> FImgListStatus;
};
