// ktsd: listener, sessions, links and the fault switches.
#include "KtsServer.h"

#include "KtsQuery.h"
#include "platform/Cp1251.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace ktsd {

using namespace dataclient;

namespace {

std::mutex gLogLock;

QString guidText(const std::array<uint8_t, 16>& g) {
    // The binary GUID layout: a 32-bit, two 16-bit little-endian fields, then 8 bytes.
    return QStringLiteral("{%1-%2-%3-%4-%5}")
        .arg(getU32(g.data()), 8, 16, QLatin1Char('0'))
        .arg(getU16(g.data() + 4), 4, 16, QLatin1Char('0'))
        .arg(getU16(g.data() + 6), 4, 16, QLatin1Char('0'))
        .arg(
            QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(g.data() + 8), 2).toHex()))
        .arg(QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(g.data() + 10), 6).toHex()))
        .toUpper();
}

const ClientNameField& serverName() {
    static const ClientNameField name = makeClientNameField(QStringLiteral("KTS"));
    return name;
}

// The answers of a request link: exactly one packet for every packet received, overall. A
// query is answered while it runs: its replies go out as they are made, ahead of the polls that
// will ask for them, so rows travel while later ones are still read. Owed counts the packets
// received and not yet answered; below zero they were answered ahead, and the polls that arrive
// for them are only counted.
// Thread contract: the link's thread calls Received and StreamStarted; the stream's thread
// StreamSent and StreamEnded. While a stream runs only its thread sends.
class RequestAnswers {
public:
    RequestAnswers(Link& link, Session& session) : FLink(link), FSession(session) {}

    // A packet arrived (its replies, if any, are already pending): answers it unless the running
    // stream or an earlier answer covers it. False when the link failed; *sent is the answer.
    bool Received(PacketPtr* sent) {
        std::lock_guard guard(FLock);
        ++FOwed;
        if (FStreaming || FOwed <= 0)
            return true;
        --FOwed;
        *sent = takeAnswer();
        return FLink.Send(**sent);
    }
    // A query arrived whose replies will be sent as they are made.
    void StreamStarted() {
        std::lock_guard guard(FLock);
        ++FOwed;
        FStreaming = true;
    }
    bool StreamSent(const Packet& reply) {
        {
            std::lock_guard guard(FLock);
            --FOwed;
        }
        return FLink.Send(reply);
    }
    // The stream's last reply went out: what is still owed is answered now.
    void StreamEnded() {
        std::lock_guard guard(FLock);
        FStreaming = false;
        for (; FOwed > 0; --FOwed)
            if (!FLink.Send(*takeAnswer()))
                return;
    }

private:
    // The next packet of the session, or 268 when nothing is pending.
    PacketPtr takeAnswer() {
        {
            std::lock_guard guard(FSession.lock);
            if (!FSession.pending.empty()) {
                PacketPtr next = std::move(FSession.pending.front());
                FSession.pending.pop_front();
                return next;
            }
        }
        return buildPacket(serverName(), wire::kNothingPending, {}, randomKey());
    }

    Link& FLink;
    Session& FSession;
    std::mutex FLock;
    int FOwed = 0;            // guarded by FLock
    bool FStreaming = false;  // guarded by FLock
};

}  // namespace

