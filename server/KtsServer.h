// ktsd, the stand-in data server: accepts links on 127.0.0.1, groups them into sessions by the
// GUID of their login, answers exactly one packet for each packet received on a request link, and
// can be told to misbehave (one switch per fault) so that the client's failure paths are tested
// against a real peer. Request handling goes through one dispatch table (KtsDispatch.cpp).
//
// Thread contract: one thread accepts; each connection has its own thread, and a query on a
// request link runs on a thread of its own that sends the replies as they are made, while the
// connection's thread keeps reading the polls (RequestAnswers in KtsServer.cpp). Options are
// constant after start. The session table is guarded by FSessionsLock; a session's pending replies
// and receive links by its own lock; each link's writes by its write lock.
#pragma once

#include "dataclient/UZPacket.h"
#include "dataclient/UZarinTCPConnection.h"

#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

struct sqlite3;

namespace ktsd {

using dataclient::PacketPtr;

struct Options {
    QString bind = QStringLiteral("127.0.0.1");
    uint16_t port = 2001;
    QString database = QStringLiteral("ktsd.sqlite");
    bool replyOnReceiveLink = false;  // replies travel on a receive link; the request link gets 268
    uint8_t sessionFlags = 0x02;      // first byte of the kind-150 reply
    bool trace = false;               // one log line per packet received
    // Fault switches.
    bool refuseLogin = false;
    int loginDelayMs = 0;               // pause before answering a login
    int closeAfter = 0;                 // close each link after this many received packets
    QString corruptLogin;               // checksum | length | check | name | huge
    bool silent = false;                // answer the login, then nothing
    std::optional<int32_t> answerKind;  // answer every request with this kind
    int rowPacketSize = 65536;          // payload bytes of a 134 packet
    bool rowsOutOfOrder = false;        // send a result's replies last first
    bool cutRow = false;                // end every result stream inside its last row
    int dropAfterRows = 0;              // close a link after it sent this many 134 packets
};

// A link of a session that replies can be pushed to (a receive link).
struct Link {
    explicit Link(std::unique_ptr<dataclient::TZarinTCPConnection> c) : connection(std::move(c)) {}
    bool Send(const dataclient::Packet& packet);

    std::unique_ptr<dataclient::TZarinTCPConnection> connection;  // constant after construction
    std::mutex writeLock;
};

struct Session {
    std::mutex lock;
    int logins = 0;                              // guarded by lock
    std::deque<PacketPtr> pending;               // guarded by lock
    std::vector<std::weak_ptr<Link>> receivers;  // guarded by lock
};

// What one request produces: the replies, in order (each already carries the request's chain).
using Handler = std::function<std::vector<PacketPtr>(const dataclient::Packet& request)>;

class Server {
public:
    explicit Server(Options options);
    ~Server();

    // Opens the database (a failure is logged; queries then answer -3) and the listening socket;
    // false with a message when it cannot listen.
    bool Start(QString* error);
    uint16_t BoundPort() const { return FBoundPort; }
    // Accepts links until the process ends.
    void Run();

    // A reply of the given kind carrying the request's chain (Final 255, Sequence 1).
    PacketPtr Reply(const dataclient::Packet& request, int32_t kind,
                    const QByteArray& payload = {}) const;
    const Options& options() const { return FOptions; }
    // Hands one reply packet to the link; false when the link is gone.
    using PacketSink = std::function<bool(PacketPtr)>;
    // The replies to a query request (kinds 5, 29, 30). With a sink, the replies that can go out
    // while the query still runs go there (KtsQuery.h says which); the rest is returned.
    std::vector<PacketPtr> Query(const dataclient::Packet& request,
                                 const PacketSink* sink = nullptr) const;

private:
    void Serve(int socket, int number, QString peer);
    // Whether a request on a request link has its query answered while it runs: not when a fault
    // switch counts or redirects the packets.
    bool Streams(const dataclient::Packet& request) const;
    std::vector<PacketPtr> Dispatch(const dataclient::Packet& request) const;
    PacketPtr LoginReply(bool accepted, int32_t kind) const;
    // Sends the replies on a receive link of the session; false (nothing consumed) without one.
    bool PushToReceiver(Session& session, std::vector<PacketPtr>& replies);
    std::shared_ptr<Session> Join(const std::array<uint8_t, 16>& guid, bool* first);

    // Constant after Start.
    const Options FOptions;
    std::map<int32_t, Handler> FHandlers;
    int FListener = -1;
    uint16_t FBoundPort = 0;
    sqlite3* FDatabase = nullptr;   // none when it could not be opened: queries answer -3
    mutable std::mutex FQueryLock;  // one statement at a time on FDatabase

    std::mutex FSessionsLock;
    std::map<std::array<uint8_t, 16>, std::weak_ptr<Session>> FSessions;  // guarded
    std::atomic<int> FNextNumber{1};

    friend void installHandlers(Server& server);
};

void installHandlers(Server& server);
void log(const QString& line);

}  // namespace ktsd
