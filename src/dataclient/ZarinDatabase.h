// TZarinDatabase, the connection component the rest of the program uses: it owns one TCP
// connection factory, one client session and the command through which every query runs, holds
// the server address and the client identity, and turns connect and disconnect into the
// session's activation plus the database-session requests (kinds 31, 33, 32).
//
// Thread contract: main thread only. A session whose link set went down deactivates itself
// through OnDisconnect (a posted notice), so the component stays disconnected until someone
// connects it again.
// Constant after construction: Factory, Client, DBCommand (owned, freed with the component).
#pragma once

#include "dataclient/UZClientSession.h"
#include "dataclient/UZCommands.h"
#include "dataclient/UZarinTCPConnection.h"

#include <QObject>
#include <QString>

namespace dataclient {

class TZarinDatabase : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Host READ Host WRITE SetHost)
    Q_PROPERTY(quint16 Port READ Port WRITE SetPort)
    Q_PROPERTY(bool Connected READ Connected WRITE SetConnected)
    Q_PROPERTY(QString ClientName READ ClientName WRITE SetClientName)
    Q_PROPERTY(QString LinkedDataBaseName READ LinkedDataBaseName WRITE SetLinkedDataBaseName)
    Q_PROPERTY(QString LinkedServerName READ LinkedServerName WRITE SetLinkedServerName)
public:
    explicit TZarinDatabase(QObject* owner = nullptr);
    ~TZarinDatabase() override;

    QString Host() const { return FFactory->IPAddress(); }
    void SetHost(const QString& host) { FFactory->SetIPAddress(host); }
    quint16 Port() const { return FFactory->Port(); }
    void SetPort(quint16 port) { FFactory->SetPort(port); }
    // The session's Active, not whether a link is connected at this moment.
    bool Connected() const { return FClient->Active(); }
    // Raises on connect platform::EDatabaseError "Ошибка соединения с KTS <host> : <port>"; on
    // disconnect platform::Exception with "Неожиданная ошибка" or the server's error text (the
    // session stays active).
    void SetConnected(bool value);
    TClientType ClientType() const { return FClient->ClientType(); }
    void SetClientType(TClientType type) { FClient->SetClientType(type); }
    QString ClientName() const { return FClient->ClientName(); }
    void SetClientName(const QString& name) { FClient->SetClientName(name); }
    QString LinkedDataBaseName() const { return FLinkedDataBaseName; }
    void SetLinkedDataBaseName(const QString& name) { FLinkedDataBaseName = name; }
    QString LinkedServerName() const { return FLinkedServerName; }
    void SetLinkedServerName(const QString& name) { FLinkedServerName = name; }

    TZarinTCPClientConnectionFactory* Factory() const { return FFactory; }
    TZClient* Client() const { return FClient; }
    TZDBCommand* DBCommand() const { return FDBCommand; }

    // The platform's generic open and close of a connection lead to the same setter.
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

private:
    void DoConnect();
    void DoDisconnect();

    // Constant after construction; children of this component, in creation order.
    TZarinTCPClientConnectionFactory* const FFactory;
    TZClient* const FClient;
    TZDBCommand* const FDBCommand;

    QString FLinkedDataBaseName;
    QString FLinkedServerName;
};

}  // namespace dataclient
