// Round trips per second of an empty request (kind 31 -> reply) through a client session talking
// to ktsd, against a bare loopback TCP ping-pong of 66-byte messages measured in the same run.
// The session's cost over the bare exchange is the hand-over between the caller and the request
// link's thread plus packet building, checking and routing.
#include "dataclient/UZClientSession.h"
#include "dataclient/UZCommands.h"
#include "dataclient/UZarinTCPConnection.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

using namespace dataclient;

namespace {

bool readExact(int socket, char* buffer, size_t count) {
    size_t have = 0;
    while (have < count) {
        ssize_t n = ::recv(socket, buffer + have, count - have, 0);
        if (n <= 0)
            return false;
        have += size_t(n);
    }
    return true;
}

void noDelay(int socket) {
    int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void BM_LoopbackPingPong(benchmark::State& state) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener, 1);
    socklen_t n = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &n);
    std::thread echo([listener] {
        int peer = ::accept(listener, nullptr, nullptr);
        noDelay(peer);
        char message[66];
        while (readExact(peer, message, sizeof message))
            if (::send(peer, message, sizeof message, MSG_NOSIGNAL) != sizeof message)
                break;
        ::close(peer);
    });
    int client = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a);
    noDelay(client);
    char message[66] = {};
    for (auto _ : state) {
        ::send(client, message, sizeof message, MSG_NOSIGNAL);
        if (!readExact(client, message, sizeof message)) {
            state.SkipWithError("echo failed");
            break;
        }
    }
    ::shutdown(client, SHUT_RDWR);
    ::close(client);
    echo.join();
    ::close(listener);
    state.counters["round_trips_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_SessionEmptyRequest(benchmark::State& state) {
    QTemporaryDir dir;
    QProcess server;
    server.setProgram(QStringLiteral(VELLUMAR_BINARY_DIR "/server/ktsd"));
    server.setArguments({"--port", "0", "--db", dir.path() + "/bench.sqlite"});
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start();
    quint16 port = 0;
    static const QRegularExpression line(QStringLiteral("listening on [0-9.]+:(\\d+)"));
    QByteArray out;
    for (int i = 0; i < 50 && port == 0; ++i) {
        server.waitForReadyRead(100);
        out += server.readAllStandardOutput();
        auto m = line.match(QString::fromLatin1(out));
        if (m.hasMatch())
            port = quint16(m.captured(1).toUInt());
    }
    if (port == 0) {
        state.SkipWithError("ktsd did not start");
        return;
    }
    TZarinTCPClientConnectionFactory factory;
    factory.SetPort(port);
    TZClient client;
    client.SetConnectionFactory(&factory);
    client.SetAsyncConnect(false);
    client.SetSyncWait(TSyncWait::swAccept);
    client.SetActive(true);
    TZDBCommand command;
    command.SetZClient(&client);
    if (!client.IsAccepted()) {
        state.SkipWithError("no session");
        return;
    }
    for (auto _ : state) {
        PacketPtr reply = command.ExecuteDirect(31);
        if (!reply) {
            state.SkipWithError("no reply");
            break;
        }
        benchmark::DoNotOptimize(reply);
    }
    client.SetActive(false);
    server.kill();
    server.waitForFinished(3000);
    state.counters["round_trips_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_LoopbackPingPong)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_SessionEmptyRequest)->MinTime(2.0)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
