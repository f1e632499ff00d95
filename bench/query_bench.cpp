// One query end to end: a 1,000,000-row, 8-column result (the demo event log) opened from ktsd
// into a TZTable, against (a) SQLite stepping the same query in-process and (b) a bare loopback
// TCP transfer of the same number of bytes as the row stream. Reports rows/s, MB/s, the peak
// resident memory of the open and both ratios. The database is generated once into the build
// folder. A whole-process run: best of a few repetitions, no assertions.
//   query_bench [--rows N] [--repeat N] [--packet BYTES (ktsd's row packet size)]
#include "BenchSupport.h"
#include "DemoDatabase.h"
#include "dataclient/UZTable.h"
#include "dataclient/ZarinDatabase.h"
#include "platform/Cp1251.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace dataclient;
using bench::Clock;
using bench::resetPeak;
using bench::statusKb;

const char kQuery[] =
    "SELECT ID, EventTime, Device, Person, Mark, Code, Direction, Text FROM EventLog";

double seconds(Clock::time_point from) {
    return bench::secondsSince(from);
}

// ktsd on a free port, started with fork and exec; its first output line names the port.
class Server {
public:
    Server(const QString& db, const QByteArray& packetSize) {
        int out[2];
        if (::pipe(out))
            return;
        const QByteArray exe = VELLUMAR_BINARY_DIR "/server/ktsd";
        const QByteArray path = QFile::encodeName(db);
        FPid = ::fork();
        if (FPid == 0) {
            ::dup2(out[1], 1);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 2);  // one log line per connection would mix into the report
            ::close(out[0]);
            std::vector<const char*> argv = {exe.constData(), "--port", "0", "--db",
                                             path.constData()};
            if (!packetSize.isEmpty())
                argv.insert(argv.end(), {"--row-packet-size", packetSize.constData()});
            argv.push_back(nullptr);
            ::execv(argv[0], const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
        ::close(out[1]);
        std::string text;
        char c;
        while (text.find('\n') == std::string::npos && ::read(out[0], &c, 1) == 1)
            text += c;
        ::close(out[0]);
        static const QRegularExpression line(QStringLiteral("listening on [0-9.]+:(\\d+)"));
        const auto m = line.match(QString::fromStdString(text));
        if (m.hasMatch())
            FPort = quint16(m.captured(1).toUInt());
    }
    ~Server() {
        if (FPid > 0) {
            ::kill(FPid, SIGTERM);
            ::waitpid(FPid, nullptr, 0);
        }
    }
    quint16 port() const { return FPort; }

private:
    pid_t FPid = -1;
    quint16 FPort = 0;
};

// CPU seconds of the calling thread so far.
double threadCpu() {
    rusage u{};
    ::getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct EndToEnd {
    double seconds = 0;
    double decodeCpu = 0;  // the main thread's CPU time: decoding into the table
    int rows = 0;
    long peakKb = 0;  // resident memory added at the peak of the open
};

EndToEnd openTable(TZarinDatabase& db) {
    TZTable table;
    table.SetZDBCommand(db.DBCommand());
    table.SetSQL({kQuery});
    const long before = statusKb("VmRSS:");
    resetPeak();
    const double cpu = threadCpu();
    const auto start = Clock::now();
    table.Open();
    EndToEnd r;
    r.seconds = seconds(start);
    r.decodeCpu = threadCpu() - cpu;
    r.peakKb = statusKb("VmHWM:") - before;
    r.rows = table.RecCount();
    return r;
}

// (a): the same statement stepped in-process, every value read as the server reads it.
double stepInProcess(sqlite3* db, int* rows) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, kQuery, -1, &s, nullptr);
    const auto start = Clock::now();
    int n = 0;
    size_t sink = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        for (int k = 0; k < 8; ++k)
            if (sqlite3_column_type(s, k) == SQLITE_TEXT)
                sink += size_t(sqlite3_column_bytes(s, k));
            else
                sink += size_t(sqlite3_column_int64(s, k));
        ++n;
    }
    const double t = seconds(start);
    sqlite3_finalize(s);
    *rows = n;
    if (sink == 1)
        std::puts("");  // keeps the reads
    return t;
}

