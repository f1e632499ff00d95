// The client session component: activation, deactivation, settings and event dispatch.
#include "dataclient/UZClientSession.h"

#include "dataclient/UZCommands.h"
#include "platform/Cp1251.h"

#include <QtGlobal>

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <exception>

namespace dataclient {

using namespace std::chrono_literals;

namespace {

// How long a deactivation waits for the link threads before leaving them to end on their own.
constexpr auto kLinkStopWait = 30000ms;

}  // namespace

TZClientWindow::TZClientWindow(TZClient* client)
    : FClient(client), FWakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    FNotifier = new QSocketNotifier(qintptr(FWakeFd), QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { Drain(); });
}

TZClientWindow::~TZClientWindow() {
    delete FNotifier;
    ::close(FWakeFd);
}

void TZClientWindow::Drain() {
    uint64_t count;
    [[maybe_unused]] ssize_t n = ::read(FWakeFd, &count, sizeof count);
    SessionCore& s = *FClient->Core();
    // One at a time, the lock released around each handler: a handler may deactivate the session,
    // whose workers then post again.
    for (;;) {
        std::pair<int, QString> notice;
        {
            std::lock_guard guard(s.FNoticeLock);
            if (s.FNotices.empty())
                return;
            notice = std::move(s.FNotices.front());
            s.FNotices.pop_front();
        }
        FClient->Dispatch(notice.first, notice.second);
    }
}

TZClient::TZClient(QObject* owner)
    : QObject(owner), FCore(std::make_shared<SessionCore>()), FWindow(new TZClientWindow(this)) {
    std::lock_guard guard(FCore->FNoticeLock);
    FCore->FWakeFd = FWindow->WakeFd();
}

TZClient::~TZClient() {
    {
        std::lock_guard guard(FCore->FNoticeLock);
        FCore->FWakeFd = -1;
        FCore->FNotices.clear();
    }
    FWindow.reset();
    DeactivateIfActive();
    std::lock_guard guard(FCore->FLock);
    for (auto& entry : FCore->FCommands) {
        entry.command->FZClient = nullptr;
        entry.command->FCommandId = 0;
    }
    FCore->FCommands.clear();
}

void TZClient::Dispatch(int notice, const QString& text) {
    // A handler's exception stays on the main thread and never reaches a worker.
    try {
        switch (SessionNotice(notice)) {
            case SessionNotice::Connected:
                if (OnConnect)
                    OnConnect(this);
                break;
            case SessionNotice::Disconnected:
                if (OnDisconnect)
                    OnDisconnect(this);
                break;
            case SessionNotice::Accepted:
                if (OnAccept)
                    OnAccept(this);
                break;
            case SessionNotice::Error:
                if (OnError)
                    OnError(this, text);
                break;
        }
    } catch (const std::exception& e) {
        qWarning("TZClient event handler: %s", e.what());
    }
}

void TZClient::SetActive(bool value) {
    if (value == FActive || !FFactory)
        return;
    if (value)
        Activate();
    else
        Deactivate();
}

void TZClient::DeactivateIfActive() {
    if (FActive)
        Deactivate();
}

void TZClient::Activate() {
    if (FMaxConnecion < 1 || FMaxConnecion > kMaxLinks)
        return;  // not supported; the session stays inactive
    SessionCore& s = *FCore;
    FActive = true;
    {
        // What the previous session's links reported and the main thread has not seen yet is
        // about a session that no longer exists; delivered now, a "disconnected" would be taken
        // for the loss of this one.
        std::lock_guard guard(s.FNoticeLock);
        s.FNotices.clear();
    }
    {
        std::lock_guard guard(s.FLock);
        s.FActive = true;
        s.NewSessionGuid();
        s.FConnectEvent.Reset();
        s.FAccepted = false;
        s.FConnected = false;
        s.FLastSend = s.FLastReceive = SessionCore::Now();
        s.FFactory = FFactory;
        s.FLinks.clear();
        for (uint32_t i = 0; i < FMaxConnecion; ++i) {
            const uint8_t mode = i == 0         ? wire::kModeRequest
                                 : (i % 2) == 1 ? wire::kModeReceive
                                                : wire::kModeSend;
            s.FLinks.push_back(std::make_shared<TClientLink>(FCore, mode));
        }
        for (auto& link : s.FLinks)
            link->Start();
    }
    FLive = std::make_unique<TClientLive>(FCore);
    bool async;
    {
        std::lock_guard guard(s.FLock);
        async = s.FAsyncConnect;
    }
    if (!async) {
        s.FConnectEvent.Wait();
        bool connected;
        {
            std::lock_guard guard(s.FLock);
            connected = s.FConnected;
        }
        if (!connected)
            Deactivate();
    }
}

