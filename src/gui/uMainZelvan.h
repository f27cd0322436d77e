#pragma once

#include <cstdint>

#include <QWidget>

#include "uZelvanApi.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class TCounterBox;
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

    void LayoutStatBoxes();
    void LayoutBottomButtons();

public slots:
    void TrayIconDblClick();
    void MniShowClick();
    void MniExitClick();
    void TimerPollTimer();

protected:
    void closeEvent(QCloseEvent* AEvent) override;    // FormClose
    void resizeEvent(QResizeEvent* AEvent) override;  // FormResize
    void changeEvent(QEvent* AEvent) override;        // minimising

private:
    void BuildLayout();
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
    void UpdateSoundButton();
    void UpdateFilterBoxes();
    void CreateStatusImages();
    void PollServer(bool AShowBusy);
    void HideToTray(bool AWithBalloon);

    TRequestListModel* FRequestModel = nullptr;
    QString FServerHost;
    std::int32_t FServerPort = 80;
    QString FServerPassword;
    std::int32_t FPollInterval = 10;
    bool FSoundEnabled = true;
    QString FCurrentFilter;
    std::int32_t FLastSeenMaxID = 0;
    bool FIsPolling = false;
    TCertRequestList FAllRequests;
};
