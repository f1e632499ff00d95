// The engine of a client session: the state shared by the session component and its worker
// threads, the link threads that each hold one connection to the data server, the keep-alive
// thread, the outgoing queue, and the routing of replies to the command that asked.
//
// Thread contract:
//  - SessionCore is shared (std::shared_ptr) by the main-thread TZClient and every worker, so a
//    worker that outlives a deactivation's bounded wait never touches freed memory.
//  - FLock guards all session state below; workers take it for short steps and, in a link's
//    connection step, for the duration of the connection attempt.
//  - A link's WriteLock serialises writes on its connection; nobody waits for FLock while holding
//    a WriteLock.
//  - Workers report to the main thread only by posting (Notify); they never wait on it.
#pragma once

#include "dataclient/UZAutoResetEvent.h"
#include "dataclient/UZPacket.h"
#include "dataclient/UZarinAbstracts.h"

#include <QPointer>
#include <QString>

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace dataclient {

class TZAbstractCommand;
class TClientLink;

enum class TSyncWait : uint8_t { swConnect = 0, swAccept = 1 };

// What a worker tells the main thread (the first parameter of the session's notification).
enum class SessionNotice : int { Connected = 0, Disconnected = 1, Error = 2, Accepted = 3 };

using SessionGuid = std::array<uint8_t, 16>;

class SessionCore {
public:
    SessionCore();

    std::recursive_mutex FLock;

    // Guarded by FLock: settings, written by the main thread, read by the workers.
    TZarinClientConnectionFactory* FFactory = nullptr;
    ClientNameField FClientName{};
    uint8_t FClientType = 0;
    QByteArray FPassWord;  // code page 1251, at most 9 bytes
    uint16_t FTimeControlOut = 5;
    uint16_t FTimeControlIn = 20;
    bool FDisconnectOnError = true;
    bool FAsyncConnect = true;
    TSyncWait FSyncWait = TSyncWait::swConnect;
    int FReconnectPauseMs = -1;  // < 0: the protocol's rule from TimeControlOut

    // Guarded by FLock: state.
    bool FActive = false;
    bool FConnected = false;
    bool FAccepted = false;
    int FLinkCount = 0;
    SessionGuid FSessionGuid{};
    std::deque<PacketPtr> FQueue;  // front is the head (newest)
    struct CommandEntry {
        uint32_t id;
        TZAbstractCommand* command;
    };
    std::vector<CommandEntry> FCommands;  // registration order
    uint32_t FNextCommandId = 1;
    std::vector<std::shared_ptr<TClientLink>> FLinks;  // creation order; 0 is the request link

    // Time stamps (steady clock, milliseconds); written without FLock by sending and receiving.
    std::atomic<int64_t> FLastSend{0};
    std::atomic<int64_t> FLastReceive{0};

    AutoResetEvent FConnectEvent;

    // Notices waiting for the main thread, and the descriptor that wakes the session window
    // (-1 once the window is gone). A plain descriptor write wakes the main thread without
    // handing any memory through the event loop.
    std::mutex FNoticeLock;
    std::deque<std::pair<int, QString>> FNotices;  // guarded by FNoticeLock
    int FWakeFd = -1;                              // guarded by FNoticeLock

    // Link threads that have not finished yet; the deactivation waits on it.
    std::mutex FThreadsLock;
    std::condition_variable FThreadsDone;
    int FRunningThreads = 0;  // guarded by FThreadsLock

    static int64_t Now();
    void NewSessionGuid();
    // Posts a notification to the session window (dropped once the window is gone).
    void Notify(SessionNotice notice, const QString& text = {});
};

// A packet in request form with the session's client name and a random key.
PacketPtr BuildPacket(SessionCore& session, int32_t kind, const QByteArray& payload = {});
// Hands the packet to an idle sending link or queues it; caller holds FLock.
void PostPacket(SessionCore& session, PacketPtr packet);
// Removes and returns the queued packet to send next, or none; caller holds FLock.
PacketPtr TakePacket(SessionCore& session);
// Delivers a reply to its command by the last chain entry; takes FLock.
void RoutePacket(SessionCore& session, PacketPtr packet);
void PostError(SessionCore& session, const QString& text);
// Both callers hold FLock.
void ClearQueue(SessionCore& session);
void AbortCommands(SessionCore& session);

class TClientLink : public std::enable_shared_from_this<TClientLink> {
public:
    TClientLink(std::shared_ptr<SessionCore> session, uint8_t mode);
    ~TClientLink();

    void Start();
    // Asks the thread to end; caller holds FLock.
    void Terminate();
    bool Finished() const { return FFinished.load(); }
    std::thread& Thread() { return FThread; }

    bool SendPacket(Packet& packet);
    PacketPtr ReceivePacket();

    // Constant after construction.
    const std::shared_ptr<SessionCore> FSession;
    const uint8_t Mode;

    // Guarded by FSession->FLock.
    std::unique_ptr<TZarinAbstractConnection> Connection;
    bool Idle = false;
    bool RenewGuid = false;
    PacketPtr Outgoing;

    // Read without FLock by the link's own loops.
    std::atomic<bool> Stopping{false};
    std::atomic<bool> Hold{false};
    std::atomic<bool> Terminated{false};

    AutoResetEvent WakeEvent;
    std::mutex WriteLock;

private:
    void Run();
    bool Connect();
    bool Login();
    void Converse();
    void ConverseRequest();
    void ConverseSend();
    void TearDown();
    void SleepWhile(const std::function<bool()>& condition);
    void PauseBeforeReconnect();
    // Waits for a packet to send: taken from the queue or handed over by PostPacket.
    PacketPtr AwaitOutgoing();
    void PutBack(PacketPtr packet);

    std::thread FThread;
    std::atomic<bool> FFinished{false};
};

// Watches the silence in both directions once a second.
class TClientLive {
public:
    explicit TClientLive(std::shared_ptr<SessionCore> session);
    ~TClientLive();  // terminates and joins

private:
    void Run();
    void Check();

    // Constant after construction.
    const std::shared_ptr<SessionCore> FSession;
    // Owned by the keep-alive thread.
    int DownSeconds = 0;

    std::mutex FStopLock;
    std::condition_variable FStopSignal;
    bool FStop = false;  // guarded by FStopLock
    std::thread FThread;
};

}  // namespace dataclient
