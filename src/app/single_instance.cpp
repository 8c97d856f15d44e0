#include "app/single_instance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <sys/socket.h>

#include <optional>

namespace tscard::app {
namespace {

constexpr char kShowRequest[] = "show\n";
// "open " and the file's path, percent-encoded: one line whatever it holds.
constexpr char kOpenRequest[] = "open ";
constexpr char kShownReply[] = "shown\n";

bool NobodyListens(QLocalSocket::LocalSocketError error) {
    return error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError;
}

// "the window of process 1234", or "the window" when the peer is unknown.
std::string Holder(const QLocalSocket& socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    const auto fd = static_cast<int>(socket.socketDescriptor());
    if (fd >= 0 && getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.pid > 0)
        return "the window of process " + std::to_string(peer.pid);
    return "the window";
}

std::string Seconds(int ms) { return std::to_string((ms + 999) / 1000) + " s"; }

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    path_ = QDir(folder).filePath(name);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

OtherInstance SingleInstance::AskToShow(int timeout_ms, const std::string& file) {
    why_.clear();
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(timeout_ms)) {
        if (NobodyListens(socket.error())) return OtherInstance::None;
        why_ = "the window that holds " + path_.toStdString() + " cannot be reached (" +
               socket.errorString().toStdString() + ")";
        return OtherInstance::Silent;
    }
    const std::string holder = Holder(socket);
    if (file.empty())
        socket.write(kShowRequest);
    else
        socket.write(kOpenRequest + QByteArray::fromStdString(file).toPercentEncoding() + "\n");
    socket.flush();
    const QDeadlineTimer deadline(timeout_ms);
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime()))) {
            why_ = socket.state() == QLocalSocket::ConnectedState
                       ? holder + " did not answer within " + Seconds(timeout_ms)
                       : holder + " closed the connection without an answer";
            return OtherInstance::Silent;
        }
    }
    if (socket.readLine() != kShownReply) {
        why_ = holder + " gave an answer this program does not know";
        return OtherInstance::Silent;
    }
    return OtherInstance::Shown;
}

bool SingleInstance::Listen() {
    // The server puts its socket in place by renaming it over the path,
    // which would take the name from a live first instance as well (another
    // start may have taken it since AskToShow found none): the name is
    // taken only when nobody answers on it, replacing a socket left behind
    // by a first instance that died.
    QLocalSocket probe;
    probe.connectToServer(path_);
    if (probe.waitForConnected(1000) || !NobodyListens(probe.error())) return false;
    QLocalServer::removeServer(path_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(path_);
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A later start that never finishes its request is let go.
        QTimer::singleShot(kInstanceAnswerMs, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) return;
            const QByteArray request = socket->readLine();
            const bool open = request.startsWith(kOpenRequest) && request.endsWith('\n');
            const bool show = request == kShowRequest;
            // The answer goes at once, and the connection is done with here:
            // the event loop may delete it from now on.
            if (show || open) {
                socket->write(kShownReply);
                socket->flush();
            }
            socket->disconnectFromServer();
            if (!show && !open) return;
            std::optional<std::string> file;
            if (open) {
                const QByteArray encoded = request.mid(int(sizeof kOpenRequest) - 1).chopped(1);
                file = QByteArray::fromPercentEncoding(encoded).toStdString();
            }
            // What the request asks for happens later, from the event loop:
            // an alert it raises runs no modal loop inside this handler.
            QMetaObject::invokeMethod(
                this,
                [this, file] {
                    emit ShowRequested();
                    if (file) emit OpenRequested(*file);
                },
                Qt::QueuedConnection);
        });
    }
}

}  // namespace tscard::app
