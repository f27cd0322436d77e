#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <algorithm>

#include "InstanceScope.h"

namespace {
constexpr int ConnectMilliseconds = 500;
const QByteArray ShowCommand = "show\n";
const QByteArray QuitCommand = "quit\n";
}  // namespace

// One channel per user: on Linux the socket lies in the user's own runtime folder (readable by
// nobody else), so that another user's copy, or another user's socket, is never taken for this
// user's; on Windows the pipe's name carries the user's and the session's.
TSingleInstance::TSingleInstance(const QString& AIniPath, QObject* AParent) : QObject(AParent) {
    const QString path = QDir::cleanPath(QDir(AIniPath).absolutePath());
    const auto nameOf = [](const QString& AKey) {
        return QStringLiteral("kestaro-zelvan-") +
               QString::fromLatin1(
                   QCryptographicHash::hash(AKey.toUtf8(), QCryptographicHash::Sha1).toHex());
    };
    const QString key = QString::fromStdString(TInstanceScope::Key(path.toStdString()));
#ifdef Q_OS_WIN
    FName = nameOf(key);
    FOldNames = {nameOf(path.toLower()) + u'-' + qEnvironmentVariable("USERNAME"), nameOf(path)};
#else
    FName = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + u'/' + nameOf(key);
    FOldNames = {nameOf(path)};
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

// A copy of an earlier version listens on a name copies had before they were kept apart by user
// and session: an installer that upgrades it must still be able to end it.
TSingleInstance::TQuit TSingleInstance::AskToQuit(int AWaitMilliseconds) {
    QLocalSocket other;
    const auto reached = [&other](const QString& AName) {
        other.connectToServer(AName);
        return other.waitForConnected(ConnectMilliseconds);
    };
    if (!reached(FName) && std::none_of(FOldNames.cbegin(), FOldNames.cend(), reached))
        return TQuit::NoneRunning;
    other.write(QuitCommand);
    other.waitForBytesWritten(ConnectMilliseconds);
    if (other.state() == QLocalSocket::UnconnectedState ||
        other.waitForDisconnected(AWaitMilliseconds))
        return TQuit::Ended;
    return TQuit::StillRunning;
}
