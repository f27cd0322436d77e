#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {
constexpr int ConnectMilliseconds = 500;
const QByteArray ShowCommand = "show\n";
const QByteArray QuitCommand = "quit\n";
}  // namespace

// One channel per user: on Linux the socket lies in the user's own runtime folder (readable by
// nobody else), so that another user's copy, or another user's socket, is never taken for this
// user's; on Windows the pipe's name carries the user's.
TSingleInstance::TSingleInstance(const QString& AIniPath, QObject* AParent) : QObject(AParent) {
    const QString path = QDir::cleanPath(QDir(AIniPath).absolutePath());
    const auto nameOf = [](const QString& APath) {
        return QStringLiteral("kestaro-zelvan-") +
               QString::fromLatin1(
                   QCryptographicHash::hash(APath.toUtf8(), QCryptographicHash::Sha1).toHex());
    };
    FOldName = nameOf(path);
#ifdef Q_OS_WIN
    // Windows names one file by its path in any letter case: "C:\USERS\...\KESTARO-ZELVAN.EXE"
    // is the installed program all the same.
    FName = nameOf(path.toLower()) + u'-' + qEnvironmentVariable("USERNAME");
#else
    FName = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + u'/' + FOldName;
#endif
}

bool TSingleInstance::Claim() {
    QLocalSocket other;
    other.connectToServer(FName);
    if (other.waitForConnected(ConnectMilliseconds)) {
        other.write(ShowCommand);
        other.waitForBytesWritten(ConnectMilliseconds);
        return false;
    }
    // Nobody answered: whatever socket file is left belongs to a copy that has ended.
    QLocalServer::removeServer(FName);
    FServer = new QLocalServer(this);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!FServer->listen(FName)) return true;  // run anyway rather than not at all
    connect(FServer, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = FServer->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                const QByteArray said = socket->readAll();
                if (said.contains(ShowCommand.trimmed())) emit ShowRequested();
                // The asking copy learns that this one is gone when the connection closes with
                // the process, so the socket stays open until then.
                if (said.contains(QuitCommand.trimmed())) emit QuitRequested();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

// A copy of an earlier version listens on the name copies had before they were kept apart by
// user: an installer that upgrades it must still be able to end it.
TSingleInstance::TQuit TSingleInstance::AskToQuit(int AWaitMilliseconds) {
    QLocalSocket other;
    other.connectToServer(FName);
    if (!other.waitForConnected(ConnectMilliseconds)) {
        other.connectToServer(FOldName);
        if (!other.waitForConnected(ConnectMilliseconds)) return TQuit::NoneRunning;
    }
    other.write(QuitCommand);
    other.waitForBytesWritten(ConnectMilliseconds);
    if (other.state() == QLocalSocket::UnconnectedState ||
        other.waitForDisconnected(AWaitMilliseconds))
        return TQuit::Ended;
    return TQuit::StillRunning;
}
