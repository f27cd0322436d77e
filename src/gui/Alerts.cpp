#include "Alerts.h"

#include <QApplication>

#include "AlertSound.h"

namespace {
TAlerts::TRecorder* Recorder = nullptr;
}

TAlerts::TRecorder::TRecorder() {
    Recorder = this;
}

TAlerts::TRecorder::~TRecorder() {
    Recorder = nullptr;
}

void TAlerts::PlaySound() {
    if (Recorder) {
        ++Recorder->Sounds;
        return;
    }
    if (!TAlertSound::PlayInformation()) QApplication::beep();
}

void TAlerts::Flash(QWidget* AWindow) {
    if (Recorder) {
        ++Recorder->Flashes;
        return;
    }
    QApplication::alert(AWindow, 0);
}
