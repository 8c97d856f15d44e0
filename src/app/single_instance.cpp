#include "app/single_instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tscard::app {
namespace {

constexpr char kShowRequest[] = "show\n";
// "open " and the file's path, percent-encoded: one line whatever it holds.
constexpr char kOpenRequest[] = "open ";
constexpr char kShownReply[] = "shown\n";

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    path_ = QDir(folder).filePath(name);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

OtherInstance SingleInstance::AskToShow(int timeout_ms, const std::string& file) {
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(timeout_ms)) {
        const auto error = socket.error();
        return error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError
                   ? OtherInstance::None
                   : OtherInstance::Silent;
    }
    if (file.empty())
        socket.write(kShowRequest);
    else
        socket.write(kOpenRequest + QByteArray::fromStdString(file).toPercentEncoding() + "\n");
    socket.flush();
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeout_ms)) return OtherInstance::Silent;
    }
    return socket.readLine() == kShownReply ? OtherInstance::Shown : OtherInstance::Silent;
}

bool SingleInstance::Listen() {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(path_)) return true;
    if (server_.serverError() != QAbstractSocket::AddressInUseError) return false;
    // Nobody answered on it (AskToShow said so): a socket left behind.
    QLocalServer::removeServer(path_);
    return server_.listen(path_);
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) return;
            const QByteArray request = socket->readLine();
            const bool open = request.startsWith(kOpenRequest) && request.endsWith('\n');
            if (request != kShowRequest && !open) {
                socket->disconnectFromServer();
                return;
            }
            emit ShowRequested();
            if (open) {
                const QByteArray file = request.mid(int(sizeof kOpenRequest) - 1).chopped(1);
                emit OpenRequested(QByteArray::fromPercentEncoding(file).toStdString());
            }
            socket->write(kShownReply);
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

}  // namespace tscard::app
