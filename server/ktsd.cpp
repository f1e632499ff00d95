// Entry point of ktsd, the stand-in data server:
//   ktsd [--port 2001] [--db ktsd.sqlite] [--bind 127.0.0.1] [switches]
// Port 0 picks a free port. The first line on standard output names the address it listens on;
// every connection and error is logged as one line on standard error.
#include "KtsServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kUsage[] =
    "usage: ktsd [options]\n"
    "  --port N                listen on port N (default 2001; 0 picks a free port)\n"
    "  --db FILE               SQLite database file (default ktsd.sqlite)\n"
    "  --bind ADDR             listen address (default 127.0.0.1)\n"
    "  --reply-on-receive-link deliver replies on a receive link of the session\n"
    "  --session-flags N       first byte of the answer to kind 33 (default 2: send 32 first)\n"
    "  --trace                 log every packet received\n"
    "fault switches:\n"
    "  --refuse-login          answer logins with 265 and Final 0\n"
    "  --login-delay MS        wait MS milliseconds before answering a login\n"
    "  --close-after N         close each link after it received N packets (login included)\n"
    "  --corrupt-login WHAT    spoil the login reply: checksum|length|check|name|huge\n"
    "  --silent                answer the login, then nothing\n"
    "  --answer-kind N         answer every request with kind N\n"
    "  --row-packet-size N     payload bytes of a result row packet (default 65536)\n"
    "  --rows-out-of-order     send a result's packets last first (rows before header)\n"
    "  --cut-row               end every result stream inside its last row\n"
    "  --drop-after-rows N     close a link after it sent N result row packets\n";

bool number(const char* text, long low, long high, long* out) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno || !end || *end || value < low || value > high)
        return false;
    *out = value;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    ktsd::Options options;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long n = 0;
        auto needs = [&](bool ok) {
            if (!ok) {
                std::fprintf(stderr, "ktsd: bad or missing value for %s\n%s", arg, kUsage);
                std::exit(2);
            }
            ++i;
        };
        if (!std::strcmp(arg, "--port")) {
            needs(value && number(value, 0, 65535, &n));
            options.port = uint16_t(n);
        } else if (!std::strcmp(arg, "--db")) {
            needs(value != nullptr);
            options.database = QString::fromLocal8Bit(value);
        } else if (!std::strcmp(arg, "--bind")) {
            needs(value != nullptr);
            options.bind = QString::fromLatin1(value);
        } else if (!std::strcmp(arg, "--reply-on-receive-link")) {
            options.replyOnReceiveLink = true;
        } else if (!std::strcmp(arg, "--session-flags")) {
            needs(value && number(value, 0, 255, &n));
            options.sessionFlags = uint8_t(n);
        } else if (!std::strcmp(arg, "--trace")) {
            options.trace = true;
        } else if (!std::strcmp(arg, "--refuse-login")) {
            options.refuseLogin = true;
        } else if (!std::strcmp(arg, "--login-delay")) {
            needs(value && number(value, 0, 60000, &n));
            options.loginDelayMs = int(n);
        } else if (!std::strcmp(arg, "--close-after")) {
            needs(value && number(value, 1, 1000000, &n));
            options.closeAfter = int(n);
        } else if (!std::strcmp(arg, "--corrupt-login")) {
            static const char* kinds[] = {"checksum", "length", "check", "name", "huge"};
            bool known = false;
            for (const char* k : kinds)
                known = known || (value && !std::strcmp(value, k));
            needs(known);
            options.corruptLogin = QString::fromLatin1(value);
        } else if (!std::strcmp(arg, "--silent")) {
            options.silent = true;
        } else if (!std::strcmp(arg, "--answer-kind")) {
            needs(value && number(value, INT32_MIN, INT32_MAX, &n));
            options.answerKind = int32_t(n);
        } else if (!std::strcmp(arg, "--row-packet-size")) {
            needs(value && number(value, 1, 16 * 1024 * 1024, &n));
            options.rowPacketSize = int(n);
        } else if (!std::strcmp(arg, "--rows-out-of-order")) {
            options.rowsOutOfOrder = true;
        } else if (!std::strcmp(arg, "--cut-row")) {
            options.cutRow = true;
        } else if (!std::strcmp(arg, "--drop-after-rows")) {
            needs(value && number(value, 1, 1000000, &n));
            options.dropAfterRows = int(n);
        } else if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "ktsd: unknown option %s\n%s", arg, kUsage);
            return 2;
        }
    }
    ktsd::Server server(options);
    QString error;
    if (!server.Start(&error)) {
        ktsd::log(error);
        return 1;
    }
    std::printf("ktsd listening on %s:%u\n", options.bind.toLatin1().constData(),
                unsigned(server.BoundPort()));
    std::fflush(stdout);
    server.Run();
    return 1;
}
