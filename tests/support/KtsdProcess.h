// Test helpers for the session tests: a real ktsd on an ephemeral port of 127.0.0.1 (its log in a
// file the test can read at any moment), a bounded wait that keeps the main-thread event loop
// running so the session's posted notices arrive, and a recorder of the session's events.
#pragma once

#include "dataclient/UZClientSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <vector>

namespace testenv {

// Runs the event loop until the condition holds or the time is up; returns the condition.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

inline void pumpFor(int ms) {
    waitUntil([] { return false; }, ms);
}

// Started with fork and exec rather than QProcess: ThreadSanitizer follows a plain fork, while the
// clone-based start of QProcess leaves it reporting races that are not there.
class Ktsd {
public:
    explicit Ktsd(QStringList switches = {}) {
        QList<QByteArray> args{
            QByteArray(VELLUMAR_BINARY_DIR "/server/ktsd"), "--port", "0", "--db",
            (FDir.path() + "/ktsd.sqlite").toLocal8Bit(),   "--trace"};
        for (const QString& s : switches)
            args << s.toLocal8Bit();
        const QByteArray out = (FDir.path() + "/out.txt").toLocal8Bit();
        const QByteArray err = (FDir.path() + "/log.txt").toLocal8Bit();
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        FPid = ::fork();
        if (FPid == 0) {
            int o = ::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int e = ::open(err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(o, 1);
            ::dup2(e, 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        static const QRegularExpression line(QStringLiteral("listening on [0-9.]+:(\\d+)"));
        waitUntil(
            [&] {
                auto m = line.match(readFile("out.txt"));
                if (m.hasMatch())
                    FPort = quint16(m.captured(1).toUInt());
                return FPort != 0;
            },
            5000);
    }
    ~Ktsd() {
        if (FPid > 0) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
    }
    quint16 port() const { return FPort; }
    QString log() const { return readFile("log.txt"); }
    int count(const QString& text) const { return log().count(text); }
    bool waitForLog(const QString& text, int times = 1, int timeoutMs = 5000) const {
        return waitUntil([&] { return count(text) >= times; }, timeoutMs);
    }
    // The kinds of the packets the server received, in order, as logged by --trace.
    QList<int> kinds() const {
        static const QRegularExpression re(QStringLiteral("packet kind (-?\\d+)"));
        QList<int> out;
        for (const auto& m : re.globalMatch(log()))
            out << m.captured(1).toInt();
        return out;
    }
    // The login lines, in order.
    QStringList logins() const {
        QStringList out;
        for (const QString& line : log().split('\n'))
            if (line.contains(QStringLiteral(" login ")))
                out << line;
        return out;
    }

private:
    QString readFile(const QString& name) const {
        QFile f(FDir.path() + "/" + name);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir FDir;
    pid_t FPid = -1;
    quint16 FPort = 0;
};

// Records a session's events as short texts: connect, accept, disconnect, error:<text>.
struct EventLog {
    explicit EventLog(dataclient::TZClient& client) {
        client.OnConnect = [this](auto*) { events << "connect"; };
        client.OnAccept = [this](auto*) { events << "accept"; };
        client.OnDisconnect = [this](auto*) { events << "disconnect"; };
        client.OnError = [this](auto*, const QString& e) { events << "error:" + e; };
    }
    int count(const QString& e) const { return int(events.count(e)); }
    QStringList errors() const { return events.filter(QRegularExpression("^error:")); }
    QStringList events;
};

}  // namespace testenv