void log(const QString& line) {
    std::lock_guard guard(gLogLock);
    std::fprintf(stderr, "ktsd: %s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

bool Link::Send(const Packet& packet) {
    std::lock_guard guard(writeLock);
    return connection->Write(packet.Data(), packet.Size()) == packet.Size();
}

Server::Server(Options options) : FOptions(std::move(options)) {
    installHandlers(*this);
}

Server::~Server() {
    if (FListener >= 0)
        ::close(FListener);
    if (FDatabase)
        sqlite3_close(FDatabase);
}

bool Server::Start(QString* error) {
    // FQueryLock serialises every use of the connection, so SQLite's own per-call locking is
    // only cost (it shows on every column of every row).
    if (sqlite3_open_v2(FOptions.database.toUtf8().constData(), &FDatabase,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        // The real server keeps serving logins when its database is away; so does ktsd.
        log(QStringLiteral("cannot open database %1: %2")
                .arg(FOptions.database, QString::fromUtf8(sqlite3_errmsg(FDatabase))));
        sqlite3_close(FDatabase);
        FDatabase = nullptr;
    } else {
        // Large results read the file straight from the page cache instead of a read call per
        // page.
        sqlite3_exec(FDatabase, "PRAGMA mmap_size = 1073741824", nullptr, nullptr, nullptr);
    }
    FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    int on = 1;
    ::setsockopt(FListener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(FOptions.port);
    if (::inet_pton(AF_INET, FOptions.bind.toUtf8().constData(), &address.sin_addr) != 1) {
        *error = QStringLiteral("bad bind address %1").arg(FOptions.bind);
        return false;
    }
    if (::bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 ||
        ::listen(FListener, 64) < 0) {
        *error = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(FOptions.bind)
                     .arg(FOptions.port)
                     .arg(QString::fromUtf8(std::strerror(errno)));
        return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length);
    FBoundPort = ntohs(address.sin_port);
    return true;
}

void Server::Run() {
    for (;;) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        int socket =
            ::accept4(FListener, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (socket < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE) {
                if (errno == EMFILE || errno == ENFILE)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                continue;
            }
            log(QStringLiteral("accept failed: %1").arg(QString::fromUtf8(std::strerror(errno))));
            return;
        }
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        QString who =
            QStringLiteral("%1:%2").arg(QString::fromLatin1(text)).arg(ntohs(peer.sin_port));
        std::thread([this, socket, number = FNextNumber++, who] {
            Serve(socket, number, who);
        }).detach();
    }
}

PacketPtr Server::Reply(const Packet& request, int32_t kind, const QByteArray& payload) const {
    PacketPtr reply = buildPacket(serverName(), kind, payload, randomKey());
    reply->CopyChain(request);
    return reply;
}

PacketPtr Server::LoginReply(bool accepted, int32_t kind) const {
    const QString& fault = FOptions.corruptLogin;
    // The checksum fault needs a payload byte to spoil.
    PacketPtr reply = buildPacket(
        serverName(), kind, fault == "checksum" ? QByteArray("x") : QByteArray(), randomKey());
    reply->SetFinal(accepted ? wire::kFinalMark : 0);
    if (fault == "checksum") {
        reply->Payload()[0] ^= 0x10;
    } else if (fault == "length") {
        reply->SetLengthField(wire::kHeaderSize - 1);
        reply->SetCheck(int32_t(wire::kHeaderSize - 1 + wire::kCheckMagic));
    } else if (fault == "check") {
        reply->SetCheck(reply->Check() + 1);
    } else if (fault == "name") {
        reply->Data()[wire::kOffClientName] = wire::kMaxClientName + 1;
    } else if (fault == "huge") {
        const int32_t huge = 1 << 30;
        reply->SetLengthField(huge);
        reply->SetCheck(int32_t(huge + wire::kCheckMagic));
    }
    return reply;
}

std::vector<PacketPtr> Server::Dispatch(const Packet& request) const {
    const int32_t kind = request.Kind();
    const bool housekeeping = kind == wire::kKeepAlive || kind == wire::kPoll;
    if (FOptions.answerKind && !housekeeping) {
        const int32_t answer = *FOptions.answerKind;
        std::vector<PacketPtr> out;
        out.push_back(Reply(request, answer,
                            wire::errorCarriesText(answer)
                                ? encodeErrorRecord(QStringLiteral("отказ ktsd"))
                                : QByteArray()));
        return out;
    }
    auto handler = FHandlers.find(kind);
    if (handler == FHandlers.end()) {
        std::vector<PacketPtr> out;
        out.push_back(Reply(request, -4));
        return out;
    }
    return handler->second(request);
}

std::vector<PacketPtr> Server::Query(const Packet& request, const PacketSink* sink) const {
    std::vector<PacketPtr> out;
    if (!FDatabase) {
        out.push_back(Reply(request, -3));
        return out;
    }
    QueryOptions options;
    options.rowPacketSize = FOptions.rowPacketSize;
    options.rowsOutOfOrder = FOptions.rowsOutOfOrder;
    options.cutRow = FOptions.cutRow;
    auto packet = [&](const ReplyPart& part) {
        PacketPtr reply = Reply(request, part.kind, part.payload);
        reply->SetSequence(part.sequence);
        reply->SetFinal(part.final ? wire::kFinalMark : 0);
        return reply;
    };
    const ReplySink toLink = [&](ReplyPart&& part) { return (*sink)(packet(part)); };
    std::vector<ReplyPart> parts;
    {
        std::lock_guard guard(FQueryLock);
        parts = runQuery(FDatabase, request.PayloadBytes(), options, sink ? &toLink : nullptr);
    }
    for (const ReplyPart& part : parts)
        out.push_back(packet(part));
    return out;
}

bool Server::Streams(const Packet& request) const {
    const int32_t kind = request.Kind();
    return (kind == wire::kQuery || kind == wire::kQueryRepair || kind == wire::kExecRepair) &&
           !FOptions.answerKind && !FOptions.replyOnReceiveLink && FOptions.closeAfter == 0 &&
           FOptions.dropAfterRows == 0;
}

std::shared_ptr<Session> Server::Join(const std::array<uint8_t, 16>& guid, bool* first) {
    std::lock_guard guard(FSessionsLock);
    auto& slot = FSessions[guid];
    auto session = slot.lock();
    if (!session) {
        session = std::make_shared<Session>();
        slot = session;
    }
    std::lock_guard sessionGuard(session->lock);
    *first = session->logins++ == 0;
    // Forget sessions whose links are all gone.
    for (auto it = FSessions.begin(); it != FSessions.end();)
        it = it->second.expired() ? FSessions.erase(it) : std::next(it);
    return session;
}

bool Server::PushToReceiver(Session& session, std::vector<PacketPtr>& replies) {
    std::shared_ptr<Link> receiver;
    {
        std::lock_guard guard(session.lock);
        for (auto& weak : session.receivers)
            if ((receiver = weak.lock()))
                break;
    }
    if (!receiver)
        return false;
    for (auto& reply : replies)
        receiver->Send(*reply);
    replies.clear();
    return true;
}

void Server::Serve(int socket, int number, QString peer) {
    auto link = std::make_shared<Link>(std::make_unique<TZarinTCPConnection>(socket, 65536));
    const QString tag = QStringLiteral("#%1").arg(number);
    log(QStringLiteral("%1 connection from %2").arg(tag, peer));
    int received = 0;
    int rowsSent = 0;
    auto readOne = [&]() -> PacketPtr {
        ReadOutcome in = readPacket(*link->connection);
        if (!in.packet) {
            if (in.fault != ReadFault::Connection)
                log(QStringLiteral("%1 bad packet: %2").arg(tag, in.error));
            return nullptr;
        }
        ++received;
        if (FOptions.trace)
            log(QStringLiteral("%1 packet kind %2").arg(tag).arg(in.packet->Kind()));
        return std::move(in.packet);
    };
    auto closing = [&] { return FOptions.closeAfter > 0 && received >= FOptions.closeAfter; };

    PacketPtr login = readOne();
    LoginRecord record;
    if (!login || login->Kind() != wire::kLogin ||
        !decodeLoginRecord(login->PayloadBytes(), &record)) {
        log(QStringLiteral("%1 closed before a valid login").arg(tag));
        return;
    }
    bool first = false;
    std::shared_ptr<Session> session = Join(record.guid, &first);
    const int32_t answer = first ? wire::kLoginAccepted : wire::kLoginAcceptedAgain;
    const bool accepting = !FOptions.refuseLogin && FOptions.corruptLogin.isEmpty();
    // A receive link takes replies from the moment its login is logged, so that nothing the
    // client asks once it sees the link accepted can miss it.
    if (accepting && record.mode == wire::kModeReceive) {
        std::lock_guard guard(session->lock);
        session->receivers.push_back(link);
    }
    log(QStringLiteral("%1 login mode=%2 type=%3 guid=%4 name=\"%5\" password=\"%6\" -> %7")
            .arg(tag)
            .arg(record.mode)
            .arg(record.clientType)
            .arg(guidText(record.guid))
            .arg(platform::fromCp1251(login->ClientName()))
            .arg(platform::fromCp1251(record.password))
            .arg(FOptions.refuseLogin ? QStringLiteral("refused") : QString::number(answer)));
    if (FOptions.loginDelayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(FOptions.loginDelayMs));
    if (!link->Send(*LoginReply(!FOptions.refuseLogin, answer)) || !accepting) {
        log(QStringLiteral("%1 closed after login").arg(tag));
        return;
    }
    RequestAnswers answers(*link, *session);
    std::thread producer;  // the running stream's, if any
    while (!closing()) {
        PacketPtr request = readOne();
        if (!request)
            break;
        if (closing())
            break;
        if (FOptions.silent || request->Kind() == wire::kGoodbye)
            continue;
        if (record.mode == wire::kModeRequest && Streams(*request)) {
            if (producer.joinable())
                producer.join();  // the previous stream has been sent in full
            answers.StreamStarted();
            producer = std::thread([this, &answers, request = std::move(request)] {
                const PacketSink send = [&](PacketPtr reply) { return answers.StreamSent(*reply); };
                for (auto& reply : Query(*request, &send))
                    if (!send(std::move(reply)))
                        return;
                answers.StreamEnded();
            });
            continue;
        }
        std::vector<PacketPtr> replies = Dispatch(*request);
        if (record.mode != wire::kModeRequest) {
            if (!PushToReceiver(*session, replies)) {
                std::lock_guard guard(session->lock);
                for (auto& reply : replies)
                    session->pending.push_back(std::move(reply));
            }
            continue;
        }
        // Exactly one packet answers each packet of a request link.
        if (FOptions.replyOnReceiveLink && !replies.empty())
            PushToReceiver(*session, replies);
        {
            std::lock_guard guard(session->lock);
            for (auto& reply : replies)
                session->pending.push_back(std::move(reply));
        }
        PacketPtr answerPacket;
        if (!answers.Received(&answerPacket))
            break;
        if (answerPacket && answerPacket->Kind() == wire::kResultRows &&
            FOptions.dropAfterRows > 0 && ++rowsSent >= FOptions.dropAfterRows) {
            log(QStringLiteral("%1 dropped after %2 row packets").arg(tag).arg(rowsSent));
            break;
        }
    }
    if (producer.joinable()) {
        link->connection->Close();  // a stream still being sent stops at its next packet
        producer.join();
    }
    log(QStringLiteral("%1 closed after %2 packets").arg(tag).arg(received));
}

}  // namespace ktsd
