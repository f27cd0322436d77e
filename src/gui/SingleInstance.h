#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// Keeps one running copy per configuration file. The first copy listens on a local socket named
// after the file's path; a second copy started with the same file finds it, asks it to show its
// window, and ends. Copies in other folders (other files) run side by side.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit TSingleInstance(const QString& AIniPath, QObject* AParent = nullptr);

    // True when this copy is now the one that runs; false when another copy already does (it has
    // then been asked to show itself).
    bool Claim();

signals:
    void ShowRequested();

private:
    QString FName;
    QLocalServer* FServer = nullptr;
};
