// The stand-in control shell's window and its side of the line protocol (see
// platform/ControlShell.h). UI thread only.
#include "ShellWindow.h"

#include <QDir>
#include <QListWidget>
#include <QLocalServer>
#include <QLocalSocket>

#include <cstdio>

#include "platform/AppPaths.h"
#include "platform/ControlShell.h"

namespace {

// Requests are a few dozen bytes; a client that sends more without a line break is dropped.
constexpr qint64 kMaxRequestLength = 4096;

}  // namespace

ShellWindow::ShellWindow(const ShellOptions& options, QWidget* parent)
    : QMainWindow(parent),
      FOptions(options),
      FMessages(new QListWidget(this)),
      FServer(new QLocalServer(this)) {
    setWindowTitle(FOptions.title);
    setCentralWidget(FMessages);
    resize(520, 320);
    connect(FServer, &QLocalServer::newConnection, this, &ShellWindow::acceptConnections);
}

QString ShellWindow::socketPath() const {
    return platform::ControlShellLocator::socketPath(FOptions.windowClass);
}

QString ShellWindow::start() {
    if (!FOptions.logPath.isEmpty()) {
        FLog.setFileName(FOptions.logPath);
        if (!FLog.open(QIODevice::WriteOnly | QIODevice::Append))
            return QStringLiteral("cannot open log %1: %2")
                .arg(FOptions.logPath, FLog.errorString());
    }

    const QString path = socketPath();
    QDir().mkpath(platform::runtimeDir());
    // A socket file left by a shell that died is removed; a live shell keeps its socket.
    QLocalSocket probe;
    probe.connectToServer(path);
    if (probe.waitForConnected(500))
        return QStringLiteral("another shell is already listening on %1").arg(path);
    QLocalServer::removeServer(path);
    if (!FServer->listen(path))
        return QStringLiteral("cannot listen on %1: %2").arg(path, FServer->errorString());
    return {};
}

void ShellWindow::acceptConnections() {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(socket); });
        if (socket->bytesAvailable() > 0)
            serve(socket);
    }
}

void ShellWindow::serve(QLocalSocket* socket) {
    if (FOptions.silent) {
        socket->readAll();  // keep the connection open and the buffers empty, say nothing
        return;
    }
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequestLength)
            socket->abort();
        return;
    }
    QByteArray request = socket->readLine(kMaxRequestLength);
    request.chop(1);  // the '\n'
    socket->write(answer(request));
    socket->disconnectFromServer();  // one request per connection; pending bytes go out first
}

QByteArray ShellWindow::answer(const QByteArray& request) {
    if (request == "HELLO")
        return FOptions.title.toUtf8() + '\n';

    const QList<QByteArray> parts = request.split(' ');
    if (parts.size() == 4 && parts[0] == "POST") {
        bool okMessage = false, okW = false, okL = false;
        const quint32 message = parts[1].toUInt(&okMessage);
        const quint64 wParam = parts[2].toULongLong(&okW);
        const qint64 lParam = parts[3].toLongLong(&okL);
        if (okMessage && okW && okL) {
            record(QStringLiteral("message %1 wParam=%2 lParam=%3")
                       .arg(message)
                       .arg(wParam)
                       .arg(lParam));
            return "OK\n";
        }
    }
    return "ERR\n";
}

// The log line is on disk before the client hears "OK", so a test may read it at once.
void ShellWindow::record(const QString& line) {
    FMessages->addItem(line);
    FMessages->scrollToBottom();
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
    if (FLog.isOpen()) {
        FLog.write(bytes);
        FLog.flush();
    }
}