// The size of the row stream the server sends for the query: bitmap, slots, length-prefixed
// Windows-1251 text.
long long streamBytes(sqlite3* db) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, kQuery, -1, &s, nullptr);
    const int widths[8] = {4, 8, 4, 4, 4, 2, 2, 0};
    long long total = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
        total += 1;
        for (int k = 0; k < 8; ++k) {
            if (sqlite3_column_type(s, k) == SQLITE_NULL)
                continue;
            total += widths[k];
            if (k == 7)
                total += 4 + platform::toCp1251(QString::fromUtf8(reinterpret_cast<const char*>(
                                                    sqlite3_column_text(s, k))))
                                 .size();
        }
    }
    sqlite3_finalize(s);
    return total;
}

// (b): bytes pushed through a loopback TCP connection in 64 KiB writes.
double loopback(long long bytes) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener, 1);
    socklen_t n = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &n);
    std::thread sender([listener, bytes] {
        int peer = ::accept(listener, nullptr, nullptr);
        std::vector<char> block(65536, 'x');
        for (long long left = bytes; left > 0;) {
            const ssize_t w =
                ::send(peer, block.data(), size_t(std::min<long long>(left, 65536)), MSG_NOSIGNAL);
            if (w <= 0)
                break;
            left -= w;
        }
        ::close(peer);
    });
    int client = ::socket(AF_INET, SOCK_STREAM, 0);
    const auto start = Clock::now();
    ::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a);
    std::vector<char> buffer(65536);
    long long got = 0;
    while (got < bytes) {
        const ssize_t r = ::recv(client, buffer.data(), buffer.size(), 0);
        if (r <= 0)
            break;
        got += r;
    }
    const double t = seconds(start);
    ::close(client);
    sender.join();
    ::close(listener);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int rows = 1000000;
    int repeat = 3;
    QByteArray packetSize;  // ktsd's default
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--rows"))
            rows = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--repeat"))
            repeat = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--packet"))
            packetSize = argv[i + 1];
    }
    const QString path =
        QStringLiteral(VELLUMAR_BINARY_DIR "/bench/query_bench-%1.sqlite").arg(rows);
    if (!QFile::exists(path)) {
        const auto start = Clock::now();
        QString error;
        if (!demodb::BuildDemoDatabase(path, {rows, 2000}, &error)) {
            std::fprintf(stderr, "query_bench: %s\n", error.toLocal8Bit().constData());
            return 1;
        }
        std::printf("generated %s in %.2f s\n", path.toLocal8Bit().constData(), seconds(start));
    }

    sqlite3* local = nullptr;
    // Without SQLite's per-call locking, as ktsd runs it: the fastest in-process stepping.
    sqlite3_open_v2(path.toUtf8().constData(), &local, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                    nullptr);
    const long long bytes = streamBytes(local);
    double inProcess = 1e9;
    int steppedRows = 0;
    for (int i = 0; i < repeat; ++i)
        inProcess = std::min(inProcess, stepInProcess(local, &steppedRows));
    sqlite3_close(local);

    double bare = 1e9;
    for (int i = 0; i < repeat; ++i)
        bare = std::min(bare, loopback(bytes));

    Server server(path, packetSize);
    if (!server.port()) {
        std::fprintf(stderr, "query_bench: ktsd did not start\n");
        return 1;
    }
    TZarinDatabase db;
    db.SetPort(server.port());
    db.SetConnected(true);
    EndToEnd best;
    best.seconds = 1e9;
    long peak = 0;
    for (int i = 0; i < repeat; ++i) {
        const EndToEnd r = openTable(db);
        peak = std::max(peak, r.peakKb);
        if (r.seconds < best.seconds)
            best = r;
    }
    db.SetConnected(false);

    const double mb = double(bytes) / 1e6;
    std::printf("rows %d (SQLite stepped %d), 8 columns, row stream %.1f MB\n", best.rows,
                steppedRows, mb);
    std::printf("end to end (ktsd -> TZTable): %.3f s, %.0f rows/s, %.1f MB/s, peak +%.1f MB\n",
                best.seconds, best.rows / best.seconds, mb / best.seconds, double(peak) / 1024);
    std::printf("  of which the caller's thread (decoding into the table) used %.3f s of CPU\n",
                best.decodeCpu);
    std::printf("(a) SQLite stepping in-process: %.3f s, %.0f rows/s\n", inProcess,
                steppedRows / inProcess);
    std::printf("(b) bare loopback transfer:     %.3f s, %.1f MB/s\n", bare, mb / bare);
    std::printf("ratio end to end / (a): %.2f (target <= 1.5)\n", best.seconds / inProcess);
    std::printf("ratio end to end / (b): %.2f\n", best.seconds / bare);
    return 0;
}
