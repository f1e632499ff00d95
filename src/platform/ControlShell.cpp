// Client side of the control-shell line protocol. Every call is one short blocking exchange on a
// socket of its own, bounded by the caller's time-out as a whole (connect, write and read share
// it), so a shell that is hung, silent or talking nonsense costs at most that long and is simply
// "not there". Any thread; nothing is shared between calls.
#include "platform/ControlShell.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QLocalSocket>

#include <climits>
#include <optional>

#include "platform/AppPaths.h"

namespace platform {

namespace {

// Longer than any window title; a peer that sends more without a line break is not a shell.
constexpr qsizetype kMaxAnswerLength = 4096;

int remainingMs(const QDeadlineTimer& deadline) {
    return int(qBound<qint64>(0, deadline.remainingTime(), qint64(INT_MAX)));
}

// Writes everything or gives up at the deadline.
bool writeAll(QLocalSocket& socket, const QByteArray& bytes, const QDeadlineTimer& deadline) {
    if (socket.write(bytes) != bytes.size())
        return false;
    while (socket.bytesToWrite() > 0) {
        if (socket.state() != QLocalSocket::ConnectedState || deadline.hasExpired())
            return false;
        if (!socket.waitForBytesWritten(remainingMs(deadline)))
            return false;
    }
    return true;
}

// Reads up to the first '\n' (which is dropped). Nothing when the peer closes, stays silent past
// the deadline or floods us without ending the line.
std::optional<QByteArray> readLine(QLocalSocket& socket, const QDeadlineTimer& deadline) {
    QByteArray buffer;
    for (;;) {
        buffer += socket.read(kMaxAnswerLength + 1 - buffer.size());
        const qsizetype end = buffer.indexOf('\n');
        if (end >= 0)
            return buffer.left(end);
        if (buffer.size() > kMaxAnswerLength)
            return std::nullopt;
        if (socket.bytesAvailable() > 0)
            continue;
        if (socket.state() != QLocalSocket::ConnectedState || deadline.hasExpired())
            return std::nullopt;
        // A false here may still have delivered the last bytes before a close: look once more.
        if (!socket.waitForReadyRead(remainingMs(deadline)) && socket.bytesAvailable() == 0)
            return std::nullopt;
    }
}

// One request, one answer line, one connection.
std::optional<QByteArray> exchange(const QString& windowClass, const QByteArray& request,
                                   int timeoutMs) {
    const QDeadlineTimer deadline(qMax(timeoutMs, 0));
    QLocalSocket socket;
    socket.connectToServer(ControlShellLocator::socketPath(windowClass));
    if (socket.state() != QLocalSocket::ConnectedState &&
        !socket.waitForConnected(remainingMs(deadline)))
        return std::nullopt;
    if (!writeAll(socket, request, deadline))
        return std::nullopt;
    auto answer = readLine(socket, deadline);
    socket.abort();
    return answer;
}

}  // namespace

QString ControlShellLocator::socketPath(const QString& windowClass) {
    return runtimeDir() + QLatin1Char('/') + windowClass;
}

bool ControlShellLocator::findWindow(const QString& windowClass, const QString& title,
                                     int timeoutMs) {
    const auto answer = exchange(windowClass, QByteArrayLiteral("HELLO\n"), timeoutMs);
    return answer && QString::fromUtf8(*answer) == title;
}

bool ControlShellLocator::postMessage(const QString& windowClass, quint32 message, quint64 wParam,
                                      qint64 lParam, int timeoutMs) {
    const QByteArray request = "POST " + QByteArray::number(message) + ' ' +
                               QByteArray::number(wParam) + ' ' + QByteArray::number(lParam) + '\n';
    const auto answer = exchange(windowClass, request, timeoutMs);
    return answer && *answer == "OK";
}

}  // namespace platform
