#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

// Keeps one running copy per configuration file and user. The first copy listens on a local
// socket named after the file's path, in the user's own runtime folder; a second copy started by
// the same user with the same file finds it, asks it to show its window, and ends. Copies in other
// folders (other files), and other users' copies, run side by side.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit TSingleInstance(const QString& AIniPath, QObject* AParent = nullptr);

    // True when this copy is now the one that runs; false when another copy already does (it has
    // then been asked to show itself).
    bool Claim();

    // What asking the running copy to end came to.
    enum class TQuit { NoneRunning, Ended, StillRunning };
    // Asks the copy that runs with this file to end, as its tray menu's exit item would, and waits
    // at most AWaitMilliseconds for it to be gone. Needs no window and claims nothing.
    TQuit AskToQuit(int AWaitMilliseconds);

    // The socket's name (on Linux its path), for the tests' eyes.
    const QString& Name() const { return FName; }

signals:
    void ShowRequested();
    void QuitRequested();

private:
    QString FName;
    QStringList FOldNames;  // the names earlier versions listened on
    QLocalServer* FServer = nullptr;
};
