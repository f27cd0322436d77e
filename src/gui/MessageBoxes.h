#pragma once

#include <deque>
#include <exception>
#include <functional>
#include <vector>

#include <QString>

class QWidget;

// Every message box and question of the program goes through here, so that tests can record
// what would have been shown (and answer questions) instead of blocking on a modal box.
class TMessageBoxes {
public:
    // The application's title, the caption of the program's own message boxes.
    static QString ApplicationTitle();

    // A plain message with one OK button.
    static void ShowMessage(QWidget* AParent, const QString& AText);
    // The application's standard error box, for errors that escape an event handler.
    static void ShowError(QWidget* AParent, const QString& AText);
    // An error box with a single Close button (the style switch's "not found").
    static void ShowCloseError(const QString& AText);
    // A question with Yes (the default) and No; true for Yes.
    static bool Confirm(QWidget* AParent, const QString& AText);

    // The program is ending: the boxes open now are closed (a question as if answered No), and
    // none opens from here on.
    static void EndAll();

    enum class TKind { Message, Error, CloseError, Question };
    struct TShown {
        TKind Kind;
        QString Text;
    };

    // While installed, nothing is shown: each box is recorded, and each question takes the
    // next queued answer (No when none is left).
    struct TRecorder {
        TRecorder();
        ~TRecorder();
        TRecorder(const TRecorder&) = delete;
        TRecorder& operator=(const TRecorder&) = delete;

        std::vector<TShown> Shown;
        std::deque<bool> Answers;
        // Runs as if the box were open, the way the event loop goes on under a modal box.
        std::function<void()> WhileShown;
    };

private:
    static bool Record(TKind AKind, const QString& AText, bool* AAnswer = nullptr);
};

// Runs AStep; an error that escapes it is shown in the standard error box. Returns whether the
// step ran to its end. Qt does not let exceptions pass through its event loop, so every event
// handler that can raise goes through here.
template <typename F>
bool RunGuarded(QWidget* AParent, F&& AStep) {
    try {
        AStep();
        return true;
    } catch (const std::exception& e) {
        TMessageBoxes::ShowError(AParent, QString::fromUtf8(e.what()));
    }
    return false;
}
