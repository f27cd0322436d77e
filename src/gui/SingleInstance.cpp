#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
constexpr int ConnectMilliseconds = 500;
const QByteArray ShowCommand = "show\n";
const QByteArray QuitCommand = "quit\n";
}  // namespace

TSingleInstance::TSingleInstance(const QString& AIniPath, QObject* AParent) : QObject(AParent) {
    const QByteArray path = QDir::cleanPath(QDir(AIniPath).absolutePath()).toUtf8();
    FName = QStringLiteral("kestaro-zelvan-") +
            QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha1).toHex());
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

TSingleInstance::TQuit TSingleInstance::AskToQuit(int AWaitMilliseconds) {
    QLocalSocket other;
    other.connectToServer(FName);
    if (!other.waitForConnected(ConnectMilliseconds)) return TQuit::NoneRunning;
    other.write(QuitCommand);
    other.waitForBytesWritten(ConnectMilliseconds);
    if (other.state() == QLocalSocket::UnconnectedState ||
        other.waitForDisconnected(AWaitMilliseconds))
        return TQuit::Ended;
    return TQuit::StillRunning;
}