void TZClient::Deactivate() {
    SessionCore& s = *FCore;
    FActive = false;
    {
        std::lock_guard guard(s.FLock);
        s.FActive = false;
    }
    FLive.reset();  // terminates and joins the keep-alive thread

    std::vector<std::shared_ptr<TClientLink>> links;
    {
        std::lock_guard guard(s.FLock);
        for (auto& link : s.FLinks) {
            // Told to stop before its connection closes, so the failing read is not reported.
            link->Terminate();
            if (link->Connection) {
                if (link->Mode == wire::kModeRequest) {
                    PacketPtr goodbye = BuildPacket(s, wire::kGoodbye);
                    std::lock_guard write(link->WriteLock);
                    link->Connection->Write(goodbye->Data(), goodbye->Size());
                }
                link->Connection->Close();
            }
            if (links.size() < kMaxLinks)
                links.push_back(link);
        }
    }
    {
        std::unique_lock lock(s.FThreadsLock);
        s.FThreadsDone.wait_for(lock, kLinkStopWait, [&] {
            for (auto& link : links)
                if (!link->Finished())
                    return false;
            return true;
        });
    }
    for (auto& link : links) {
        if (!link->Thread().joinable())
            continue;
        if (link->Finished())
            link->Thread().join();
        else
            link->Thread().detach();  // it holds the shared state and ends on its own
    }
    std::lock_guard guard(s.FLock);
    AbortCommands(s);
    // Requests left in the queue belong to commands that were just woken with no reply; sending
    // them on the next activation would answer nobody.
    ClearQueue(s);
}

void TZClient::SetConnectionFactory(TZarinClientConnectionFactory* factory) {
    DeactivateIfActive();
    if (FFactory)
        QObject::disconnect(FFactoryGone);
    FFactory = factory;
    if (factory) {
        // A factory that goes away leaves the session without one (no deactivation).
        FFactoryGone = connect(factory, &QObject::destroyed, this, [this] {
            FFactory = nullptr;
            std::lock_guard guard(FCore->FLock);
            FCore->FFactory = nullptr;
        });
    }
    std::lock_guard guard(FCore->FLock);
    FCore->FFactory = factory;
}

bool TZClient::AsyncConnect() const {
    std::lock_guard guard(FCore->FLock);
    return FCore->FAsyncConnect;
}
void TZClient::SetAsyncConnect(bool value) {
    std::lock_guard guard(FCore->FLock);
    FCore->FAsyncConnect = value;
}
bool TZClient::DisconnectOnError() const {
    std::lock_guard guard(FCore->FLock);
    return FCore->FDisconnectOnError;
}
void TZClient::SetDisconnectOnError(bool value) {
    std::lock_guard guard(FCore->FLock);
    FCore->FDisconnectOnError = value;
}

void TZClient::SetClientName(const QString& name) {
    DeactivateIfActive();
    FClientName = name.left(wire::kMaxClientName);
    std::lock_guard guard(FCore->FLock);
    FCore->FClientName = makeClientNameField(FClientName);
}

void TZClient::SetClientType(TClientType type) {
    DeactivateIfActive();
    FClientType = type;
    std::lock_guard guard(FCore->FLock);
    FCore->FClientType = uint8_t(type);
}

void TZClient::SetPassWord(const QString& password) {
    DeactivateIfActive();
    FPassWord = password;
    std::lock_guard guard(FCore->FLock);
    FCore->FPassWord = platform::toCp1251(password.left(wire::kMaxPassword));
}

void TZClient::SetMaxConnecion(uint32_t count) {
    DeactivateIfActive();
    FMaxConnecion = count;
}

TSyncWait TZClient::SyncWait() const {
    std::lock_guard guard(FCore->FLock);
    return FCore->FSyncWait;
}
void TZClient::SetSyncWait(TSyncWait value) {
    std::lock_guard guard(FCore->FLock);
    FCore->FSyncWait = value;
}
uint16_t TZClient::TimeControlOut() const {
    std::lock_guard guard(FCore->FLock);
    return FCore->FTimeControlOut;
}
void TZClient::SetTimeControlOut(uint16_t seconds) {
    std::lock_guard guard(FCore->FLock);
    FCore->FTimeControlOut = seconds;
}
uint16_t TZClient::TimeControlIn() const {
    std::lock_guard guard(FCore->FLock);
    return FCore->FTimeControlIn;
}
void TZClient::SetTimeControlIn(uint16_t seconds) {
    std::lock_guard guard(FCore->FLock);
    FCore->FTimeControlIn = seconds;
}
void TZClient::SetReconnectPauseMs(int ms) {
    std::lock_guard guard(FCore->FLock);
    FCore->FReconnectPauseMs = ms;
}

void TZClient::RegisterCommand(TZAbstractCommand* command) {
    std::lock_guard guard(FCore->FLock);
    // Registration numbers are unique among the registered commands; zero is never used, so a
    // reply can never be mistaken for one to an unregistered command.
    uint32_t id;
    auto taken = [&](uint32_t candidate) {
        for (auto& entry : FCore->FCommands)
            if (entry.id == candidate)
                return true;
        return false;
    };
    do {
        id = FCore->FNextCommandId++;
    } while (id == 0 || taken(id));
    FCore->FCommands.push_back({id, command});
    command->FCommandId = id;
}

void TZClient::UnregisterCommand(TZAbstractCommand* command) {
    std::lock_guard guard(FCore->FLock);
    auto& list = FCore->FCommands;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->command == command) {
            list.erase(it);
            break;
        }
    }
    command->FCommandId = 0;
}

bool TZClient::IsConnected() const {
    std::lock_guard guard(FCore->FLock);
    return FCore->FConnected;
}
bool TZClient::IsAccepted() const {
    std::lock_guard guard(FCore->FLock);
    return FCore->FAccepted;
}
int TZClient::LinkCount() const {
    std::lock_guard guard(FCore->FLock);
    return FCore->FLinkCount;
}
SessionGuid TZClient::CurrentSessionGuid() const {
    std::lock_guard guard(FCore->FLock);
    return FCore->FSessionGuid;
}

}  // namespace dataclient
