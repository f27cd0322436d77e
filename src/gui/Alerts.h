#pragma once

class QWidget;

// The sound and the window flash of a new-request alert, in one place so that tests can record
// that they were asked for instead of hearing or seeing them. (The third part of an alert, the
// balloon, is the tray icon's.)
class TAlerts {
public:
    TAlerts() = delete;

    // The desktop's information sound, or the toolkit's beep where none can be played. Nothing
    // that goes wrong here is reported.
    static void PlaySound();
    // Asks the desktop to draw the user's attention to AWindow until it is next activated: the
    // task bar button flashes on Windows, the urgency hint is set on X11.
    static void Flash(QWidget* AWindow);

    // While installed, nothing is sounded or flashed; each request is counted instead.
    struct TRecorder {
        TRecorder();
        ~TRecorder();
        TRecorder(const TRecorder&) = delete;
        TRecorder& operator=(const TRecorder&) = delete;

        int Sounds = 0;
        int Flashes = 0;
    };
};
