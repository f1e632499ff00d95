// Link threads, keep-alive thread, queue and routing of a client session.
#include "dataclient/UZClientLinks.h"

#include "dataclient/UZCommands.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>

namespace dataclient {

using namespace std::chrono_literals;

namespace {

constexpr auto kSleepStep = 100ms;

int64_t elapsedWholeSeconds(int64_t since) {
    return (SessionCore::Now() - since) / 1000;
}

}  // namespace

SessionCore::SessionCore() {
    FLastSend = FLastReceive = Now();
}

int64_t SessionCore::Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SessionCore::NewSessionGuid() {
    thread_local std::mt19937_64 engine{std::random_device{}()};
    for (size_t i = 0; i < FSessionGuid.size(); i += 8) {
        uint64_t r = engine();
        for (size_t k = 0; k < 8; ++k)
            FSessionGuid[i + k] = uint8_t(r >> (8 * k));
    }
    // Version 4, variant 1, as a freshly made GUID would be.
    FSessionGuid[7] = uint8_t((FSessionGuid[7] & 0x0F) | 0x40);
    FSessionGuid[8] = uint8_t((FSessionGuid[8] & 0x3F) | 0x80);
}

void SessionCore::Notify(SessionNotice notice, const QString& text) {
    std::lock_guard guard(FNoticeLock);
    if (FWakeFd < 0)
        return;
    FNotices.emplace_back(int(notice), text);
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(FWakeFd, &one, sizeof one);
}

PacketPtr BuildPacket(SessionCore& session, int32_t kind, const QByteArray& payload) {
    ClientNameField name;
    {
        std::lock_guard guard(session.FLock);
        name = session.FClientName;
    }
    return buildPacket(name, kind, payload, randomKey());
}

void PostPacket(SessionCore& session, PacketPtr packet) {
    if (!packet)
        return;
    if (session.FQueue.empty()) {
        for (auto& link : session.FLinks) {
            if ((link->Mode == wire::kModeRequest || link->Mode == wire::kModeSend) && link->Idle) {
                link->Idle = false;
                link->Outgoing = std::move(packet);
                link->WakeEvent.Set();
                return;
            }
        }
    }
    session.FQueue.push_front(std::move(packet));
}

PacketPtr TakePacket(SessionCore& session) {
    auto& queue = session.FQueue;
    if (queue.empty())
        return nullptr;
    // Highest priority; among equals the one nearest the tail, which is the oldest.
    size_t best = 0;
    for (size_t i = 1; i < queue.size(); ++i)
        if (queue[i]->Priority() >= queue[best]->Priority())
            best = i;
    PacketPtr packet = std::move(queue[best]);
    queue.erase(queue.begin() + std::ptrdiff_t(best));
    return packet;
}

void RoutePacket(SessionCore& session, PacketPtr packet) {
    std::lock_guard guard(session.FLock);
    const int32_t count = packet->ChainCount();
    // Zero is a server notification, which nothing in this client takes; above five is garbage.
    if (count < 1 || count > wire::kMaxChain)
        return;
    const uint32_t id = packet->Chain(count - 1);
    for (auto& entry : session.FCommands) {
        if (entry.id == id) {
            packet->SetChainCount(count - 1);
            entry.command->ReplyArrived(std::move(packet));
            return;
        }
    }
}

void PostError(SessionCore& session, const QString& text) {
    session.Notify(SessionNotice::Error, text);
}

void ClearQueue(SessionCore& session) {
    session.FQueue.clear();
}

void AbortCommands(SessionCore& session) {
    // A copy: a command's reply handling must not see the list change under it.
    auto commands = session.FCommands;
    for (auto& entry : commands)
        entry.command->ReplyArrived(nullptr);
}

// ---------------------------------------------------------------------------------------------
// TClientLink

TClientLink::TClientLink(std::shared_ptr<SessionCore> session, uint8_t mode)
    : FSession(std::move(session)), Mode(mode) {}

TClientLink::~TClientLink() {
    if (FThread.joinable())
        FThread.detach();  // only a thread that outlived the deactivation's wait gets here
}

void TClientLink::Start() {
    {
        std::lock_guard guard(FSession->FThreadsLock);
        ++FSession->FRunningThreads;
    }
    FThread = std::thread([self = shared_from_this()] { self->Run(); });
}

void TClientLink::Terminate() {
    Terminated = true;
    Stopping = true;
    WakeEvent.Set();
}

void TClientLink::Run() {
    SessionCore& s = *FSession;
    while (!Terminated) {
        if (Connect()) {
            if (Login())
                Converse();
            TearDown();
        } else {
            // A link that cannot connect while others are up waits for the whole set to go down.
            SleepWhile([&] {
                std::lock_guard guard(s.FLock);
                return Hold && s.FLinkCount != 0;
            });
        }
        PauseBeforeReconnect();
    }
    {
        std::lock_guard guard(s.FLock);
        auto& links = s.FLinks;
        links.erase(std::remove(links.begin(), links.end(), shared_from_this()), links.end());
    }
    std::lock_guard guard(s.FThreadsLock);
    FFinished = true;
    --s.FRunningThreads;
    s.FThreadsDone.notify_all();
}

bool TClientLink::Connect() {
    SessionCore& s = *FSession;
    std::lock_guard guard(s.FLock);
    std::unique_ptr<TZarinAbstractConnection> connection;
    if (s.FActive && s.FFactory && !Terminated)
        connection = s.FFactory->CreateConnection();
    RenewGuid = true;
    Hold = s.FDisconnectOnError;
    Stopping = false;
    if (!connection)
        return false;
    Connection = std::move(connection);
    s.FLastReceive = SessionCore::Now();
    ++s.FLinkCount;
    if (!s.FConnected) {
        s.FConnected = true;
        if (s.FSyncWait == TSyncWait::swConnect && !s.FAsyncConnect)
            s.FConnectEvent.Set();
        s.Notify(SessionNotice::Connected);
    }
    return true;
}

bool TClientLink::Login() {
    SessionCore& s = *FSession;
    LoginRecord record;
    {
        std::lock_guard guard(s.FLock);
        record.mode = Mode;
        record.clientType = s.FClientType;
        record.guid = s.FSessionGuid;
        record.password = s.FPassWord;
    }
    PacketPtr login = BuildPacket(s, wire::kLogin, encodeLoginRecord(record));
    if (!SendPacket(*login))
        return false;
    PacketPtr reply = ReceivePacket();
    if (!reply)
        return false;
    const bool accepted =
        (reply->Kind() == wire::kLoginAccepted || reply->Kind() == wire::kLoginAcceptedAgain) &&
        reply->Final() == wire::kFinalMark;
    if (!accepted)
        return false;
    std::lock_guard guard(s.FLock);
    if (!s.FAccepted) {
        s.FAccepted = true;
        if (s.FSyncWait == TSyncWait::swAccept && !s.FAsyncConnect)
            s.FConnectEvent.Set();
        s.Notify(SessionNotice::Accepted);
    }
    return true;
}

bool TClientLink::SendPacket(Packet& packet) {
    FSession->FLastSend = SessionCore::Now();
    int32_t written;
    QString error;
    {
        std::lock_guard guard(WriteLock);
        written = Connection->Write(packet.Data(), packet.Size());
        error = Connection->LastError();
    }
    if (written == packet.Size() && error.isEmpty())
        return true;
    // A failure after our own side closed the link (time-out, tear-down, deactivation) is not
    // news; the reason was already reported or is intended.
    if (!Stopping)
        PostError(*FSession, error);
    return false;
}

PacketPtr TClientLink::ReceivePacket() {
    SessionCore& s = *FSession;
    ReadOutcome outcome = readPacket(*Connection, [&s] { s.FLastReceive = SessionCore::Now(); });
    if (outcome.packet)
        return std::move(outcome.packet);
    if (!(outcome.fault == ReadFault::Connection && Stopping))
        PostError(s, outcome.error);
    return nullptr;
}

PacketPtr TClientLink::AwaitOutgoing() {
    SessionCore& s = *FSession;
    {
        std::lock_guard guard(s.FLock);
        PacketPtr own = TakePacket(s);
        if (own) {
            Outgoing = std::move(own);
            WakeEvent.Set();
        } else {
            Idle = true;
        }
    }
    WakeEvent.Wait();
    std::lock_guard guard(s.FLock);
    Idle = false;
    return std::move(Outgoing);
}

void TClientLink::PutBack(PacketPtr packet) {
    if (!packet)
        return;
    std::lock_guard guard(FSession->FLock);
    PostPacket(*FSession, std::move(packet));
}

void TClientLink::Converse() {
    while (!Stopping) {
        if (Mode == wire::kModeRequest) {
            ConverseRequest();
        } else if (Mode == wire::kModeSend) {
            ConverseSend();
        } else {
            PacketPtr packet = ReceivePacket();
            if (packet)
                RoutePacket(*FSession, std::move(packet));
            else
                Stopping = true;
        }
    }
}

void TClientLink::ConverseRequest() {
    SessionCore& s = *FSession;
    PacketPtr packet = AwaitOutgoing();
    bool ownPoll = false;
    while (packet) {
        if (Stopping) {
            // Woken by a tear-down with a packet in hand: it goes to the next link that can send.
            if (!ownPoll)
                PutBack(std::move(packet));
            return;
        }
        if (!SendPacket(*packet)) {
            if (!ownPoll)
                PutBack(std::move(packet));
            Stopping = true;
            return;
        }
        packet.reset();
        PacketPtr reply = ReceivePacket();
        if (!reply) {
            Stopping = true;
            return;
        }
        const int32_t replyKind = reply->Kind();
        RoutePacket(s, std::move(reply));
        {
            std::lock_guard guard(s.FLock);
            packet = TakePacket(s);
        }
        ownPoll = false;
        if (!packet && replyKind != wire::kNothingPending) {
            // The server may have more for us: ask until it says nothing is pending.
            packet = BuildPacket(s, wire::kPoll);
            ownPoll = true;
        }
    }
}

void TClientLink::ConverseSend() {
    SessionCore& s = *FSession;
    PacketPtr packet = AwaitOutgoing();
    while (packet) {
        if (Stopping || !SendPacket(*packet)) {
            PutBack(std::move(packet));
            Stopping = true;
            return;
        }
        std::lock_guard guard(s.FLock);
        packet = TakePacket(s);
    }
}

void TClientLink::TearDown() {
    SessionCore& s = *FSession;
    {
        std::lock_guard guard(s.FLock);
        Idle = false;
        if (Outgoing)
            PostPacket(s, std::move(Outgoing));
        if (Connection) {
            Connection->Close();
            Connection.reset();
        }
        --s.FLinkCount;
        if (s.FConnected) {
            if (s.FDisconnectOnError || s.FLinkCount == 0) {
                if (RenewGuid)
                    s.NewSessionGuid();
                for (auto& other : s.FLinks) {
                    if (other.get() == this)
                        continue;
                    other->RenewGuid = false;
                    other->Stopping = true;
                    if (other->Connection)
                        other->Connection->Close();
                    other->WakeEvent.Set();
                }
            }
            if (s.FLinkCount == 0) {
                s.FAccepted = false;
                s.FConnected = false;
                ClearQueue(s);
                AbortCommands(s);
                s.Notify(SessionNotice::Disconnected);
                for (auto& link : s.FLinks)
                    link->Hold = false;
            }
        }
    }
    SleepWhile([] { return true; });
}

void TClientLink::SleepWhile(const std::function<bool()>& condition) {
    // Bounded by Hold: the last link of a set clears it on every link, deactivation terminates.
    while (Hold && !Terminated && condition())
        std::this_thread::sleep_for(kSleepStep);
}

void TClientLink::PauseBeforeReconnect() {
    int64_t pauseMs;
    {
        std::lock_guard guard(FSession->FLock);
        pauseMs = FSession->FReconnectPauseMs >= 0
                      ? FSession->FReconnectPauseMs
                      : std::max<int64_t>(100, int64_t(FSession->FTimeControlOut) * 20) * 100;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(pauseMs);
    while (!Terminated && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            kSleepStep, until - std::chrono::steady_clock::now()));
}

// ---------------------------------------------------------------------------------------------
// TClientLive

TClientLive::TClientLive(std::shared_ptr<SessionCore> session) : FSession(std::move(session)) {
    FThread = std::thread([this] { Run(); });
}

TClientLive::~TClientLive() {
    {
        std::lock_guard guard(FStopLock);
        FStop = true;
    }
    FStopSignal.notify_all();
    if (FThread.joinable())
        FThread.join();
}

void TClientLive::Run() {
    std::unique_lock lock(FStopLock);
    while (!FStop) {
        if (FStopSignal.wait_for(lock, 1000ms, [this] { return FStop; }))
            break;
        lock.unlock();
        Check();
        lock.lock();
    }
}

void TClientLive::Check() {
    SessionCore& s = *FSession;
    std::lock_guard guard(s.FLock);
    if (!s.FActive || s.FConnected)
        DownSeconds = 0;
    else
        ++DownSeconds;
    if (s.FConnected) {
        if (s.FTimeControlOut != 0 && elapsedWholeSeconds(s.FLastSend) > s.FTimeControlOut)
            PostPacket(s, BuildPacket(s, wire::kKeepAlive));
        if (s.FTimeControlIn != 0 && elapsedWholeSeconds(s.FLastReceive) > s.FTimeControlIn) {
            for (auto& link : s.FLinks) {
                link->Stopping = true;
                if (link->Connection)
                    link->Connection->Close();
                link->WakeEvent.Set();
            }
            PostError(s, QStringLiteral("Соединение закрыто по таймауту"));
        }
    }
    if (DownSeconds > 2) {
        ClearQueue(s);
        AbortCommands(s);
        if (!s.FAsyncConnect)
            s.FConnectEvent.Set();
        DownSeconds = 0;
    }
}

}  // namespace dataclient
