// TZClient, the client session with the data server: the settings of the conversation (client
// name and type, password, number of links, time-outs), activation and deactivation of the link
// and keep-alive threads, the registry of commands that may receive replies, and the session
// window that turns the workers' posted notices into events on the main thread.
//
// Thread contract: the component is owned and used by the main thread only: properties,
// activation, deactivation and every event handler. The workers share SessionCore
// (UZClientLinks.h) and reach this object only through notices posted to its window.
// Constant after construction: FCore, FWindow. Everything the workers read lives in FCore under
// its FLock.
#pragma once

#include "dataclient/UZClientLinks.h"

#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <functional>
#include <memory>

namespace dataclient {

class TZAbstractCommand;

// The kind of client program that logs in (ordinals 0..9); this program is Reports.
enum class TClientType : uint8_t { Any = 0, Reports = 3 };

class TZClient;
using TNotifyEvent = std::function<void(TZClient* sender)>;
using TNotifyError = std::function<void(TZClient* sender, const QString& error)>;

// The hidden session window: a main-thread object woken through an event descriptor; it takes
// the workers' notices from the session and dispatches them as the session's events.
class TZClientWindow : public QObject {
    Q_OBJECT
public:
    explicit TZClientWindow(TZClient* client);
    ~TZClientWindow() override;
    int WakeFd() const { return FWakeFd; }

private:
    void Drain();

    TZClient* const FClient;
    const int FWakeFd;
    QSocketNotifier* FNotifier;
};

class TZClient : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(bool AsyncConnect READ AsyncConnect WRITE SetAsyncConnect)
    Q_PROPERTY(bool DisconnectOnError READ DisconnectOnError WRITE SetDisconnectOnError)
    Q_PROPERTY(QString ClientName READ ClientName WRITE SetClientName)
    Q_PROPERTY(QString PassWord READ PassWord WRITE SetPassWord)
    Q_PROPERTY(uint MaxConnecion READ MaxConnecion WRITE SetMaxConnecion)
    Q_PROPERTY(quint16 TimeControlOut READ TimeControlOut WRITE SetTimeControlOut)
    Q_PROPERTY(quint16 TimeControlIn READ TimeControlIn WRITE SetTimeControlIn)
public:
    static constexpr uint32_t kMaxLinks = 64;

    explicit TZClient(QObject* owner = nullptr);
    ~TZClient() override;

    bool Active() const { return FActive; }
    void SetActive(bool value);

    TZarinClientConnectionFactory* ConnectionFactory() const { return FFactory; }
    void SetConnectionFactory(TZarinClientConnectionFactory* factory);

    bool AsyncConnect() const;
    void SetAsyncConnect(bool value);
    bool DisconnectOnError() const;
    void SetDisconnectOnError(bool value);
    QString ClientName() const { return FClientName; }
    void SetClientName(const QString& name);
    TClientType ClientType() const { return FClientType; }
    void SetClientType(TClientType type);
    QString PassWord() const { return FPassWord; }
    void SetPassWord(const QString& password);
    uint32_t MaxConnecion() const { return FMaxConnecion; }
    void SetMaxConnecion(uint32_t count);
    TSyncWait SyncWait() const;
    void SetSyncWait(TSyncWait value);
    uint16_t TimeControlOut() const;
    void SetTimeControlOut(uint16_t seconds);
    uint16_t TimeControlIn() const;
    void SetTimeControlIn(uint16_t seconds);

    TNotifyEvent OnAccept;
    TNotifyEvent OnConnect;
    TNotifyEvent OnDisconnect;
    TNotifyError OnError;

    // Command registration (commands call these from SetZClient).
    void RegisterCommand(TZAbstractCommand* command);
    void UnregisterCommand(TZAbstractCommand* command);

    // Observations of the session state (main thread; each reads under the session lock).
    bool IsConnected() const;
    bool IsAccepted() const;
    int LinkCount() const;
    SessionGuid CurrentSessionGuid() const;

    // The pause before a link reconnects, in milliseconds; a negative value (the default) keeps
    // the protocol's rule (twice TimeControlOut, at least ten seconds). Tests shorten it.
    void SetReconnectPauseMs(int ms);

    // The state shared with the workers; commands post their requests through it.
    const std::shared_ptr<SessionCore>& Core() const { return FCore; }

private:
    friend class TZClientWindow;
    void Activate();
    void Deactivate();
    void DeactivateIfActive();
    void Dispatch(int notice, const QString& text);

    // Constant after construction.
    const std::shared_ptr<SessionCore> FCore;
    std::unique_ptr<TZClientWindow> FWindow;

    // Main thread only.
    bool FActive = false;
    TZarinClientConnectionFactory* FFactory = nullptr;
    QMetaObject::Connection FFactoryGone;
    QString FClientName;
    TClientType FClientType = TClientType::Any;
    QString FPassWord;
    uint32_t FMaxConnecion = 2;
    std::unique_ptr<TClientLive> FLive;
};

}  // namespace dataclient
